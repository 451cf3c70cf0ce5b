#include "linux/insertion/XTestKeyboard.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <array>
#include <string_view>

namespace parlune {

XTestKeyboard::XTestKeyboard(std::shared_ptr<X11Connection> connection) : connection_(std::move(connection)) {
    if (!connection_ || !connection_->alive()) return;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    hasXTest_ = XTestQueryExtension(connection_->display(), &eventBase, &errorBase, &major, &minor);
    if (!hasXTest_) log::line("⚠️ X11: the XTEST extension is missing; no paste keystroke can be sent");
}

bool XTestKeyboard::modifiersHeld() {
    if (!connection_ || !connection_->alive()) return false;
    Display* display = connection_->display();
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    XModifierKeymap* map = XGetModifierMapping(display);
    if (map == nullptr) return false;
    bool held = false;
    for (int i = 0; i < 8 * map->max_keypermod && !held; ++i) {
        const KeyCode code = map->modifiermap[i];
        if (code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0) held = true;
    }
    XFreeModifiermap(map);
    return held;
}

bool XTestKeyboard::sendPaste(PasteChord chord) {
    if (!hasXTest_ || !connection_->alive()) return false;
    Display* display = connection_->display();
    const KeyCode control = XKeysymToKeycode(display, XK_Control_L);
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    const KeyCode v = XKeysymToKeycode(display, XK_v);
    const bool withShift = chord == PasteChord::controlShiftV;
    if (control == 0 || v == 0 || (withShift && shift == 0)) return false;
    XTestFakeKeyEvent(display, control, True, CurrentTime);
    if (withShift) XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XTestFakeKeyEvent(display, v, True, CurrentTime);
    XTestFakeKeyEvent(display, v, False, CurrentTime);
    if (withShift) XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XTestFakeKeyEvent(display, control, False, CurrentTime);
    return connection_->sync();
}

bool WindowClassTerminalDetector::isTerminalClass(const std::string& name) {
    static constexpr std::array<std::string_view, 30> terminals = {
        "xterm",          "uxterm",        "urxvt",          "rxvt",          "gnome-terminal-server",
        "gnome-terminal", "konsole",       "alacritty",      "kitty",         "foot",
        "footclient",     "st",            "st-256color",    "tilix",         "terminator",
        "xfce4-terminal", "lxterminal",    "qterminal",      "mate-terminal", "terminology",
        "sakura",         "guake",         "tilda",          "yakuake",       "wezterm",
        "wezterm-gui",    "cool-retro-term", "kgx",          "org.gnome.console", "com.mitchellh.ghostty",
    };
    const std::string lower = toLower(name);
    for (auto terminal : terminals) {
        if (lower == terminal) return true;
    }
    return false;
}

bool WindowClassTerminalDetector::frontmostIsTerminalEmulator() {
    if (!connection_ || !connection_->alive()) return false;
    Display* display = connection_->display();
    // The focus may sit on an inner window: walk up to the one that carries the class.
    Window window = connection_->activeWindow();
    for (int depth = 0; window != 0 && depth < 16; ++depth) {
        XClassHint hint{};
        if (XGetClassHint(display, window, &hint) != 0) {
            const bool terminal = (hint.res_name != nullptr && isTerminalClass(hint.res_name)) ||
                                  (hint.res_class != nullptr && isTerminalClass(hint.res_class));
            if (hint.res_name != nullptr) XFree(hint.res_name);
            if (hint.res_class != nullptr) XFree(hint.res_class);
            connection_->sync();
            return terminal;
        }
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) break;
        if (children != nullptr) XFree(children);
        if (parent == root) break;
        window = parent;
    }
    connection_->sync();
    return false;
}

}  // namespace parlune
