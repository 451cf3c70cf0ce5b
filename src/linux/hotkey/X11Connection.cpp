#include "linux/hotkey/X11Connection.h"

#include "core/log/Log.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

namespace parlune {

// Xlib's error hooks are process-wide: errors on our connections are routed to their connection,
// errors on anyone else's go to the handler that was there before.
struct X11ErrorHooks {
    static std::mutex& mutex() {
        static std::mutex instance;
        return instance;
    }
    static std::map<Display*, X11Connection*>& live() {
        static std::map<Display*, X11Connection*> instance;
        return instance;
    }
    static XErrorHandler& previousErrorHandler() {
        static XErrorHandler instance = nullptr;
        return instance;
    }
    static XIOErrorHandler& previousIOErrorHandler() {
        static XIOErrorHandler instance = nullptr;
        return instance;
    }
    static X11Connection* find(Display* display) {
        std::lock_guard lock(mutex());
        auto found = live().find(display);
        return found == live().end() ? nullptr : found->second;
    }

    static int onError(Display* display, XErrorEvent* error) {
        X11Connection* connection = find(display);
        if (connection == nullptr) {
            auto previous = previousErrorHandler();
            return previous != nullptr ? previous(display, error) : 0;
        }
        if (connection->trapDepth_ > 0) {
            if (connection->trappedError_ == 0) connection->trappedError_ = error->error_code;
            return 0;
        }
        char text[160] = {};
        XGetErrorText(display, error->error_code, text, sizeof text);
        log::line("⚠️ X11 error: " + std::string(text) + " (request " + std::to_string(error->request_code) + "." +
                  std::to_string(error->minor_code) + ")");
        return 0;
    }

    // Called before the per-connection exit hook; ours say what happened themselves.
    static int onIOError(Display* display) {
        if (find(display) != nullptr) return 0;
        auto previous = previousIOErrorHandler();
        return previous != nullptr ? previous(display) : 0;
    }

    static void onConnectionLost(Display*, void* connection) { static_cast<X11Connection*>(connection)->lost(); }

    static void install() {
        static std::once_flag once;
        std::call_once(once, [] {
            previousErrorHandler() = XSetErrorHandler(&onError);
            previousIOErrorHandler() = XSetIOErrorHandler(&onIOError);
        });
    }
};

std::shared_ptr<X11Connection> X11Connection::open(EventLoop& loop, const std::string& name) {
    X11ErrorHooks::install();
    Display* display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (display == nullptr) {
        const char* variable = std::getenv("DISPLAY");
        const std::string shown = !name.empty() ? name : (variable != nullptr ? variable : "");
        log::line(shown.empty()
                      ? "⚠️ No X11 display (DISPLAY is not set) — global hotkeys need an X11 session or XWayland"
                      : "⚠️ Cannot open the X11 display \"" + shown +
                            "\" — global hotkeys need an X11 session or XWayland");
        return nullptr;
    }
    std::shared_ptr<X11Connection> connection(new X11Connection(loop, display));
    std::weak_ptr<X11Connection> weak = connection;
    connection->watch_ = loop.watchReadable(ConnectionNumber(display), [weak] {
        if (auto self = weak.lock()) self->dispatch();
    });
    connection->flush();
    return connection;
}

X11Connection::X11Connection(EventLoop& loop, Display* display) : loop_(loop), display_(display) {
    {
        std::lock_guard lock(X11ErrorHooks::mutex());
        X11ErrorHooks::live()[display_] = this;
    }
    XSetIOErrorExitHandler(display_, &X11ErrorHooks::onConnectionLost, this);

    int opcode = 0;
    int firstEvent = 0;
    int firstError = 0;
    if (XQueryExtension(display_, "XInputExtension", &opcode, &firstEvent, &firstError)) {
        int major = 2;
        int minor = 2;  // 2.1 and later deliver raw events whatever grabs are active
        if (XIQueryVersion(display_, &major, &minor) == Success && major >= 2) xinputOpcode_ = opcode;
    }
    int testMajor = 0;
    int testMinor = 0;
    hasXTest_ = XTestQueryExtension(display_, &firstEvent, &firstError, &testMajor, &testMinor) == True;
    // Held keys repeat as presses alone, with one real release at the end.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display_, True, &supported);
}

X11Connection::~X11Connection() {
    watch_.cancel();
    if (alive_) XCloseDisplay(display_);
    std::lock_guard lock(X11ErrorHooks::mutex());
    X11ErrorHooks::live().erase(display_);
}

void X11Connection::lost() {
    if (!alive_) return;
    alive_ = false;
    watch_.cancel();  // a closed socket stays readable: stop watching it
    log::line("⚠️ The X11 connection was lost — the keyboard is no longer watched");
}

int X11Connection::checked(const std::function<void()>& requests) {
    if (!alive_) return BadImplementation;
    if (trapDepth_++ == 0) trappedError_ = 0;
    requests();
    XSync(display_, False);
    const int error = trappedError_;
    --trapDepth_;
    if (!alive_) return BadImplementation;
    flush();
    return error;
}

void X11Connection::flush() {
    if (!alive_) return;
    XFlush(display_);
    if (alive_ && QLength(display_) > 0 && !dispatchPosted_) {
        dispatchPosted_ = true;
        loop_.post([weak = weak_from_this()] {
            if (auto self = weak.lock()) self->dispatch();
        });
    }
}

void X11Connection::sync() {
    if (!alive_) return;
    XSync(display_, False);
    dispatch();
}

void X11Connection::dispatch() {
    dispatchPosted_ = false;
    while (alive_ && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        const bool hasData = event.type == GenericEvent && XGetEventData(display_, &event.xcookie);
        const auto handlers = handlers_;  // handlers may add or remove handlers
        for (const auto& handler : handlers) {
            if (!handler->removed) handler->handle(event);
        }
        if (hasData && alive_) XFreeEventData(display_, &event.xcookie);
    }
}

Subscription X11Connection::addEventHandler(EventHandler handler) {
    auto entry = std::make_shared<Handler>(Handler{std::move(handler)});
    handlers_.push_back(entry);
    std::weak_ptr<X11Connection> weak = weak_from_this();
    return Subscription(std::shared_ptr<void>(nullptr, [weak, entry](void*) {
        entry->removed = true;
        if (auto self = weak.lock()) std::erase(self->handlers_, entry);
    }));
}

}  // namespace parlune
