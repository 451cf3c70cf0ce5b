#pragma once

#include "linux/hotkey/X11Connection.h"
#include "platform/FrontmostApplication.h"
#include "platform/SyntheticKeyboard.h"

#include <memory>
#include <string>

namespace parlune {

// Paste chords through the XTEST extension, delivered to the focused window; held modifiers read
// from the keyboard state.
class XTestSyntheticKeyboard final : public ISyntheticKeyboard {
public:
    explicit XTestSyntheticKeyboard(std::shared_ptr<X11Connection> connection);

    bool modifiersHeld() override;
    bool sendPaste(PasteChord chord) override;

private:
    std::shared_ptr<X11Connection> connection_;
};

// The terminal question answered from the window class of the active window (xterm, URxvt,
// gnome-terminal-server, konsole, Alacritty, kitty, foot, st, Tilix, ...).
class WindowClassTerminalDetector final : public ITerminalDetector {
public:
    explicit WindowClassTerminalDetector(std::shared_ptr<X11Connection> connection) : connection_(std::move(connection)) {}

    bool frontmostIsTerminalEmulator() override;
    // True for the class or instance name of a known terminal emulator (any case).
    static bool isTerminalClass(const std::string& name);

private:
    std::shared_ptr<X11Connection> connection_;
};

// A terminal in front: its desktop entry says so (category TerminalEmulator), or, for windows
// without a known entry, its window class does.
class FrontmostTerminalDetector final : public ITerminalDetector {
public:
    FrontmostTerminalDetector(std::shared_ptr<FrontmostApplicationSource> applications,
                              std::shared_ptr<ITerminalDetector> byWindowClass)
        : applications_(std::move(applications)), byWindowClass_(std::move(byWindowClass)) {}

    bool frontmostIsTerminalEmulator() override;

private:
    std::shared_ptr<FrontmostApplicationSource> applications_;
    std::shared_ptr<ITerminalDetector> byWindowClass_;
};

}  // namespace parlune
