#pragma once

#include "core/runtime/EventLoop.h"
#include "core/runtime/Task.h"

#include <glib.h>

#include <chrono>
#include <memory>
#include <string>

namespace parlune {

// A private connection to the D-Bus session bus, served by a GLib main context on a thread of its
// own. Calls are made from the loop and answered on the loop; nothing here ever blocks the loop.
// The connection is made on first use and made again after it was lost. The loop must outlive
// this object.
class SessionBus {
public:
    // `address` empty: the user's session bus ($DBUS_SESSION_BUS_ADDRESS).
    explicit SessionBus(EventLoop& loop, std::string address = {});
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    struct Reply {
        std::shared_ptr<GVariant> body;  // the reply's arguments, a tuple; null on failure
        std::string error;               // why there is no reply
        bool remoteError = false;        // the callee answered with a D-Bus error
        bool ok() const { return body != nullptr; }
    };

    struct Call {
        std::string destination;
        std::string objectPath;
        std::string interface;
        std::string method;
        GVariant* parameters = nullptr;  // a tuple or null; a floating reference is taken over
        std::string replyType;           // e.g. "(a{sv})"; a reply of another type is an error
        std::chrono::milliseconds timeout{1000};
    };

    // The reply, a D-Bus error, or an error when no answer came within the call's timeout.
    Task<Reply> call(Call call);

    struct Shared;  // what the bus thread shares with the loop

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace parlune
