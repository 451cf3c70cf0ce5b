#pragma once

#include "core/runtime/EventLoop.h"
#include "core/runtime/Task.h"
#include "core/session/Workers.h"
#include "platform/Accessibility.h"
#include "platform/Clipboard.h"
#include "platform/SyntheticKeyboard.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace parlune {

// Puts text into the focused field of whatever application has the keyboard focus, through the
// clipboard and a paste keystroke, and reads text from that field.
//
// An insertion puts the text on the clipboard (remembering the plain text it held), waits until no
// modifier key is held, sends the paste chord (the terminal one when a terminal emulator is in
// front) and puts the remembered text back as soon as the application in front has fetched the
// pasted text, or after a time limit; a clipboard that someone else took meanwhile is left alone.
// Insertions run one after another, each on its own task.
class TextInjector final : public ITextInjector, public std::enable_shared_from_this<TextInjector> {
public:
    static constexpr std::chrono::milliseconds modifierWaitLimit{500};
    static constexpr std::chrono::milliseconds modifierPollInterval{10};
    static constexpr std::chrono::milliseconds putBackLimit{2000};

    struct Services {
        std::shared_ptr<IAccessibility> accessibility;
        std::shared_ptr<IClipboard> clipboard;
        std::shared_ptr<ISyntheticKeyboard> keyboard;
        std::shared_ptr<ITerminalDetector> terminalDetector;
    };

    static std::shared_ptr<TextInjector> create(EventLoop& loop, Services services);

    // The focused element, none when there is none.
    std::shared_ptr<AccessibleElement> getFocusedElement();
    // The element's whole text (also when empty); none when it cannot be read.
    std::optional<std::string> readText(const AccessibleElement& element);

    std::optional<std::string> readPrecedingText() override;
    // Starts an insertion and returns at once; an empty text touches nothing.
    void injectTextViaPasteboard(const std::string& text) override;

    // The whole insertion, ending once the previous clipboard text is back (or left alone).
    Task<void> insert(std::string text);

    // The preceding-text rule: the value before `location` (UTF-16 code units); none for an empty
    // value or a location of 0; the whole value when the location is unknown, negative or past the end.
    static std::optional<std::string> textBefore(const std::string& value, std::optional<std::int64_t> location);

private:
    TextInjector(EventLoop& loop, Services services) : loop_(loop), services_(std::move(services)) {}
    Task<void> waitForModifiersUp();
    Task<void> waitUntilSettled(const std::shared_ptr<ClipboardOffer>& offer);

    EventLoop& loop_;
    Services services_;
    // Set while an insertion runs; the next one waits for it.
    std::shared_ptr<AsyncEvent> lastInsertion_;
};

}  // namespace parlune
