#include "linux/hotkey/LinuxAccessibilityTrust.h"

#include "core/log/Log.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace parlune {
namespace {

constexpr const char* service = "org.a11y.Bus";
constexpr const char* objectPath = "/org/a11y/bus";
constexpr const char* interface = "org.a11y.Status";
constexpr const char* property = "IsEnabled";
constexpr std::uint64_t callTimeoutMicroseconds = 2'000'000;

// One short-lived connection to the session bus per question: the checks are seconds apart.
struct SessionBus {
    sd_bus* bus = nullptr;
    int status = 0;
    SessionBus() {
        status = sd_bus_open_user(&bus);
        if (status >= 0) sd_bus_set_method_call_timeout(bus, callTimeoutMicroseconds);
    }
    ~SessionBus() { sd_bus_flush_close_unref(bus); }
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
};

void setError(std::string* error, int status, const sd_bus_error& busError) {
    if (error == nullptr) return;
    if (sd_bus_error_is_set(&busError)) {
        *error = busError.message != nullptr ? busError.message : busError.name;
    } else if (status == -ENOMEDIUM) {
        *error = "no session bus";
    } else {
        *error = std::strerror(-status);
    }
}

}  // namespace

LinuxAccessibilityTrust::LinuxAccessibilityTrust(std::shared_ptr<X11Connection> connection)
    : displayReady_(connection && connection->hasXInput2() && connection->hasXTest()) {}

std::optional<bool> LinuxAccessibilityTrust::accessibilityBusEnabled(std::string* error) {
    SessionBus session;
    sd_bus_error busError = SD_BUS_ERROR_NULL;
    if (session.status < 0) {
        setError(error, session.status, busError);
        return std::nullopt;
    }
    int enabled = 0;
    const int status =
        sd_bus_get_property_trivial(session.bus, service, objectPath, interface, property, &busError, 'b', &enabled);
    std::optional<bool> result;
    if (status < 0) {
        setError(error, status, busError);
    } else {
        result = enabled != 0;
    }
    sd_bus_error_free(&busError);
    return result;
}

bool LinuxAccessibilityTrust::enableAccessibilityBus(std::string* error) {
    SessionBus session;
    sd_bus_error busError = SD_BUS_ERROR_NULL;
    if (session.status < 0) {
        setError(error, session.status, busError);
        return false;
    }
    const int status = sd_bus_set_property(session.bus, service, objectPath, interface, property, &busError, "b", 1);
    if (status < 0) setError(error, status, busError);
    sd_bus_error_free(&busError);
    return status >= 0;
}

bool LinuxAccessibilityTrust::isProcessTrusted(bool prompt) {
    std::string error;
    const auto enabled = accessibilityBusEnabled(&error);
    const bool trusted = displayReady_ && enabled.value_or(false);
    if (!prompt || trusted) return trusted;

    if (!displayReady_) log::line("⚠️ Accessibility needs an X11 display with the XInput2 and XTest extensions");
    if (!enabled) {
        log::line("⚠️ The accessibility bus cannot be reached (" + error + ")");
    } else if (!*enabled) {
        if (enableAccessibilityBus(&error)) {
            log::line(std::string("🎙️ Accessibility switched on for this session — to keep it on after the next "
                                  "login, run: ") +
                      permanentCommand);
        } else {
            log::line("⚠️ Accessibility could not be switched on (" + error + ")");
        }
    }
    return trusted;
}

}  // namespace parlune
