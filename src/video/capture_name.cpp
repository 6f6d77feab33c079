// File names of captured frames: the template language, the source name behind `%n`, and the
// name built for each written frame.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "video/capture_writer.h"

namespace kelpa {
namespace {

// The longest name a path may reach, leaving room for the terminator in every buffer.
constexpr int kPathBudget = 255;
// Room kept for the frame number while literal text is copied before any number.
constexpr int kNumberReserve = 10;

// Characters that cannot stay in a literal run: controls, bytes above 127, and those that a
// file name or this template language gives a meaning.
bool ReplacedInRun(unsigned char c) {
    return c < 32 || c > 127 || std::strchr("\"/><*?|%#&", c) != nullptr;
}

bool EndsRun(char c) {
    return c == '|' || c == '%' || c == '\0';
}

bool EndsField(char c) {
    return c == '#' || c == '|' || c == '%' || c == '\0';
}

// Characters a device name may contribute: printable, no path separators, wildcards or brackets.
bool DeviceNameChar(unsigned char c) {
    return c > 32 && c <= 127 && std::strchr("\"/><*?|#&%()[]{}=", c) == nullptr;
}

// Rounds a time product to the nearest whole number, in 32 bits. Containers store times
// rounded (Matroska to the millisecond), so a product a hair below a whole frame means that
// frame; truncating would give two neighbouring frames one number. Garbage (negative, NaN,
// infinite) gives 0 and huge values wrap like the 32-bit counter they stand for.
uint32_t RoundToU32(double v) {
    if (!std::isfinite(v) || v < 0.0) return 0;
    v = std::floor(v + 0.5);
    if (v >= 4294967296.0) v = std::fmod(v, 4294967296.0);
    return static_cast<uint32_t>(v);
}

// Writes `value` with at least `minDigits` digits into a name with `budget` characters left:
// a result that fills the budget exactly loses its last character, one that does not fit is
// dropped. Returns the characters written.
int PutNumber(char* dst, int budget, uint32_t value, int minDigits) {
    char digits[16];
    int r = 0;
    do {
        digits[r++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 || r < minDigits);
    const int n = r < budget ? r : (r == budget ? r - 1 : 0);
    for (int i = 0; i < n; ++i) dst[i] = digits[r - 1 - i];
    return n;
}

}  // namespace

void CaptureWriter::ParseTemplate() {
    std::lock_guard lock(nameLock_);
    ParseTemplateLocked();
}

bool CaptureWriter::SetCaptureTemplate(const char* text) {
    if (!text) return false;
    const size_t n = std::strlen(text);
    if (n >= kCapturePathSize) return false;
    std::lock_guard lock(nameLock_);
    std::memcpy(captureTemplate_, text, n + 1);
    ParseTemplateLocked();
    return true;
}

void CaptureWriter::ParseTemplateLocked() {
    templateParts_.fill(TemplatePart{});
    char* t = captureTemplate_;
    if (t[0] == '\0') {
        templateParts_[0].kind = TemplatePartKind::kFrame;
        return;
    }
    size_t used = 0;
    bool numberSeen = false;
    size_t i = 0;
    for (;;) {
        const size_t freeSlots = kTemplatePartCount - used;
        // Without a number field the last slot stays for the frame number.
        if ((numberSeen && freeSlots == 0) || (!numberSeen && freeSlots == 1)) break;
        const char c = t[i];
        if (c == '\0') break;
        if (c == '#' || (i == 0 && c != '%' && c != '|')) {
            // A literal run, sanitised in place so the stored template shows what is used.
            const size_t start = c == '#' ? i + 1 : i;
            size_t end = start;
            for (; !EndsRun(t[end]); ++end) {
                if (ReplacedInRun(static_cast<unsigned char>(t[end]))) t[end] = '_';
            }
            templateParts_[used++] = {TemplatePartKind::kLiteral,
                                      static_cast<uint32_t>(end - start), t + start};
            i = end;
        } else if (c == '%') {
            const char field = t[i + 1];
            if (field == '\0') break;
            if (field == '#' || field == '|' || field == '%') {
                ++i;
                continue;
            }
            TemplatePart part;
            if (field == 'd') part.kind = TemplatePartKind::kDate;
            if (field == 'f') part.kind = TemplatePartKind::kFrame;
            if (field == 't') part.kind = TemplatePartKind::kTime;
            if (field == 'n' && captureName_[0] != '\0') {
                part = {TemplatePartKind::kName, static_cast<uint32_t>(std::strlen(captureName_)),
                        captureName_};
            }
            if (part.kind != TemplatePartKind::kEmpty) templateParts_[used++] = part;
            numberSeen = numberSeen || field == 'f' || field == 't';
            for (i += 2; !EndsField(t[i]); ++i) {
            }
        } else {
            ++i;  // outside any run or field, including the '|' that ends a run
        }
    }
    if (!numberSeen) {
        templateParts_[used].kind = TemplatePartKind::kFrame;
        const size_t len = std::strlen(t);
        if (len < 258) std::memcpy(t + len, "%f", 3);
    }
}

void CaptureWriter::SetCaptureName(const char* text, bool isPath) {
    if (!text) text = "";
    std::lock_guard lock(nameLock_);
    const char* start = text;
    size_t n = 0;
    // The instrument: a device's whole name, blanks around it left out; a file has none.
    deviceName_[0] = '\0';
    if (!isPath) {
        const char* first = text;
        while (std::isspace(static_cast<unsigned char>(*first))) ++first;
        size_t length = std::min(std::strlen(first), sizeof deviceName_ - 1);
        while (length > 0 && std::isspace(static_cast<unsigned char>(first[length - 1]))) --length;
        std::memcpy(deviceName_, first, length);
        deviceName_[length] = '\0';
    }
    if (isPath) {
        if (const char* slash = std::strrchr(text, '/')) start = slash + 1;
        const char* dot = std::strrchr(start, '.');
        n = dot ? static_cast<size_t>(dot - start) : std::strlen(start);
        const size_t room =
            captureDirLen_ < kMaxCaptureDirLen ? kMaxCaptureDirLen - captureDirLen_ : 0;
        n = std::min(n, room);
    } else {
        while (*start != '\0' && std::isspace(static_cast<unsigned char>(*start))) ++start;
        while (DeviceNameChar(static_cast<unsigned char>(start[n]))) ++n;
    }
    // A first word longer than the buffer is cut, never written past its end.
    n = std::min(n, kCapturePathSize - 1);
    std::memmove(captureName_, start, n);
    captureName_[n] = '\0';
    // The name part records the name's length, so the parts are rebuilt for every name.
    ParseTemplateLocked();
}

const char* CaptureWriter::BuildCaptureName(double sampleTime, double fps) {
    std::lock_guard lock(nameLock_);
    BuildNamesLocked(sampleTime, fps);
    return capturePath_;
}

size_t CaptureWriter::PreviewCaptureName(double sampleTime, double fps, char* out,
                                         size_t size) const {
    if (out == nullptr || size == 0) return 0;
    char path[kCapturePathSize];
    size_t extensionAt = 0;
    {
        std::lock_guard lock(nameLock_);
        // A run that ended keeps its extension in extension_ until the next run starts, and
        // the settings may have changed meanwhile: the next run takes the settings' type.
        const char* extension =
            capturing.load() ? extension_ : CaptureExtension(fileSettings_.FileType());
        extensionAt = ComposeNameLocked(sampleTime, fps, extension, path);
    }
    char free[kCapturePathSize + kNameSuffixRoom];
    const char* name = FreeCaptureName(path, extensionAt, free, sizeof free) == 0 ? free : path;
    const size_t n = std::min(std::strlen(name), size - 1);
    std::memcpy(out, name, n);
    out[n] = '\0';
    return n;
}

void CaptureWriter::BuildNamesLocked(double sampleTime, double fps) {
    extensionAt_ =
        static_cast<uint32_t>(ComposeNameLocked(sampleTime, fps, extension_, capturePath_));
    pathDirLen_ = captureDirLen_;
    // The file is written under a hidden name in the same directory and moved when complete.
    std::memcpy(tempPath_, captureDir_, captureDirLen_);
    std::strcpy(tempPath_ + captureDirLen_, tempName_);
}

size_t CaptureWriter::ComposeNameLocked(double sampleTime, double fps, const char* extension,
                                        char* out) const {
    const int dirLen = static_cast<int>(captureDirLen_);
    std::memcpy(out, captureDir_, captureDirLen_);
    char* p = out + dirLen;
    int budget = kPathBudget - dirLen;
    bool numberWritten = false;
    const uint32_t frame = RoundToU32(sampleTime * fps) + 1;
    const uint32_t ms = RoundToU32(sampleTime * 1000.0);
    for (const TemplatePart& part : templateParts_) {
        if (budget <= 0 || part.kind == TemplatePartKind::kEmpty) break;
        int n = 0;
        switch (part.kind) {
            case TemplatePartKind::kLiteral:
            case TemplatePartKind::kName: {
                const int available = budget - (numberWritten ? 0 : kNumberReserve);
                if (available > 0) n = std::min(static_cast<int>(part.length), available);
                std::memcpy(p, part.text, static_cast<size_t>(n));
                break;
            }
            case TemplatePartKind::kTime:
                n = PutNumber(p, budget, ms, 7);
                break;
            case TemplatePartKind::kFrame:
                n = PutNumber(p, budget, frame, 5);
                break;
            default:
                break;
        }
        if (n > 0 &&
            (part.kind == TemplatePartKind::kTime || part.kind == TemplatePartKind::kFrame)) {
            numberWritten = true;
        }
        p += n;
        budget -= n;
    }
    if (!numberWritten && budget > 0) {
        const int n = PutNumber(p, budget, frame, 1);
        p += n;
        budget -= n;
    }
    // A suffix for a name that is taken goes in front of the extension.
    const size_t extensionAt = static_cast<size_t>(p - out);
    const int extensionLength = static_cast<int>(std::strlen(extension));
    if (budget > extensionLength - 1) {
        std::memcpy(p, extension, static_cast<size_t>(extensionLength));
        p += extensionLength;
    }
    *p = '\0';
    return extensionAt;
}

}  // namespace kelpa
