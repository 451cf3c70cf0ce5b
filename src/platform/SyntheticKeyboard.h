#pragma once

namespace parlune {

// The key chord that makes the application in front paste the clipboard.
enum class PasteChord {
    controlV,       // text fields
    controlShiftV,  // terminal emulators
};

// Synthetic key events, delivered to the focused window as if typed.
class ISyntheticKeyboard {
public:
    virtual ~ISyntheticKeyboard() = default;
    // True while any modifier key (Shift, Control, Alt, Super, ...) is held down.
    virtual bool modifiersHeld() = 0;
    // Presses and releases the chord; false when the events could not be sent.
    virtual bool sendPaste(PasteChord chord) = 0;
};

// Tells whether the application in front is a terminal emulator, which pastes with another chord.
class ITerminalDetector {
public:
    virtual ~ITerminalDetector() = default;
    virtual bool frontmostIsTerminalEmulator() = 0;
};

}  // namespace parlune
