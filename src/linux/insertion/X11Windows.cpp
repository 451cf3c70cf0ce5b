#include "linux/insertion/X11Windows.h"

#include "core/log/Log.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>

namespace parlune::x11 {
namespace {

// One 32-bit property value of `window`, or none.
std::optional<unsigned long> cardinalProperty(X11Connection& connection, XId window, const char* name, Atom type) {
    std::optional<unsigned long> value;
    connection.checked([&] {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(connection.display(), window, atom(connection, name), 0, 1, False, type, &actual, &format,
                               &count, &after, &data) == Success &&
            data != nullptr) {
            if (actual == type && format == 32 && count == 1) value = *reinterpret_cast<unsigned long*>(data);
            XFree(data);
        }
    });
    return value;
}

bool hasClientIds(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 1;
    int minor = 2;
    return XResQueryExtension(display, &eventBase, &errorBase) && XResQueryVersion(display, &major, &minor) &&
           (major > 1 || (major == 1 && minor >= 2));
}

// The first id of the given kind the server reports for the client behind `window`.
std::optional<XId> clientId(X11Connection& connection, XId window, unsigned int mask) {
    if (!connection.isAlive() || window == 0 || !hasClientIds(connection.display())) return std::nullopt;
    std::optional<XId> result;
    connection.checked([&] {
        XResClientIdSpec spec{window, mask};
        long count = 0;
        XResClientIdValue* values = nullptr;
        if (XResQueryClientIds(connection.display(), 1, &spec, &count, &values) != Success) return;
        for (long i = 0; i < count && !result; ++i) {
            if (mask == XRES_CLIENT_ID_XID_MASK && XResGetClientIdType(&values[i]) == XRES_CLIENT_ID_XID) {
                result = values[i].spec.client;
            } else if (mask == XRES_CLIENT_ID_PID_MASK && XResGetClientPid(&values[i]) > 0) {
                result = static_cast<XId>(XResGetClientPid(&values[i]));
            }
        }
        XResClientIdsDestroy(count, values);
    });
    return result;
}

struct PropertyMatch {
    Window window;
    Atom property;
};

Bool isPropertyChange(Display*, XEvent* event, XPointer argument) {
    const auto* match = reinterpret_cast<const PropertyMatch*>(argument);
    return event->type == PropertyNotify && event->xproperty.window == match->window &&
           event->xproperty.atom == match->property;
}

}  // namespace

std::shared_ptr<X11Connection> openForInsertion(EventLoop& loop) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        log::line("⚠️ X11: no display (DISPLAY is not set); reading and pasting into fields is off");
        return nullptr;
    }
    return X11Connection::open(loop);
}

XId atom(X11Connection& connection, const char* name) {
    return connection.isAlive() ? XInternAtom(connection.display(), name, False) : 0;
}

XId activeWindow(X11Connection& connection) {
    if (!connection.isAlive()) return 0;
    Display* display = connection.display();
    if (auto active = cardinalProperty(connection, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW); active && *active != 0) {
        return *active;
    }
    Window focus = 0;
    int revert = 0;
    connection.checked([&] { XGetInputFocus(display, &focus, &revert); });
    return focus == PointerRoot ? 0 : focus;
}

std::optional<long> processOf(X11Connection& connection, XId window) {
    if (!connection.isAlive() || window == 0) return std::nullopt;
    if (auto pid = cardinalProperty(connection, window, "_NET_WM_PID", XA_CARDINAL)) return static_cast<long>(*pid);
    if (auto pid = clientId(connection, window, XRES_CLIENT_ID_PID_MASK)) return static_cast<long>(*pid);
    return std::nullopt;
}

std::optional<XId> clientOf(X11Connection& connection, XId window) {
    return clientId(connection, window, XRES_CLIENT_ID_XID_MASK);
}

XId createHiddenWindow(X11Connection& connection) {
    if (!connection.isAlive()) return 0;
    Display* display = connection.display();
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    const XId window = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                                     CopyFromParent, CWEventMask, &attributes);
    XStoreName(display, window, "parlune");
    connection.flush();
    return window;
}

unsigned long serverTime(X11Connection& connection, XId hiddenWindow) {
    if (!connection.isAlive()) return CurrentTime;
    Display* display = connection.display();
    // Appending nothing to a property makes the server send a PropertyNotify with its current time.
    PropertyMatch match{hiddenWindow, atom(connection, "_PARLUNE_TIMESTAMP")};
    XChangeProperty(display, hiddenWindow, match.property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XFlush(display);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    XEvent event;
    while (connection.isAlive()) {
        if (XCheckIfEvent(display, &event, isPropertyChange, reinterpret_cast<XPointer>(&match))) {
            connection.flush();  // events read on the way are handled by a later job
            return event.xproperty.time;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
        ::poll(&descriptor, 1, static_cast<int>(left.count()));
    }
    connection.flush();
    return CurrentTime;
}

}  // namespace parlune::x11
