// Taking, storing, loading and applying master darks (dark_frames.h).
#include "video/dark_frames.h"

#include <sys/stat.h>

#include <algorithm>
#include <new>
#include <utility>

#include "common/log.h"
#include "image/frame_buffer.h"
#include "video/dark_kernels.h"

namespace kelpa {

DarkFrames::DarkFrames() : directory_(DefaultDarkDirectory()) {}

DarkFrames::~DarkFrames() = default;

void DarkFrames::SetDirectory(const std::string& directory) {
    std::lock_guard lock(mutex_);
    directory_ = directory;
}

std::string DarkFrames::Directory() const {
    std::lock_guard lock(mutex_);
    return directory_;
}

void DarkFrames::SetDevice(const std::string& name) {
    std::lock_guard lock(mutex_);
    identity_.device = name;
    matched_ = master_ && master_->identity == identity_;
    UpdateActive();
}

bool DarkFrames::SetFormat(int32_t width, int32_t height, uint32_t formatCode) {
    std::lock_guard lock(mutex_);
    const bool changed =
        identity_.width != width || identity_.height != height || identity_.format != formatCode;
    identity_.width = width;
    identity_.height = height;
    identity_.format = formatCode;
    const bool wasApplied = use_.load() && matched_;
    matched_ = master_ && master_->identity == identity_;
    if (changed && wasApplied && !matched_) {
        formatLeft_ = true;
        LogPrintf("Dark frame for %s not applied: the stream changed its format",
                  DescribeDark(master_->identity).c_str());
    }
    bool abandoned = false;
    if (changed && takeState_.load() == DarkTakeState::kTaking) {
        takeState_.store(DarkTakeState::kFailed);
        abandoned = true;
    }
    UpdateActive();
    return abandoned;
}

DarkIdentity DarkFrames::Identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

void DarkFrames::UpdateActive() {
    const bool applied = use_.load() && matched_;
    active_.store(applied || takeState_.load() == DarkTakeState::kTaking,
                  std::memory_order_release);
}

bool DarkFrames::Applied() const {
    std::lock_guard lock(mutex_);
    return use_.load() && matched_;
}

DarkResult DarkFrames::ApplySettings(const DarkSettings& settings) {
    framesSetting_.store(std::clamp(settings.frames, kMinFrames, kMaxFrames));
    return SetUse(settings.use);
}

DarkSettings DarkFrames::Settings() const {
    DarkSettings settings;
    settings.use = use_.load();
    settings.frames = framesSetting_.load();
    return settings;
}

// ---- Taking -------------------------------------------------------------------------------------

DarkResult DarkFrames::StartTake(int32_t frames) {
    if (frames == 0) frames = framesSetting_.load();
    frames = std::clamp(frames, kMinFrames, kMaxFrames);
    DarkIdentity identity = Identity();
    if (!identity.Valid()) return {false, "No video is connected to take a dark frame from"};
    const size_t bytes = size_t{Stride24(identity.width)} * static_cast<size_t>(identity.height);
    // The sum is allocated here, once; the frames only add to it.
    std::unique_ptr<uint16_t[]> sum16;
    std::unique_ptr<uint32_t[]> sum32;
    if (frames <= kMaxFrames16) {
        sum16.reset(new (std::nothrow) uint16_t[bytes]());
    } else {
        sum32.reset(new (std::nothrow) uint32_t[bytes]());
    }
    if (!sum16 && !sum32) {
        LogPrintf("Can`t alloc memory for the dark frame sum");
        return {false, "Not enough memory to take a dark frame of " + DescribeDark(identity)};
    }
    {
        std::lock_guard lock(mutex_);
        // The format may have changed since it was read: the take is for the stream as it is.
        if (!(identity_ == identity)) return {false, "The video format changed; try again"};
        sum16_.swap(sum16);
        sum32_.swap(sum32);
        takeIdentity_ = identity;
        takeBytes_ = bytes;
        framesTaken_.store(0);
        framesWanted_.store(frames);
        takeState_.store(DarkTakeState::kTaking);
        UpdateActive();
    }
    return {true, "Taking dark frame: " + std::to_string(frames) + " frames of " +
                      DescribeDark(identity) + " (cap on)"};
}

void DarkFrames::CancelTake() {
    std::unique_ptr<uint16_t[]> sum16;
    std::unique_ptr<uint32_t[]> sum32;
    std::lock_guard lock(mutex_);
    sum16_.swap(sum16);
    sum32_.swap(sum32);
    takeState_.store(DarkTakeState::kIdle);
    UpdateActive();
}

DarkResult DarkFrames::FinishTake() {
    std::unique_ptr<uint16_t[]> sum16;
    std::unique_ptr<uint32_t[]> sum32;
    DarkIdentity identity;
    size_t bytes = 0;
    std::string directory;
    {
        std::lock_guard lock(mutex_);
        const DarkTakeState state = takeState_.load();
        if (state == DarkTakeState::kIdle || state == DarkTakeState::kTaking) {
            return {false, "No dark frame take has ended"};
        }
        sum16_.swap(sum16);
        sum32_.swap(sum32);
        takeState_.store(DarkTakeState::kIdle);
        UpdateActive();
        if (state == DarkTakeState::kFailed) {
            lastMessage_ = "Dark frame not taken: the video format changed during the take";
            return {false, lastMessage_};
        }
        identity = takeIdentity_;
        bytes = takeBytes_;
        directory = directory_;
    }
    const int32_t frames = framesWanted_.load();
    auto master = std::make_unique<MasterDark>();
    master->Allocate(identity);
    master->frames = static_cast<uint32_t>(frames);
    if (master->pixels.size() != bytes) return {false, "Dark frame not taken: size mismatch"};
    if (sum16) {
        AverageDark16(master->pixels.data(), sum16.get(), bytes, static_cast<uint32_t>(frames));
    } else {
        AverageDark32(master->pixels.data(), sum32.get(), bytes, static_cast<uint32_t>(frames));
    }
    sum16.reset();
    sum32.reset();

    DarkResult result;
    result.message =
        "Dark frame of " + std::to_string(frames) + " frames taken for " + DescribeDark(identity);
    std::string error;
    if (directory.empty()) {
        result.ok = false;
        result.message += "; not stored: no data folder is known (set XDG_DATA_HOME or HOME)";
    } else {
        const std::string path = directory + "/" + DarkFileName(identity);
        if (WriteDarkFile(path, *master, &error)) {
            result.message += "; stored as " + path;
        } else {
            result.ok = false;
            result.message += "; not stored. " + error;
        }
    }
    LogPrintf("%s", result.message.c_str());
    {
        std::lock_guard lock(mutex_);
        const DarkResult installed = InstallLocked(&master);
        if (!installed.ok) {
            result.ok = false;
            result.message += ". " + installed.message;
        }
        lastMessage_ = result.message;
    }
    return result;  // the replaced dark, now in `master`, is freed here
}

// ---- Using --------------------------------------------------------------------------------------

DarkResult DarkFrames::InstallLocked(std::unique_ptr<MasterDark>* dark) {
    const DarkIdentity& id = (*dark)->identity;
    if (!(id == identity_)) {
        return {false, "Dark frame refused: it was taken for " + DescribeDark(id) +
                           ", the video is " + DescribeDark(identity_)};
    }
    master_.swap(*dark);
    matched_ = true;
    formatLeft_ = false;
    UpdateActive();
    return {};
}

DarkResult DarkFrames::Install(MasterDark dark) {
    auto owned = std::make_unique<MasterDark>(std::move(dark));
    DarkResult result;
    {
        std::lock_guard lock(mutex_);
        result = InstallLocked(&owned);
        if (!result.ok) lastMessage_ = result.message;
    }
    return result;
}

DarkResult DarkFrames::SetUse(bool on) {
    {
        std::lock_guard lock(mutex_);
        use_.store(on);
        UpdateActive();
        if (!on) {
            lastMessage_.clear();
            return {true, "Dark frame: off"};
        }
    }
    DarkResult result = Refresh();
    if (result.ok && result.message.empty()) result.message = StatusText();
    return result;
}

std::string DarkFrames::StoredPath() const {
    std::lock_guard lock(mutex_);
    if (directory_.empty() || !identity_.Valid()) return {};
    return directory_ + "/" + DarkFileName(identity_);
}

DarkResult DarkFrames::Refresh() {
    DarkIdentity identity;
    std::string path;
    {
        std::lock_guard lock(mutex_);
        if (!use_.load() || !identity_.Valid() || (master_ && matched_)) return {};
        identity = identity_;
        if (directory_.empty()) {
            lastMessage_ = "Dark frame not applied: no data folder is known";
            return {false, lastMessage_};
        }
        path = directory_ + "/" + DarkFileName(identity);
    }
    DarkResult result;
    struct stat st {};
    MasterDark loaded;
    std::string error;
    if (stat(path.c_str(), &st) != 0) {
        result = {
            false,
            "No dark frame stored for " + DescribeDark(identity) + "; take one with the cap on",
            true};
    } else if (!ReadDarkFile(path, &loaded, &error)) {
        result = {false, "Dark frame refused. " + error};
    } else {
        auto owned = std::make_unique<MasterDark>(std::move(loaded));
        std::lock_guard lock(mutex_);
        result = InstallLocked(&owned);
        if (result.ok) {
            result.message = "Dark frame of " + std::to_string(master_->frames) +
                             " frames in use for " + DescribeDark(identity);
        }
    }
    if (!result.ok) LogPrintf("%s", result.message.c_str());
    std::lock_guard lock(mutex_);
    lastMessage_ = result.message;
    return result;
}

std::string DarkFrames::StatusText() const {
    if (takeState_.load() == DarkTakeState::kTaking) {
        return "Taking dark frame: " + std::to_string(framesTaken_.load()) + " of " +
               std::to_string(framesWanted_.load());
    }
    std::lock_guard lock(mutex_);
    if (!use_.load()) return "Dark frame: off";
    if (matched_ && master_) {
        return "Dark frame: in use (" + std::to_string(master_->frames) + " frames)";
    }
    if (formatLeft_ && master_) {
        return "Dark frame not applied: it is for " + DescribeDark(master_->identity) +
               ", the video is " + DescribeDark(identity_);
    }
    if (!lastMessage_.empty()) return lastMessage_;
    return "Dark frame: none for this video";
}

// ---- The frame path -----------------------------------------------------------------------------

bool DarkFrames::DarkFits(const ConvGeometry& g) const {
    return master_ && master_->stride == g.dstStride && master_->identity.height == g.height &&
           master_->pixels.size() == size_t{g.dstStride} * static_cast<size_t>(g.height);
}

bool DarkFrames::ConvertFrame(Converter convert, BandOrder order, uint8_t* picture,
                              const uint8_t* sample, const ConvGeometry& g) {
    std::lock_guard lock(mutex_);
    const size_t pictureBytes = size_t{g.dstStride} * static_cast<size_t>(g.height);
    const uint8_t* dark = use_.load() && matched_ && DarkFits(g) ? master_->pixels.data() : nullptr;
    const bool taking = takeState_.load() == DarkTakeState::kTaking && takeBytes_ == pictureBytes;
    uint16_t* sum16 = taking ? sum16_.get() : nullptr;
    uint32_t* sum32 = taking ? sum32_.get() : nullptr;
    if (!dark && !sum16 && !sum32) {
        convert(picture, sample, g);
        return false;
    }
    ConvertInBands(convert, order, BandRows(g.dstStride), picture, sample, g,
                   [&](const PictureBand& band) {
                       const size_t offset = static_cast<size_t>(band.data - picture);
                       if (sum16) AccumulateDark16(sum16 + offset, band.data, band.bytes);
                       if (sum32) AccumulateDark32(sum32 + offset, band.data, band.bytes);
                       if (dark) SubtractDark(band.data, dark + offset, band.bytes);
                   });
    if (!sum16 && !sum32) return false;
    const int32_t taken = framesTaken_.fetch_add(1) + 1;
    if (taken < framesWanted_.load()) return false;
    takeState_.store(DarkTakeState::kTaken);
    UpdateActive();
    return true;
}

}  // namespace kelpa
