#pragma once

#include "linux/insertion/X11Connection.h"
#include "platform/SyntheticKeyboard.h"

#include <memory>

namespace parlune {

// Paste chords through the XTEST extension, delivered to the focused window; held modifiers read
// from the keyboard state.
class XTestKeyboard final : public ISyntheticKeyboard {
public:
    explicit XTestKeyboard(std::shared_ptr<X11Connection> connection);

    bool modifiersHeld() override;
    bool sendPaste(PasteChord chord) override;

private:
    std::shared_ptr<X11Connection> connection_;
    bool hasXTest_ = false;
};

// The terminal question answered from the window class of the active window (xterm, URxvt,
// gnome-terminal-server, konsole, Alacritty, kitty, foot, st, Tilix, ...). Stands in wherever the
// application's desktop entry is not known.
class WindowClassTerminalDetector final : public ITerminalDetector {
public:
    explicit WindowClassTerminalDetector(std::shared_ptr<X11Connection> connection) : connection_(std::move(connection)) {}

    bool frontmostIsTerminalEmulator() override;
    // True for the class or instance name of a known terminal emulator (any case).
    static bool isTerminalClass(const std::string& name);

private:
    std::shared_ptr<X11Connection> connection_;
};

}  // namespace parlune
