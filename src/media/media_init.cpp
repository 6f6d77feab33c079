// GStreamer start-up and shutdown for the program.
#include "media/media_init.h"

#include "media/gst_ptr.h"
#include "sim/sim_device_provider.h"
#include "sim/sim_source.h"

#include <gst/gst.h>

#include <mutex>

namespace kelpa {
namespace {

enum class MediaState { kNotStarted, kReady, kFailed, kShutDown };

struct MediaGlobals {
    std::mutex mutex;
    MediaState state = MediaState::kNotStarted;
    std::string failure;
};

MediaGlobals& Globals() {
    static MediaGlobals globals;
    return globals;
}

gboolean RegisterBuiltIns(GstPlugin* plugin) {
    return RegisterSimSource(plugin) && RegisterSimDeviceProvider(plugin);
}

void Start(MediaGlobals& globals) {
    GErrorPtr error;
    if (!gst_init_check(nullptr, nullptr, OutPtr(error))) {
        globals.state = MediaState::kFailed;
        globals.failure = std::string("Could not start GStreamer: ") +
                          (error ? error->message : "unknown reason");
        return;
    }
    if (!gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "kelpa",
                                    "The simulated telescope camera", RegisterBuiltIns,
                                    KELPA_VERSION_TEXT, "unknown", "kelpa", "Kelpa", "Kelpa")) {
        globals.state = MediaState::kFailed;
        globals.failure = "Could not register the simulated telescope camera";
        return;
    }
    globals.state = MediaState::kReady;
}

}  // namespace

bool InitMedia(std::string* error) {
    MediaGlobals& globals = Globals();
    std::lock_guard lock(globals.mutex);
    if (globals.state == MediaState::kNotStarted) Start(globals);
    if (globals.state == MediaState::kReady) return true;
    if (error != nullptr) {
        *error = globals.state == MediaState::kShutDown ? "GStreamer has been shut down"
                                                        : globals.failure;
    }
    return false;
}

void ShutdownMedia() {
    MediaGlobals& globals = Globals();
    std::lock_guard lock(globals.mutex);
    if (globals.state == MediaState::kReady) gst_deinit();
    globals.state = MediaState::kShutDown;
}

}  // namespace kelpa
