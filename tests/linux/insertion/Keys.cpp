#include "linux/insertion/Keys.h"

#include "linux/insertion/DesktopSession.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
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

unsigned int Keys::keycodeOf(const std::string& keysymName) {
    const KeySym symbol = XStringToKeysym(keysymName.c_str());
    const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(asDisplay(display_), symbol);
    if (code == 0) throw std::runtime_error("no key " + keysymName);
    return code;
}

void Keys::press(const std::string& keysymName, int times) {
    const unsigned int code = keycodeOf(keysymName);
    for (int i = 0; i < times; ++i) tap(code, false);
}

void Keys::hold(const std::string& keysymName) {
    XTestFakeKeyEvent(asDisplay(display_), keycodeOf(keysymName), True, CurrentTime);
    XSync(asDisplay(display_), False);
}

void Keys::letGo(const std::string& keysymName) {
    XTestFakeKeyEvent(asDisplay(display_), keycodeOf(keysymName), False, CurrentTime);
    XSync(asDisplay(display_), False);
}

unsigned long Keys::windowOf(int pid) {
    Display* display = asDisplay(display_);
    const Window root = DefaultRootWindow(display);
    auto cardinals = [&](Window window, const char* name, Atom type) {
        std::vector<unsigned long> values;
        Atom actual = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type, &actual, &format,
                               &count, &after, &data) == Success &&
            data != nullptr) {
            if (format == 32) values.assign(reinterpret_cast<unsigned long*>(data), reinterpret_cast<unsigned long*>(data) + count);
            XFree(data);
        }
        return values;
    };
    for (Window window : cardinals(root, "_NET_CLIENT_LIST", XA_WINDOW)) {
        const auto owner = cardinals(window, "_NET_WM_PID", XA_CARDINAL);
        if (!owner.empty() && owner[0] == static_cast<unsigned long>(pid)) return window;
    }
    return 0;
}

bool waitUntilFocused(DesktopSession& session, DesktopProgram& program, Keys& keys) {
    for (int attempt = 0; attempt < 15; ++attempt) {
        if (program.waitForLine([](const std::string& line) { return line == "ready"; }, std::chrono::seconds(1))) return true;
        if (const auto window = keys.windowOf(program.pid())) {
            session.display().bringToFront(static_cast<std::uint32_t>(window), std::chrono::seconds(1));
        }
    }
    return false;
}

}  // namespace parlune::testing
