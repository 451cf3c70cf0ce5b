#pragma once

// Fakes of the desktop services behind insertion: a focused field, the clipboard, the keyboard and
// the proposal panels. Each records what was asked of it.

#include "core/runtime/EventLoop.h"
#include "platform/Accessibility.h"
#include "platform/Clipboard.h"
#include "platform/NotchPanel.h"
#include "platform/SyntheticKeyboard.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlune::fakes {

struct FakeField final : AccessibleElement {
    std::optional<std::string> value;
    std::optional<std::int64_t> insertionPoint;
    int reads = 0;
};

class FakeAccessibility final : public IAccessibility {
public:
    std::shared_ptr<AccessibleElement> focusedElement() override { return focused; }
    std::optional<std::string> value(const AccessibleElement& element) override {
        auto& field = const_cast<FakeField&>(static_cast<const FakeField&>(element));
        ++field.reads;
        return field.value;
    }
    std::optional<std::int64_t> insertionPoint(const AccessibleElement& element) override {
        return static_cast<const FakeField&>(element).insertionPoint;
    }
    std::optional<std::string> applicationName(const AccessibleElement&) override { return "Editor"; }

    std::shared_ptr<FakeField> focused = std::make_shared<FakeField>();
};

// The clipboard of a desktop where the application in front fetches when told to.
class FakeClipboard final : public IClipboard {
public:
    explicit FakeClipboard(EventLoop& loop) : loop_(loop) {}

    Task<std::optional<std::string>> readText() override {
        journal.push_back("read");
        co_return text;
    }
    std::shared_ptr<ClipboardOffer> offerText(std::string offered) override {
        journal.push_back("offer:" + offered);
        text = std::move(offered);
        offer = std::make_shared<ClipboardOffer>();
        return offer;
    }
    bool putBack(const ClipboardOffer& from, std::string restored) override {
        if (&from != offer.get() || from.state() == ClipboardOffer::State::replaced) return false;
        journal.push_back("putBack:" + restored + "@" + std::to_string(elapsedMs()));
        text = std::move(restored);
        return true;
    }

    // The application in front reads the offered text.
    void fetch() { offer->settle(ClipboardOffer::State::fetched); }
    // The user copies something else.
    void userCopies(std::string copied) {
        text = std::move(copied);
        if (offer) offer->settle(ClipboardOffer::State::replaced);
    }
    long elapsedMs() const {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(loop_.now() - start_).count());
    }

    std::optional<std::string> text;
    std::shared_ptr<ClipboardOffer> offer;
    std::vector<std::string> journal;

private:
    EventLoop& loop_;
    TimePoint start_ = loop_.now();
};

class FakeKeyboard final : public ISyntheticKeyboard, public ITerminalDetector {
public:
    explicit FakeKeyboard(FakeClipboard& clipboard) : clipboard_(clipboard) {}
    bool modifiersHeld() override { return held; }
    bool sendPaste(PasteChord chord) override {
        clipboard_.journal.push_back(std::string(chord == PasteChord::controlV ? "paste:ctrl+v" : "paste:ctrl+shift+v") +
                                     "@" + std::to_string(clipboard_.elapsedMs()));
        return true;
    }
    bool frontmostIsTerminalEmulator() override { return terminal; }

    bool held = false;
    bool terminal = false;

private:
    FakeClipboard& clipboard_;
};

struct FakePanel final : INotchPanel {
    void show(std::chrono::milliseconds duration) override { shows.push_back(duration); visible = true; }
    void hide() override { visible = false; }
    DictionarySuggestion content;
    NotchPanelStyle style;
    std::vector<std::chrono::milliseconds> shows;
    bool visible = false;
};

// Hands out panels and keeps an eye on each (a panel stays observable after its owner let it go).
class FakePanels final : public ISuggestionPanelFactory {
public:
    std::unique_ptr<INotchPanel> makeSuggestionPanel(DictionarySuggestion content, NotchPanelStyle style) override {
        auto panel = std::make_unique<Observed>();
        panel->state->content = std::move(content);
        panel->state->style = style;
        made.push_back(panel->state);
        return panel;
    }
    std::vector<std::shared_ptr<FakePanel>> made;

private:
    struct Observed final : INotchPanel {
                void show(std::chrono::milliseconds duration) override { state->show(duration); }
        void hide() override { state->hide(); }
        std::shared_ptr<FakePanel> state = std::make_shared<FakePanel>();
    };
};

}  // namespace parlune::fakes
