#include "linux/insertion/X11Connection.h"

#include "core/log/Log.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <poll.h>

#include <cstdlib>
#include <mutex>
#include <utility>

namespace parlune {
namespace {

// Xlib's error handler is process-wide and its default ends the process. Errors on our displays
// (a requestor window that vanished, ...) are counted instead; others go to the previous handler.
std::mutex errorMutex;
std::map<Display*, int>& errorCounts() {
    static std::map<Display*, int> counts;
    return counts;
}
XErrorHandler previousErrorHandler = nullptr;

int onXError(Display* display, XErrorEvent* event) {
    {
        std::lock_guard lock(errorMutex);
        auto found = errorCounts().find(display);
        if (found != errorCounts().end()) {
            ++found->second;
            return 0;
        }
    }
    return previousErrorHandler ? previousErrorHandler(display, event) : 0;
}

void registerDisplay(Display* display) {
    std::lock_guard lock(errorMutex);
    if (errorCounts().empty()) {
        XErrorHandler previous = XSetErrorHandler(onXError);
        if (previous != onXError) previousErrorHandler = previous;
    }
    errorCounts()[display] = 0;
}

void unregisterDisplay(Display* display) {
    std::lock_guard lock(errorMutex);
    errorCounts().erase(display);
}

int takeErrors(Display* display) {
    std::lock_guard lock(errorMutex);
    auto found = errorCounts().find(display);
    if (found == errorCounts().end()) return 0;
    return std::exchange(found->second, 0);
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

std::shared_ptr<X11Connection> X11Connection::open(EventLoop& loop) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        log::line("⚠️ X11: no display (DISPLAY is not set); reading and pasting into fields is off");
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        log::line(std::string("⚠️ X11: cannot open display ") + name + "; reading and pasting into fields is off");
        return nullptr;
    }
    return std::shared_ptr<X11Connection>(new X11Connection(loop, display));
}

X11Connection::X11Connection(EventLoop& loop, Display* display) : loop_(loop), display_(display) {
    registerDisplay(display_);
    XSetIOErrorExitHandler(
        display_,
        [](Display*, void* self) { static_cast<X11Connection*>(self)->lost(); },
        this);
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                            CopyFromParent, CWEventMask, &attributes);
    XStoreName(display_, window_, "parlune");
    int eventBase = 0;
    int errorBase = 0;
    int major = 1;
    int minor = 2;
    hasClientIds_ = XResQueryExtension(display_, &eventBase, &errorBase) &&
                    XResQueryVersion(display_, &major, &minor) && (major > 1 || (major == 1 && minor >= 2));
    XFlush(display_);
    watch_ = loop_.watchReadable(ConnectionNumber(display_), [this] { dispatch(); });
}

X11Connection::~X11Connection() {
    watch_.cancel();
    if (alive_) {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    unregisterDisplay(display_);
}

void X11Connection::lost() {
    if (!alive_) return;
    alive_ = false;
    log::line("⚠️ X11: the connection to the display was lost; reading and pasting into fields is off");
    // The watch is cancelled from a later job: this runs inside an Xlib call.
    loop_.post([watch = watch_] { watch.cancel(); });
}

X11Connection::XId X11Connection::atom(const char* name) {
    auto found = atoms_.find(name);
    if (found != atoms_.end()) return found->second;
    if (!alive_) return 0;
    const XId value = XInternAtom(display_, name, False);
    atoms_.emplace(name, value);
    return value;
}

std::string X11Connection::atomName(XId value) {
    if (!alive_ || value == 0) return {};
    char* name = XGetAtomName(display_, value);
    takeErrors(display_);
    if (name == nullptr) return {};
    std::string result(name);
    XFree(name);
    return result;
}

std::uint64_t X11Connection::addHandler(std::function<void(const XEvent&)> handler) {
    const auto id = nextHandler_++;
    handlers_.emplace(id, std::move(handler));
    return id;
}

void X11Connection::removeHandler(std::uint64_t id) { handlers_.erase(id); }

void X11Connection::dispatchLater() {
    loop_.post([weakSelf = weak_from_this()] {
        if (auto self = weakSelf.lock()) self->dispatch();
    });
}

void X11Connection::dispatch() {
    while (alive_ && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        // Handlers may add or remove handlers: walk a snapshot of the ids.
        std::vector<std::uint64_t> ids;
        for (const auto& entry : handlers_) ids.push_back(entry.first);
        for (auto id : ids) {
            auto found = handlers_.find(id);
            if (found != handlers_.end()) {
                auto handler = found->second;
                handler(event);
            }
        }
    }
}

bool X11Connection::serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (alive_) {
        dispatch();
        if (done()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd descriptor{ConnectionNumber(display_), POLLIN, 0};
        ::poll(&descriptor, 1, static_cast<int>(left.count()));
    }
    return done();
}

bool X11Connection::sync() {
    if (!alive_) return false;
    XSync(display_, False);
    const bool clean = takeErrors(display_) == 0;
    dispatchLater();
    return clean && alive_;
}

unsigned long X11Connection::serverTime() {
    if (!alive_) return CurrentTime;
    // Appending nothing to a property of our window makes the server send a PropertyNotify that
    // carries its current time.
    const Atom property = atom("_PARLUNE_TIMESTAMP");
    XChangeProperty(display_, window_, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XFlush(display_);
    XEvent event;
    PropertyMatch match{window_, property};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (alive_) {
        if (XCheckIfEvent(display_, &event, isPropertyChange, reinterpret_cast<XPointer>(&match))) {
            dispatchLater();
            return event.xproperty.time;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd descriptor{ConnectionNumber(display_), POLLIN, 0};
        ::poll(&descriptor, 1, static_cast<int>(left.count()));
    }
    return CurrentTime;
}

X11Connection::XId X11Connection::activeWindow() {
    if (!alive_) return 0;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XId active = 0;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), atom("_NET_ACTIVE_WINDOW"), 0, 1, False, XA_WINDOW,
                           &type, &format, &count, &after, &data) == Success &&
        data != nullptr) {
        if (type == XA_WINDOW && format == 32 && count == 1) active = *reinterpret_cast<unsigned long*>(data);
        XFree(data);
    }
    if (active == 0) {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        if (focus != PointerRoot && focus != None) active = focus;
    }
    takeErrors(display_);
    return active;
}

std::optional<long> X11Connection::processOf(XId window) {
    if (!alive_ || window == 0) return std::nullopt;
    std::optional<long> pid;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, atom("_NET_WM_PID"), 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
        if (type == XA_CARDINAL && format == 32 && count == 1) pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    if (!pid && hasClientIds_) {
        XResClientIdSpec spec{window, XRES_CLIENT_ID_PID_MASK};
        long ids = 0;
        XResClientIdValue* values = nullptr;
        if (XResQueryClientIds(display_, 1, &spec, &ids, &values) == Success) {
            for (long i = 0; i < ids; ++i) {
                const pid_t found = XResGetClientPid(&values[i]);
                if (found > 0) pid = found;
            }
            XResClientIdsDestroy(ids, values);
        }
    }
    takeErrors(display_);
    return pid;
}

std::optional<X11Connection::XId> X11Connection::clientOf(XId window) {
    if (!alive_ || !hasClientIds_ || window == 0) return std::nullopt;
    XResClientIdSpec spec{window, XRES_CLIENT_ID_XID_MASK};
    long count = 0;
    XResClientIdValue* values = nullptr;
    std::optional<XId> client;
    if (XResQueryClientIds(display_, 1, &spec, &count, &values) == Success) {
        for (long i = 0; i < count; ++i) {
            if (XResGetClientIdType(&values[i]) == XRES_CLIENT_ID_XID) client = values[i].spec.client;
        }
        XResClientIdsDestroy(count, values);
    }
    takeErrors(display_);
    return client;
}

}  // namespace parlune
