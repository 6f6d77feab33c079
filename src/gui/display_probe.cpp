#include "gui/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QLibraryInfo>
#include <cstdlib>
#include <cstring>

#include "platform/unique_fd.h"

namespace kelpa {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool ReachX() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    const bool reached = connection != nullptr && xcb_connection_has_error(connection) == 0;
    if (connection != nullptr) xcb_disconnect(connection);
    return reached;
}

bool ReachWayland(const std::string& display) {
    std::string path = display;
    if (path.front() != '/') {
        const std::string runtime = Environment("XDG_RUNTIME_DIR");
        if (runtime.empty()) return false;
        path = runtime + "/" + display;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return fd.valid() &&
           ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool HasWaylandPlugin() {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty();
}

}  // namespace

DisplayProbe ProbeDisplay() {
    DisplayProbe probe;
    if (!Environment("QT_QPA_PLATFORM").empty()) {
        probe.usable = true;
        return probe;
    }
    const std::string x = Environment("DISPLAY");
    const std::string wayland = Environment("WAYLAND_DISPLAY");
    const bool xAnswers = !x.empty() && ReachX();
    const bool waylandAnswers = !wayland.empty() && ReachWayland(wayland) && HasWaylandPlugin();
    // Only the one that answers is asked for, so Qt does not try (and complain about) the other.
    if (xAnswers || waylandAnswers) {
        probe.usable = true;
        if (xAnswers != waylandAnswers) probe.platform = xAnswers ? "xcb" : "wayland";
        return probe;
    }
    if (x.empty() && wayland.empty()) {
        probe.reason = "neither DISPLAY nor WAYLAND_DISPLAY is set";
        return probe;
    }
    probe.reason = "cannot connect to";
    if (!x.empty()) probe.reason += " the X display '" + x + "'";
    if (!x.empty() && !wayland.empty()) probe.reason += " nor";
    if (!wayland.empty()) probe.reason += " the Wayland display '" + wayland + "'";
    return probe;
}

}  // namespace kelpa
