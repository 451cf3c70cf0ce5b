#include "linux/insertion/Keys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <stdexcept>

namespace parlune::testing {

namespace {
Display* asDisplay(void* display) { return static_cast<Display*>(display); }
}  // namespace

Keys::Keys() : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr) throw std::runtime_error("no X display for typing");
}

Keys::~Keys() { XCloseDisplay(asDisplay(display_)); }

void Keys::tap(unsigned int keycode, bool shifted) {
    Display* display = asDisplay(display_);
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    if (shifted) XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    if (shifted) XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XSync(display, False);
}

void Keys::type(const std::string& text) {
    Display* display = asDisplay(display_);
    for (char c : text) {
        // Printable ASCII characters are their own keysyms.
        const KeySym symbol = static_cast<KeySym>(static_cast<unsigned char>(c));
        const KeyCode code = XKeysymToKeycode(display, symbol);
        if (code == 0) throw std::runtime_error(std::string("no key for '") + c + "'");
        tap(code, XkbKeycodeToKeysym(display, code, 0, 0) != symbol);
    }
}

void Keys::press(const std::string& keysymName, int times) {
    Display* display = asDisplay(display_);
    const KeySym symbol = XStringToKeysym(keysymName.c_str());
    const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
    if (code == 0) throw std::runtime_error("no key " + keysymName);
    for (int i = 0; i < times; ++i) tap(code, false);
}

}  // namespace parlune::testing
