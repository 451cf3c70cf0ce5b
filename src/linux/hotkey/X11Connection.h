#pragma once

#include "core/runtime/EventLoop.h"
#include "core/runtime/Property.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

using Display = struct _XDisplay;
union _XEvent;

namespace parlune {

// One Xlib connection served by the main loop: its socket is watched with watchReadable (no thread,
// no polling), and every event read goes to the handlers. X errors never end the process: inside
// checked() they are reported to the caller, elsewhere logged; a lost connection is logged once and
// then left alone.
class X11Connection : public std::enable_shared_from_this<X11Connection> {
public:
    using EventHandler = std::function<void(_XEvent& event)>;

    // Opens `name` ($DISPLAY when empty); none, with a log line, when there is no display to open.
    static std::shared_ptr<X11Connection> open(EventLoop& loop, const std::string& name = {});
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* display() const { return display_; }
    EventLoop& loop() const { return loop_; }
    bool isAlive() const { return alive_; }
    bool hasXInput2() const { return xinputOpcode_ >= 0; }
    int xinputOpcode() const { return xinputOpcode_; }
    bool hasXTest() const { return hasXTest_; }

    // Sends `requests`, waits until the server has handled them and returns the code of the first X
    // error they caused (0: none).
    int checked(const std::function<void()>& requests);
    // Sends what is buffered and, if the library already holds events (read while waiting for a
    // reply), has them handled as a later loop job.
    void flush();
    // Waits until the server has handled everything sent so far, then handles the events read.
    void sync();

    [[nodiscard]] Subscription addEventHandler(EventHandler handler);

private:
    X11Connection(EventLoop& loop, Display* display);
    void dispatch();
    void lost();
    friend struct X11ErrorHooks;

    struct Handler {
        EventHandler handle;
        bool removed = false;
    };

    EventLoop& loop_;
    Display* display_;
    bool alive_ = true;
    int xinputOpcode_ = -1;
    bool hasXTest_ = false;
    int trapDepth_ = 0;
    int trappedError_ = 0;
    bool dispatchPosted_ = false;
    WatchHandle watch_;
    std::vector<std::shared_ptr<Handler>> handlers_;
};

}  // namespace parlune
