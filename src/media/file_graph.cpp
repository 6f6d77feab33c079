#include "media/file_graph.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gst/app/gstappsink.h>

#include <chrono>

#include "common/log.h"
#include "media/graph_dump.h"

namespace kelpa {
namespace {

constexpr const char* kSeparator = "----------------------";
constexpr const char* kBuildSeparator = "/////////////////////////////////////";
// Long enough to open and decode the first frame of a large file on a slow disk.
constexpr auto kPrerollTimeout = std::chrono::seconds(15);
constexpr GstClockTime kPrerollPoll = 50 * GST_MSECOND;

// The graph reads the file itself; reading its first block here tells a missing or unreadable
// path from a file whose contents cannot be played, and wakes a sleeping disk before the
// preroll watchdog starts counting.
bool CanReadFile(const char* path) {
    if (!path || !*path) return false;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    char block[4096];
    const bool ok =
        fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && read(fd, block, sizeof block) >= 0;
    close(fd);
    return ok;
}

GstCapsPtr PadCaps(GstPad* pad) {
    GstCapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps) caps.reset(gst_pad_query_caps(pad, nullptr));
    return caps;
}

bool IsVideoPad(GstPad* pad) {
    GstCapsPtr caps = PadCaps(pad);
    if (!caps || gst_caps_get_size(caps.get()) == 0) return false;
    return g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps.get(), 0)),
                            "video/");
}

bool LinkPads(GstPad* from, GstPad* to) {
    return from && to && GST_PAD_LINK_SUCCESSFUL(gst_pad_link(from, to));
}

// `name`, or when an element of the bin already has it, "name 2", "name 3", ...: a bin refuses
// a second element of the same name.
std::string UniqueName(GstBin* bin, const char* name) {
    std::string candidate = name;
    for (int n = 2;; ++n) {
        GstElementPtr taken(gst_bin_get_by_name(bin, candidate.c_str()));
        if (!taken) return candidate;
        candidate = std::string(name) + " " + std::to_string(n);
    }
}

// Adds a new element to the decoder's bin while the graph is changing state. The element is
// held while it is added: a bin that refuses it has released the reference it was given.
GstElement* AddBeside(GstElement* decoder, const char* factory, const char* name) {
    GstBin* bin = GST_BIN(GST_ELEMENT_PARENT(decoder));
    if (!bin) return nullptr;
    GstElement* element =
        gst_element_factory_make(factory, name ? UniqueName(bin, name).c_str() : nullptr);
    const GstElementPtr held = AdoptFloating(element);
    if (!element || !gst_bin_add(bin, element)) return nullptr;
    gst_element_sync_state_with_parent(element);
    return element;  // the bin holds it now
}

// Takes an element that did not link back out of the decoder's bin.
void RemoveBeside(GstElement* decoder, GstElement* element) {
    GstBin* bin = GST_BIN(GST_ELEMENT_PARENT(decoder));
    if (!bin || !element) return;
    gst_element_set_state(element, GST_STATE_NULL);
    gst_bin_remove(bin, element);
}

// Audio, subtitles and any second video stream flow into a sink of their own, so that the
// decoder never stops on a stream nobody takes.
void DiscardPad(GstElement* decoder, GstPad* pad) {
    GstElement* sink = AddBeside(decoder, "fakesink", nullptr);
    if (!sink) return;
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    GstPadPtr sinkPad(gst_element_get_static_pad(sink, "sink"));
    LinkPads(pad, sinkPad.get());
}

// Why frames of a decoded stream cannot be shown: a frame size that no picture can have (a
// crafted or damaged header claims 0 or 2^31 - 1 pixels). Empty when the size is fine or not
// known yet.
std::string FrameSizeProblem(GstPad* pad) {
    GstCapsPtr caps = PadCaps(pad);
    if (!caps || !gst_caps_is_fixed(caps.get())) return {};
    const GstStructure* s = gst_caps_get_structure(caps.get(), 0);
    if (!gst_structure_has_name(s, "video/x-raw")) return {};
    gint width = 0;
    gint height = 0;
    gst_structure_get_int(s, "width", &width);
    gst_structure_get_int(s, "height", &height);
    if (IsShowableFrameSize(width, height)) return {};
    return "the video stream's frame size " + std::to_string(width) + " x " +
           std::to_string(height) + " cannot be shown";
}

// Ends the graph's preroll at once with `text` as the error.
void PostStreamError(GstElement* decoder, const char* text) {
    GError* error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_FORMAT, text);
    gst_element_post_message(decoder, gst_message_new_error(GST_OBJECT(decoder), error, nullptr));
    g_error_free(error);
}

}  // namespace

FileGraph::FileGraph(VideoCtrl& ctrl) : ctrl_(ctrl), bridge_(ctrl.sink) {}

FileGraph::~FileGraph() {
    Teardown();
}

void FileGraph::SetEvents(StreamEvents* events) {
    events_ = events;
    if (graph_ && ctrl_.graphBuilt) graph_->SetEvents(events);
}

void FileGraph::Show(const char* text) {
    LogPrintf("%s", text);
    if (notice_) notice_->ShowStatus(text);
}

MediaResult FileGraph::Fail(const char* shown, MediaResult code) {
    if (shown) Show(shown);
    return code;
}

void FileGraph::SetFailureReason(const std::string& reason) {
    std::lock_guard lock(linkMutex_);
    failureReason_ = reason;
}

// ---- Entry point --------------------------------------------------------------------------------

MediaResult FileGraph::PlayVideoFile(const char* path) {
    LogPrintf("%s\n\tBuild filter graph", kBuildSeparator);
    Teardown();
    ctrl_.useBuilderRender = false;
    ctrl_.secondOption = false;
    ctrl_.sink.acceptFormat = &RefuseEveryFormat;
    MediaResult result = BuildFileGraph(path);
    if (Failed(result)) {
        Teardown();
        const std::string firstReason = FailureReason();
        ctrl_.useBuilderRender = true;
        ctrl_.secondOption = true;
        result = BuildFileGraph(path);
        if (Failed(result)) {
            {
                std::lock_guard lock(linkMutex_);
                if (failureReason_.empty()) failureReason_ = firstReason;
            }
            Teardown();
            Show("Can't render video file");
            LogPrintf("%s", kBuildSeparator);
            return result;
        }
    }
    ctrl_.sink.acceptFormat = &IsSupportedFormat;
    if (notice_) notice_->ShowStatus(path_.c_str());
    Show("Previewing Video File");
    LogPrintf("%s", kBuildSeparator);
    return result;
}

MediaResult FileGraph::BuildFileGraph(const char* path) {
    path_ = path ? path : "";
    {
        std::lock_guard lock(linkMutex_);
        videoLinked_ = false;
        failure_ = LinkFailure::kNone;
        failureReason_.clear();
        connectedStep_ = 0;
        converted_ = false;
        converterTried_ = false;
    }
    graph_ = std::make_unique<GstGraph>(false);
    if (!graph_->Ok()) return Fail("Can't create filter graph");
    if (!CreateSource(path)) return MediaResult::kFailed;
    if (!CreateGrabberAndRenderer()) return MediaResult::kFailed;

    // Prerolling runs the decoder: its pads appear and are linked on the streaming thread
    // (OnPadAdded), and the first frame proves the negotiation.
    if (!Preroll()) return ReportLinkFailure();
    DumpPipeline(graph_->Pipeline());

    const MediaResult typeResult = CheckConnectedType();
    if (Failed(typeResult)) return typeResult;
    bridge_.Attach(renderer_);
    ctrl_.AttachGraph(graph_.get(), graph_.get(), graph_.get());

    // The graph converts frames to time with the file's rate; set it before the rate is
    // worked out so that a known time per frame also allows seeking in frames.
    const int64_t timePerFrame = bridge_.CurrentType().timePerFrame100ns;
    graph_->SetFrameRate(timePerFrame > 0 ? double(kMediaUnitsPerSecond) / double(timePerFrame)
                                          : 0.0);
    InitFilePlayback(timePerFrame);
    graph_->SetFrameRate(ctrl_.sink.fps.load());
    LogPrintf("FPS=%.2f", ctrl_.sink.fps.load());

    ctrl_.sink.capture.SetCaptureName(path_.c_str(), true);
    ctrl_.sink.capture.ParseTemplate();
    StartAtFirstFrame();

    // Events of the build (the fallback build's trial run ends the file) are not the user's.
    int32_t stale = 0;
    while (graph_->NextEvent(&stale)) {
    }
    graph_->SetEvents(events_);
    ctrl_.sink.isLive = false;
    ctrl_.graphBuilt = true;
    return MediaResult::kDone;
}

// ---- Building -----------------------------------------------------------------------------------

bool FileGraph::CreateSource(const char* path) {
    source_ = graph_->Add("filesrc", "File Reader");
    if (!source_) {
        Fail("Can't create source filter");
        return false;
    }
    decoder_ = graph_->Add("decodebin", "File Decoder");
    if (!decoder_) {
        Fail("Can't create loader");
        return false;
    }
    if (!CanReadFile(path) || !gst_element_link(source_, decoder_)) {
        SetFailureReason("the file cannot be read");
        Fail("Can't load the media file\r\n");
        return false;
    }
    g_object_set(source_, "location", path, nullptr);
    GstPadPtr output(gst_element_get_static_pad(source_, "src"));
    if (output) {
        gst_pad_add_probe(
            output.get(),
            static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_PUSH |
                                         GST_PAD_PROBE_TYPE_PULL),
            &FileGraph::OnRead, this, nullptr);
    }
    g_signal_connect(decoder_, "pad-added", G_CALLBACK(&FileGraph::OnPadAdded), this);
    g_signal_connect(decoder_, "no-more-pads", G_CALLBACK(&FileGraph::OnNoMorePads), this);
    return true;
}

bool FileGraph::CreateGrabberAndRenderer() {
    // Each element is held while it is added: a bin that refuses one releases its reference.
    GstElementPtr grabber =
        AdoptFloating(gst_element_factory_make("capsfilter", "VidFile Grabber"));
    if (!grabber) {
        Fail("Could not create sample grabber filter (is qedit.dll registered?)");
        return false;
    }
    if (!gst_bin_add(graph_->Bin(), grabber.get())) {
        Fail("Could not put sample grabber in graph");
        return false;
    }
    grabber_ = grabber.get();
    GstPadPtr grabberInput(gst_element_get_static_pad(grabber_, "sink"));
    if (!grabberInput) {
        Fail("Could not get sample grabber (is qedit.dll registered?)");
        return false;
    }

    // The first attempt makes its own null renderer; the second lets the graph render with
    // its defaults, which here is the same appsink without a type of its own.
    const bool defaults = ctrl_.useBuilderRender;
    GstElementPtr renderer = AdoptFloating(gst_element_factory_make("appsink", "NULL Render"));
    if (!renderer) {
        Fail(defaults ? "Can't render" : "Unable to make a null renderer");
        return false;
    }
    if (!gst_bin_add(graph_->Bin(), renderer.get())) {
        Fail(defaults ? "Can't render" : "Can't add the filter to graph");
        return false;
    }
    renderer_ = renderer.get();
    // Files are never dropped: the renderer takes one frame at a time and the intake paces.
    g_object_set(renderer_, "sync", FALSE, "enable-last-sample", FALSE, "max-buffers", 1u, "drop",
                 FALSE, nullptr);
    GstPadPtr grabberOutput(gst_element_get_static_pad(grabber_, "src"));
    if (!grabberOutput) {
        Fail("Can't get grabber output pin");
        return false;
    }
    return true;
}

// Waits until the first frame reached the renderer, an error stopped the graph, or the graph
// stalled. A demuxer that fails while the decoder is still plugging it in can stop without its
// error reaching the bus; reading from the file stops then, so a graph that neither reads nor
// has linked its video stream for prerollStall_ has failed.
bool FileGraph::Preroll() {
    using SteadyClock = std::chrono::steady_clock;
    GstElement* pipeline = graph_->Pipeline();
    GstStateChangeReturn state = gst_element_set_state(pipeline, GST_STATE_PAUSED);
    const SteadyClock::time_point start = SteadyClock::now();
    SteadyClock::time_point progress = start;
    uint64_t reads = reads_.load();
    while (state == GST_STATE_CHANGE_ASYNC) {
        state = gst_element_get_state(pipeline, nullptr, nullptr, kPrerollPoll);
        if (state != GST_STATE_CHANGE_ASYNC) break;
        const SteadyClock::time_point now = SteadyClock::now();
        const uint64_t readsNow = reads_.load();
        bool linked;
        {
            std::lock_guard lock(linkMutex_);
            linked = videoLinked_;
        }
        if (readsNow != reads || linked) progress = now;
        reads = readsNow;
        if (now - progress > prerollStall_ || now - start > kPrerollTimeout) {
            LogPrintf(
                "The video file could not be opened: the graph stopped before its first "
                "frame");
            std::lock_guard lock(linkMutex_);
            if (failureReason_.empty()) failureReason_ = "no frame could be decoded";
            return false;
        }
    }
    if (state == GST_STATE_CHANGE_FAILURE) {
        const std::string error = graph_->LastError();
        LogPrintf("The video file could not be opened: %s", error.c_str());
        std::lock_guard lock(linkMutex_);
        if (failureReason_.empty()) failureReason_ = error;
        return false;
    }
    return true;
}

// Streaming thread: every block read from the file.
GstPadProbeReturn FileGraph::OnRead(GstPad*, GstPadProbeInfo*, gpointer self) {
    static_cast<FileGraph*>(self)->reads_.fetch_add(1);
    return GST_PAD_PROBE_OK;
}

// The texts of a failed preroll, by how far the decoded frames got.
MediaResult FileGraph::ReportLinkFailure() {
    LinkFailure failure;
    {
        std::lock_guard lock(linkMutex_);
        failure = failure_;
        if (failure == LinkFailure::kNone) {
            failure = !videoLinked_ ? LinkFailure::kNoVideo : LinkFailure::kRender;
        }
    }
    switch (failure) {
        case LinkFailure::kFrameSize:
            return Fail("Can`t connect to filter pins");
        case LinkFailure::kSetType:
            return Fail("Can`t set media type");
        case LinkFailure::kNoVideo:
        case LinkFailure::kConnect:
            return Fail("Can`t connect to filter pins");
        default:
            return Fail(ctrl_.useBuilderRender ? "Can't render" : "Can't connect to render");
    }
}

MediaResult FileGraph::CheckConnectedType() {
    GstPadPtr grabberInput(gst_element_get_static_pad(grabber_, "sink"));
    GstCapsPtr caps(grabberInput ? gst_pad_get_current_caps(grabberInput.get()) : nullptr);
    if (!caps) {
        Show("Can't read the connected media type");
        return Fail("Can't get media type");
    }
    VideoMediaType type;
    if (!ParseVideoCaps(caps.get(), &type) || !type.hasInfo) {
        SetFailureReason("the decoded video type cannot be read");
        Show("Can't read the connected media type");
        LogCaps("Can't get good type:\n", caps.get());
        LogPrintf("bFixedSizeSamples = %d", type.fixedSizeSamples ? 1 : 0);
        return MediaResult::kFailed;
    }
    if (!type.fixedSizeSamples) Show("!!! bFixedSizeSamples = FALSE");
    LogCaps("Out Video Format", caps.get());
    if (!IsSupportedFormat(type.header)) {
        LogPrintf("\nError: Not supported input compression...\n");
        SetFailureReason("the decoded video format " + SubtypeName(type.subtype) +
                         " cannot be shown");
        return MediaResult::kFailed;
    }

    bridge_.AdoptConnectedType(type);
    return MediaResult::kDone;
}

// The first frame is shown at once: after the seek the paused graph hands it to the intake. The
// fallback build (either option set) also runs its graph once and stops it before seeking, so
// that its renderer has been started once before the user presses Start.
void FileGraph::StartAtFirstFrame() {
    graph_->SetPositionAbsolute(0);
    if (ctrl_.useBuilderRender || ctrl_.secondOption) {
        graph_->Run();
        graph_->Stop();
        graph_->SetPositionAbsolute(0);
    }
}

void FileGraph::Teardown() {
    ctrl_.graphBuilt = false;
    ctrl_.DetachGraph();
    if (graph_) {
        graph_->SetEvents(nullptr);
        gst_element_set_state(graph_->Pipeline(), GST_STATE_NULL);
    }
    bridge_.Detach();
    graph_.reset();
    source_ = nullptr;
    decoder_ = nullptr;
    grabber_ = nullptr;
    renderer_ = nullptr;
    bridge_.Reset();
}

// ---- Linking the decoded streams (streaming thread) --------------------------------------------

void FileGraph::OnPadAdded(GstElement* decoder, GstPad* pad, gpointer self) {
    static_cast<FileGraph*>(self)->LinkDecodedPad(decoder, pad);
}

// A file without a video stream fails at once instead of waiting for a frame that never comes.
void FileGraph::OnNoMorePads(GstElement* decoder, gpointer self) {
    auto* graph = static_cast<FileGraph*>(self);
    std::lock_guard lock(graph->linkMutex_);
    if (graph->videoLinked_ || graph->failure_ == LinkFailure::kFrameSize) return;
    PostStreamError(decoder, "The file has no video stream that can be shown");
}

void FileGraph::LinkDecodedPad(GstElement* decoder, GstPad* pad) {
    std::lock_guard lock(linkMutex_);
    if (videoLinked_ || failure_ == LinkFailure::kFrameSize || !IsVideoPad(pad)) {
        DiscardPad(decoder, pad);
        return;
    }
    if (std::string problem = FrameSizeProblem(pad); !problem.empty()) {
        LogPrintf("The video file cannot be played: %s", problem.c_str());
        failure_ = LinkFailure::kFrameSize;
        failureReason_ = problem;
        PostStreamError(decoder, problem.c_str());
        return;
    }
    GstPadPtr output = ctrl_.useBuilderRender ? InsertConverter(decoder, pad) : RefObject(pad);
    int step = output ? SearchGrabberSubtype(output.get()) : 0;
    if (step == 0 && !converterTried_) {
        LogPrintf(
            "No file subtype links to the decoder's output: a colour converter is put in "
            "front of the grabber");
        output = InsertConverter(decoder, pad);
        if (output) step = SearchGrabberSubtype(output.get());
    }
    if (step == 0) {
        if (failure_ == LinkFailure::kNone) failure_ = LinkFailure::kConnect;
        return;
    }
    videoLinked_ = true;
    connectedStep_ = step;
    if (!LinkRenderer()) failure_ = LinkFailure::kRender;
}

// Links the decoded pad into a colour converter; returns the converter's output. A converter
// is tried once per stream; one that does not link is taken out again.
GstPadPtr FileGraph::InsertConverter(GstElement* decoder, GstPad* pad) {
    converterTried_ = true;
    GstElement* converter = AddBeside(decoder, "videoconvert", "Colour Converter");
    if (!converter) return nullptr;
    GstPadPtr input(gst_element_get_static_pad(converter, "sink"));
    if (!LinkPads(pad, input.get())) {
        RemoveBeside(decoder, converter);
        return nullptr;
    }
    converted_ = true;
    return GstPadPtr(gst_element_get_static_pad(converter, "src"));
}

// Sets each file subtype on the grabber in turn and links `output` to it; the first that links
// wins. Returns its step (1 to 6) or 0, with the last attempt's failure kept. A decoder that has
// already chosen its output format links only with that subtype: the formats it says it could
// make (a JPEG decoder names RGB) are not always formats it can make from this file.
int FileGraph::SearchGrabberSubtype(GstPad* output) {
    GstPadPtr grabberInput(gst_element_get_static_pad(grabber_, "sink"));
    GstCapsPtr chosen(gst_pad_get_current_caps(output));
    LogPrintf("%s", kSeparator);
    for (size_t i = 0; i < std::size(kFileSubtypes); ++i) {
        const int step = static_cast<int>(i + 1);
        const uint32_t subtype = kFileSubtypes[i];
        LogPrintf("find Media Type step %d", step);
        GstCapsPtr caps = CapsForSubtype(subtype);
        if (!caps || gst_caps_is_empty(caps.get())) {
            LogPrintf("Can`t set media type: %s", SubtypeName(subtype).c_str());
            failure_ = LinkFailure::kSetType;
            continue;
        }
        g_object_set(grabber_, "caps", caps.get(), nullptr);
        const bool offered = !chosen || gst_caps_can_intersect(chosen.get(), caps.get());
        if (offered && LinkPads(output, grabberInput.get())) {
            failure_ = LinkFailure::kNone;
            GstCapsPtr linked(gst_pad_query_caps(output, caps.get()));
            LogCaps("", linked ? linked.get() : caps.get());
            return step;
        }
        LogPrintf("Can`t connect to media type: %s", SubtypeName(subtype).c_str());
        failure_ = LinkFailure::kConnect;
    }
    return 0;
}

// The grabber's output into the renderer: the first attempt with the same subtype search (the
// step of the grabber's subtype links), the second with the renderer's defaults.
bool FileGraph::LinkRenderer() {
    GstPadPtr grabberOutput(gst_element_get_static_pad(grabber_, "src"));
    GstPadPtr rendererInput(gst_element_get_static_pad(renderer_, "sink"));
    if (ctrl_.useBuilderRender) return LinkPads(grabberOutput.get(), rendererInput.get());

    LogPrintf("%s", kSeparator);
    for (size_t i = 0; i < std::size(kFileSubtypes); ++i) {
        const uint32_t subtype = kFileSubtypes[i];
        LogPrintf("find Media Type step %d", static_cast<int>(i + 1));
        GstCapsPtr caps = CapsForSubtype(subtype);
        g_object_set(renderer_, "caps", caps.get(), nullptr);
        if (LinkPads(grabberOutput.get(), rendererInput.get())) {
            LogCaps("Render :", caps.get());
            return true;
        }
        LogPrintf("Can`t connect to media type: %s", SubtypeName(subtype).c_str());
    }
    g_object_set(renderer_, "caps", nullptr, nullptr);
    return false;
}

}  // namespace kelpa
