// Fuzzes the video-file graph with whole files. Each input is written to a file and opened as
// the program opens a video file; a file that builds is run to its end as fast as it decodes,
// and one that does not must fail cleanly. The seeds are small AVI files: raw I420 and Motion
// JPEG frames, a recording whose frame size changes half way, and headers that claim frame
// sizes no picture can have.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>

#include "media/file_graph.h"
#include "media/media_init.h"
#include "video/video_ctrl.h"

namespace {

using namespace kelpa;

// Longer than any seed takes to decode; a file that plays on past it is stopped.
constexpr auto kRunLimit = std::chrono::seconds(5);

// Wakes the fuzzer's thread when the graph posts an event (the end of the file or an error).
class EventWaiter final : public StreamEventReceiver {
  public:
    void Notify(StreamEvents& source, StreamEvent kind) override {
        source.Acknowledge(kind);
        if (kind != StreamEvent::kGraphEvent) return;
        std::lock_guard lock(mutex_);
        posted_ = true;
        posted.notify_all();
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        posted.wait_for(lock, kRunLimit, [this] { return posted_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable posted;
    bool posted_ = false;
};

std::string InputPath() {
    char path[] = "/tmp/kelpa_fuzz_file_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) std::abort();
    close(fd);
    return path;
}

bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    close(fd);
    return written == size;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!InitMedia()) std::abort();
    InitClipTable();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = InputPath();
    if (!WriteInput(path, data, size)) return 0;
    VideoCtrl ctrl;
    ctrl.sink.SetPacing(false);
    FileGraph graph(ctrl);
    graph.SetShowPausedFrames(false);
    EventWaiter events;
    ctrl.Events().SetReceiver(&events);
    graph.SetEvents(&ctrl.Events());
    if (!Failed(graph.PlayVideoFile(path.c_str())) && !Failed(ctrl.Run())) {
        events.Wait();
        ctrl.DrainGraphEvents(nullptr);
        ctrl.Stop();
    }
    graph.Teardown();
    return 0;
}
