#pragma once

#include "linux/hotkey/X11Connection.h"

#include <memory>
#include <optional>

namespace parlune::x11 {

using XId = unsigned long;

// Opens $DISPLAY for reading and pasting into fields; none, with a line saying so, without one.
std::shared_ptr<X11Connection> openForInsertion(EventLoop& loop);

XId atom(X11Connection& connection, const char* name);

// The window the user works in: _NET_ACTIVE_WINDOW, else the input focus; 0 when there is none.
XId activeWindow(X11Connection& connection);
// The process that shows `window` (_NET_WM_PID, else the server's idea of its client); none when unknown.
std::optional<long> processOf(X11Connection& connection, XId window);
// The X client that created `window`, as an id comparable between windows; none when the server
// cannot tell (no X-Resource extension) or the window is gone.
std::optional<XId> clientOf(X11Connection& connection, XId window);

// A small unmapped window of ours that hears its own property changes.
XId createHiddenWindow(X11Connection& connection);
// A timestamp from the server (for selection ownership), read through a property change on
// `hiddenWindow`; CurrentTime when none came within a second.
unsigned long serverTime(X11Connection& connection, XId hiddenWindow);

}  // namespace parlune::x11
