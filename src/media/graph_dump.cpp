// Media-type records from caps, and the graph walk over a pipeline's elements and pads.
#include "media/graph_dump.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "diag/graph_log.h"
#include "media/gst_ptr.h"
#include "media/media_format.h"

namespace kelpa {
namespace {

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatIeeeFloat = 3;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

void FillRawVideo(const GstCaps* caps, const GstStructure* s, MediaTypeRecord* r) {
    r->formatType = kFormatVideoInfo;
    r->fixedSizeSamples = true;
    const uint32_t code = SubtypeFromStructure(s);
    const char* format = gst_structure_get_string(s, "format");
    if (code != kSubtypeNone) {
        r->subtype = SubtypeName(code);
        r->subtypeDescription = SubtypeDescription(code);
    } else {
        r->subtype = std::string("MEDIASUBTYPE_") + (format != nullptr ? format : "Video");
        r->subtypeDescription = std::string("Raw video ") + (format != nullptr ? format : "");
    }
    VideoMediaType type;
    if (!ParseVideoCaps(caps, &type) || !type.hasInfo) return;  // not fixed: no format block
    const BitmapInfoHeader& h = type.header;
    r->sampleSize = type.sampleSize;
    r->formatSize = kVideoInfoHeaderSize;
    r->source = {0, 0, h.width, std::abs(h.height)};
    r->target = r->source;
    r->bitmap = {h.size,        h.width,     h.height,        h.planes,        h.bitCount,
                 h.compression, h.sizeImage, h.xPelsPerMeter, h.yPelsPerMeter, h.clrUsed};
}

// Bits of one sample's container: "S16LE" 16, "S24_32LE" 32, "F64LE" 64.
uint16_t ContainerBits(std::string_view format) {
    const size_t underscore = format.find('_');
    const std::string digits(underscore != std::string_view::npos ? format.substr(underscore + 1)
                                                                  : format.substr(1));
    return static_cast<uint16_t>(std::strtoul(digits.c_str(), nullptr, 10));
}

void FillRawAudio(const GstStructure* s, MediaTypeRecord* r) {
    r->formatType = kFormatWaveFormatEx;
    r->fixedSizeSamples = true;
    const char* format = gst_structure_get_string(s, "format");
    const bool isFloat = format != nullptr && format[0] == 'F';
    r->subtype = isFloat ? "MEDIASUBTYPE_IEEE_FLOAT" : "MEDIASUBTYPE_PCM";
    r->subtypeDescription = isFloat ? "IEEE float audio" : "PCM audio";
    gint rate = 0;
    gint channels = 0;
    if (format == nullptr || !gst_structure_get_int(s, "rate", &rate) ||
        !gst_structure_get_int(s, "channels", &channels) || rate <= 0 || channels <= 0) {
        return;  // not fixed: no format block
    }
    LogWaveFormat& wave = r->wave;
    wave.formatTag = isFloat ? kWaveFormatIeeeFloat : kWaveFormatPcm;
    wave.channels = static_cast<uint16_t>(channels);
    wave.samplesPerSec = static_cast<uint32_t>(rate);
    wave.bitsPerSample = ContainerBits(format);
    wave.blockAlign = static_cast<uint16_t>(channels * wave.bitsPerSample / 8);
    wave.avgBytesPerSec = wave.samplesPerSec * wave.blockAlign;
    wave.cbSize = 0;
    r->sampleSize = wave.blockAlign;
    r->formatSize = kWaveFormatExSize;
}

// Anything else is known by its media type's name.
void FillOther(const GstStructure* s, std::string_view media, MediaTypeRecord* r) {
    const uint32_t code = SubtypeFromStructure(s);
    r->subtype = code != kSubtypeNone ? SubtypeName(code) : std::string(media);
    r->subtypeDescription = code != kSubtypeNone ? SubtypeDescription(code) : std::string(media);
    r->formatType = std::string(media);
    r->fixedSizeSamples = false;
    r->temporalCompression = StartsWith(media, "video/");
}

// Collects what an iterator yields, starting again when the collection changes under it.
template <typename T>
bool Collect(GstIterator* iterator, std::vector<GstObjectPtr<T>>* out) {
    if (iterator == nullptr) return false;
    GstIteratorPtr owned(iterator);
    GValue item = G_VALUE_INIT;
    bool ok = true;
    for (bool done = false; !done;) {
        switch (gst_iterator_next(iterator, &item)) {
            case GST_ITERATOR_OK:
                out->push_back(RefObject(static_cast<T*>(g_value_get_object(&item))));
                g_value_reset(&item);
                break;
            case GST_ITERATOR_RESYNC:
                out->clear();
                gst_iterator_resync(iterator);
                break;
            case GST_ITERATOR_ERROR:
                ok = false;
                [[fallthrough]];
            case GST_ITERATOR_DONE:
                done = true;
                break;
        }
    }
    if (G_IS_VALUE(&item)) g_value_unset(&item);
    return ok;
}

// Elements from source to sink; the elements inside a bin follow the bin.
bool CollectElements(GstElement* element, std::vector<GstElementPtr>* out) {
    out->push_back(RefObject(element));
    if (!GST_IS_BIN(element)) return true;
    std::vector<GstElementPtr> children;
    if (!Collect(gst_bin_iterate_sorted(GST_BIN(element)), &children)) return false;
    std::reverse(children.begin(), children.end());  // the sorted order starts at the sinks
    for (const GstElementPtr& child : children) {
        if (!CollectElements(child.get(), out)) return false;
    }
    return true;
}

uintptr_t IdOf(const void* object) {
    return reinterpret_cast<uintptr_t>(object);
}

class PipelineWalker final : public GraphWalker {
  public:
    explicit PipelineWalker(GstElement* pipeline) : pipeline_(pipeline) {}

    uintptr_t Identity() override { return IdOf(pipeline_); }

    bool EnumFilters(std::vector<uintptr_t>* filters) override {
        std::vector<GstElementPtr> all;
        if (!CollectElements(pipeline_, &all)) return false;
        // A pipeline is the graph, not one of its filters; a lone element is both.
        const size_t first = GST_IS_BIN(pipeline_) ? 1 : 0;
        elements_.assign(std::make_move_iterator(all.begin() + first),
                         std::make_move_iterator(all.end()));
        for (const GstElementPtr& e : elements_) filters->push_back(IdOf(e.get()));
        return true;
    }

    bool QueryFilterName(uintptr_t filter, std::string* name) override {
        GstElement* element = Find(elements_, filter);
        if (element == nullptr) return false;
        GCharPtr text(gst_object_get_name(GST_OBJECT(element)));
        *name = text ? text.get() : "";
        return true;
    }

    bool EnumPins(uintptr_t filter, std::vector<uintptr_t>* pins) override {
        pads_.clear();  // the previous filter's pads are released before the next are taken
        GstElement* element = Find(elements_, filter);
        if (element == nullptr || !Collect(gst_element_iterate_pads(element), &pads_)) {
            return false;
        }
        for (const GstPadPtr& pad : pads_) pins->push_back(IdOf(pad.get()));
        return true;
    }

    bool QueryPin(uintptr_t pin, PinRecord* info) override {
        GstPad* pad = Find(pads_, pin);
        if (pad == nullptr) return false;
        GCharPtr name(gst_object_get_name(GST_OBJECT(pad)));
        info->name = name ? name.get() : "";
        info->isInput = GST_PAD_DIRECTION(pad) == GST_PAD_SINK;
        GstPadPtr peer(gst_pad_get_peer(pad));
        info->peer = IdOf(peer.get());
        return true;
    }

    bool ConnectionType(uintptr_t pin, MediaTypeRecord* type) override {
        GstPad* pad = Find(pads_, pin);
        if (pad == nullptr) return false;
        GstCapsPtr caps(gst_pad_get_current_caps(pad));
        if (!caps) return false;
        *type = MediaTypeFromCaps(caps.get());
        return true;
    }

  private:
    template <typename T>
    static T* Find(const std::vector<GstObjectPtr<T>>& list, uintptr_t id) {
        for (const GstObjectPtr<T>& item : list) {
            if (IdOf(item.get()) == id) return item.get();
        }
        return nullptr;
    }

    GstElement* pipeline_;
    std::vector<GstElementPtr> elements_;
    std::vector<GstPadPtr> pads_;
};

}  // namespace

MediaTypeRecord MediaTypeFromCaps(const GstCaps* caps) {
    MediaTypeRecord record;
    if (caps == nullptr || gst_caps_is_any(caps) || gst_caps_is_empty(caps)) return record;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const std::string_view media = gst_structure_get_name(s);
    if (StartsWith(media, "video/") || StartsWith(media, "image/")) {
        record.majorType = kMediaTypeVideo;
    } else if (StartsWith(media, "audio/")) {
        record.majorType = kMediaTypeAudio;
    } else {
        record.majorType = kMediaTypeStream;
    }
    if (media == "video/x-raw") {
        FillRawVideo(caps, s, &record);
    } else if (media == "audio/x-raw") {
        FillRawAudio(s, &record);
    } else {
        FillOther(s, media, &record);
    }
    return record;
}

void LogCapsTry(const char* label, const GstCaps* caps) {
    LogMediaTypeTry(label, MediaTypeFromCaps(caps));
}

void LogCaps(const char* label, const GstCaps* caps) {
    LogMediaType(label, MediaTypeFromCaps(caps));
}

void DumpPipeline(GstElement* pipeline) {
    if (pipeline == nullptr) return;
    PipelineWalker walker(pipeline);
    DumpGraph(&walker);
}

}  // namespace kelpa
