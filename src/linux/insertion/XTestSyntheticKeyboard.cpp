#include "linux/insertion/XTestSyntheticKeyboard.h"

#include "core/log/Log.h"
#include "core/text/Text.h"
#include "linux/insertion/X11Windows.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <array>
#include <string_view>

namespace parlune {

XTestSyntheticKeyboard::XTestSyntheticKeyboard(std::shared_ptr<X11Connection> connection) : connection_(std::move(connection)) {
    if (connection_ && connection_->isAlive() && !connection_->hasXTest()) {
        log::line("⚠️ X11: the XTEST extension is missing; no paste keystroke can be sent");
    }
}

bool XTestSyntheticKeyboard::modifiersHeld() {
    if (!connection_ || !connection_->isAlive()) return false;
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
    connection_->flush();
    return held;
}

bool XTestSyntheticKeyboard::sendPaste(PasteChord chord) {
    if (!connection_ || !connection_->isAlive() || !connection_->hasXTest()) return false;
    Display* display = connection_->display();
    const KeyCode control = XKeysymToKeycode(display, XK_Control_L);
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    const KeyCode v = XKeysymToKeycode(display, XK_v);
    const bool withShift = chord == PasteChord::controlShiftV;
    if (control == 0 || v == 0 || (withShift && shift == 0)) return false;
    return connection_->checked([&] {
        XTestFakeKeyEvent(display, control, True, CurrentTime);
        if (withShift) XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, v, True, CurrentTime);
        XTestFakeKeyEvent(display, v, False, CurrentTime);
        if (withShift) XTestFakeKeyEvent(display, shift, False, CurrentTime);
        XTestFakeKeyEvent(display, control, False, CurrentTime);
    }) == 0;
}

bool WindowClassTerminalDetector::isTerminalClass(const std::string& name) {
    static constexpr std::array<std::string_view, 30> terminals = {
        "xterm",          "uxterm",          "urxvt",         "rxvt",          "gnome-terminal-server",
        "gnome-terminal", "konsole",         "alacritty",     "kitty",         "foot",
        "footclient",     "st",              "st-256color",   "tilix",         "terminator",
        "xfce4-terminal", "lxterminal",      "qterminal",     "mate-terminal", "terminology",
        "sakura",         "guake",           "tilda",         "yakuake",       "wezterm",
        "wezterm-gui",    "cool-retro-term", "kgx",           "org.gnome.console", "com.mitchellh.ghostty",
    };
    const std::string lower = toLower(name);
    for (auto terminal : terminals) {
        if (lower == terminal) return true;
    }
    return false;
}

bool WindowClassTerminalDetector::frontmostIsTerminalEmulator() {
    if (!connection_ || !connection_->isAlive()) return false;
    Display* display = connection_->display();
    bool terminal = false;
    Window window = x11::activeWindow(*connection_);
    connection_->checked([&] {
        // The focus may sit on an inner window: walk up to the one that carries the class.
        for (int depth = 0; window != 0 && depth < 16; ++depth) {
            XClassHint hint{};
            if (XGetClassHint(display, window, &hint) != 0) {
                terminal = (hint.res_name != nullptr && isTerminalClass(hint.res_name)) ||
                           (hint.res_class != nullptr && isTerminalClass(hint.res_class));
                if (hint.res_name != nullptr) XFree(hint.res_name);
                if (hint.res_class != nullptr) XFree(hint.res_class);
                return;
            }
            Window root = 0;
            Window parent = 0;
            Window* children = nullptr;
            unsigned int count = 0;
            if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return;
            if (children != nullptr) XFree(children);
            if (parent == root) return;
            window = parent;
        }
    });
    return terminal;
}

bool FrontmostTerminalDetector::frontmostIsTerminalEmulator() {
    if (applications_) {
        if (auto application = applications_->frontmostApplication(); application && application->isTerminalEmulator) return true;
    }
    return byWindowClass_ && byWindowClass_->frontmostIsTerminalEmulator();
}

}  // namespace parlune
