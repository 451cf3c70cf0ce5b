#pragma once

#include "core/runtime/EventLoop.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

// Xlib's types, declared here so that its macros stay out of the headers of other parts.
typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace parlune {

// One connection to the X server, its events served on the main loop. It owns a small unmapped
// window for selections and timestamps. A lost connection is reported once and every later
// operation does nothing.
class X11Connection : public std::enable_shared_from_this<X11Connection> {
public:
    using XId = unsigned long;

    // Opens the display named by $DISPLAY; none when there is none (one line says why).
    static std::shared_ptr<X11Connection> open(EventLoop& loop);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* display() const { return display_; }
    XId window() const { return window_; }
    bool alive() const { return alive_; }
    EventLoop& loop() const { return loop_; }

    XId atom(const char* name);
    std::string atomName(XId atom);

    // Handlers see every event; the id removes the handler again.
    std::uint64_t addHandler(std::function<void(const XEvent&)> handler);
    void removeHandler(std::uint64_t id);
    // Serves the events Xlib has already queued. Any Xlib call may move arrived events into that
    // queue, where the descriptor no longer shows them: after own requests, call dispatchLater().
    void dispatch();
    // The same, from a later job on the loop.
    void dispatchLater();
    // Blocks (serving events) until `done()` or the time limit; for hand-overs at exit.
    bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

    // Sends pending requests and waits for the server to process them; false when one failed.
    bool sync();
    // A timestamp from the server (for selection ownership).
    unsigned long serverTime();

    // The window the user works in: _NET_ACTIVE_WINDOW, else the input focus; 0 when there is none.
    XId activeWindow();
    // The process that shows `window` (_NET_WM_PID, else the server's idea of the client); none when unknown.
    std::optional<long> processOf(XId window);
    // The X client that created `window`, as an id comparable between windows; none when unknown.
    std::optional<XId> clientOf(XId window);

private:
    X11Connection(EventLoop& loop, Display* display);
    void lost();

    EventLoop& loop_;
    Display* display_;
    XId window_ = 0;
    bool alive_ = true;
    bool hasClientIds_ = false;
    WatchHandle watch_;
    std::map<std::uint64_t, std::function<void(const XEvent&)>> handlers_;
    std::uint64_t nextHandler_ = 1;
    std::map<std::string, XId> atoms_;
};

}  // namespace parlune
