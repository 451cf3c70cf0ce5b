// Reading the focused field and pasting into it, against a fake desktop on virtual time.

#include "core/insertion/TextInjector.h"
#include "core/runtime/VirtualLoop.h"
#include "unit/insertion/InsertionFakes.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::fakes;
using namespace std::chrono_literals;

namespace {

struct Desktop {
    Desktop() {
        injector = TextInjector::create(loop, {accessibility, clipboard, keyboard, keyboard});
    }
    ~Desktop() {
        for (int i = 0; i < 100 && loop.runNextTimer(); ++i) {
        }
        loop.runUntilIdle();
    }
    std::vector<std::string>& journal() { return clipboard->journal; }

    VirtualLoop loop;
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>(loop);
    std::shared_ptr<FakeKeyboard> keyboard = std::make_shared<FakeKeyboard>(*clipboard);
    std::shared_ptr<TextInjector> injector;
};

}  // namespace

TEST(TextInjector, PrecedingTextEndsAtTheInsertionPointCountedInUtf16Units) {
    struct Case {
        const char* what;
        std::optional<std::string> value;
        std::optional<std::int64_t> insertionPoint;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"caret after the fifth character", "Hello world", 5, "Hello"},
        {"caret at the very start", "Hello world", 0, std::nullopt},
        {"empty field", "", 0, std::nullopt},
        {"selection unreadable", "Hello world", std::nullopt, "Hello world"},
        {"selection from 3 to 8", "Hello world", 3, "Hel"},
        {"emoji before the caret", "Hi 👋 there", 5, "Hi 👋"},
        {"emoji right after the caret", "Hi 👋 there", 3, "Hi "},
        {"no position reported", "Hello", -1, "Hello"},
        {"position past the end", "Hello", 9, "Hello"},
        {"position at the end", "Hello", 5, "Hello"},
        {"value unreadable", std::nullopt, 2, std::nullopt},
    };
    for (const auto& c : cases) {
        Desktop desktop;
        desktop.accessibility->focused->value = c.value;
        desktop.accessibility->focused->insertionPoint = c.insertionPoint;
        EXPECT_EQ(desktop.injector->readPrecedingText(), c.expected) << c.what;
    }
    Desktop nothingFocused;
    nothingFocused.accessibility->focused.reset();
    EXPECT_EQ(nothingFocused.injector->readPrecedingText(), std::nullopt);
    EXPECT_EQ(nothingFocused.injector->getFocusedElement(), nullptr);
}

TEST(TextInjector, ReadTextGivesTheEmptyStringOfAnEmptyField) {
    Desktop desktop;
    desktop.accessibility->focused->value = "";
    EXPECT_EQ(desktop.injector->readText(*desktop.injector->getFocusedElement()), std::optional<std::string>(""));
    desktop.accessibility->focused->value.reset();
    EXPECT_EQ(desktop.injector->readText(*desktop.injector->getFocusedElement()), std::nullopt);
}

TEST(TextInjector, PutsThePreviousTextBackOnceTheApplicationHasFetchedThePaste) {
    Desktop desktop;
    desktop.clipboard->text = "user copy";
    desktop.injector->injectTextViaPasteboard("Hello there.");
    desktop.loop.runUntilIdle();
    EXPECT_EQ(desktop.clipboard->text, "Hello there.");
    desktop.loop.advance(40ms);
    desktop.clipboard->fetch();
    desktop.loop.runUntilIdle();
    EXPECT_EQ(desktop.journal(), (std::vector<std::string>{"read", "offer:Hello there.", "paste:ctrl+v@0", "putBack:user copy@40"}));
    EXPECT_EQ(desktop.clipboard->text, "user copy");
}

TEST(TextInjector, PutsThePreviousTextBackAfterTwoSecondsWhenNothingFetchesIt) {
    Desktop desktop;
    desktop.clipboard->text = "user copy";
    desktop.injector->injectTextViaPasteboard("Hello there.");
    desktop.loop.advance(1999ms);
    EXPECT_EQ(desktop.clipboard->text, "Hello there.");
    desktop.loop.advance(1ms);
    EXPECT_EQ(desktop.journal().back(), "putBack:user copy@2000");
}

TEST(TextInjector, LeavesANewerUserCopyAlone) {
    Desktop desktop;
    desktop.clipboard->text = "old copy";
    desktop.injector->injectTextViaPasteboard("Hello there.");
    desktop.loop.advance(20ms);
    desktop.clipboard->userCopies("new copy");
    desktop.loop.advance(3s);
    EXPECT_EQ(desktop.clipboard->text, "new copy");
    EXPECT_EQ(desktop.journal().size(), 3u);  // read, offer, paste: no put-back
}

TEST(TextInjector, KeepsThePastedTextWhenTheClipboardHeldNoText) {
    Desktop desktop;
    desktop.injector->injectTextViaPasteboard("Hello there.");
    desktop.loop.advance(3s);
    EXPECT_EQ(desktop.clipboard->text, "Hello there.");
    EXPECT_EQ(desktop.journal(), (std::vector<std::string>{"read", "offer:Hello there.", "paste:ctrl+v@0"}));
}

TEST(TextInjector, AnEmptyTextTouchesNothing) {
    Desktop desktop;
    desktop.clipboard->text = "user copy";
    desktop.injector->injectTextViaPasteboard("");
    desktop.loop.advance(3s);
    EXPECT_TRUE(desktop.journal().empty());
}

TEST(TextInjector, WaitsUpToHalfASecondForHeldModifiersAndPastesTerminalsWithShift) {
    struct Case {
        std::optional<std::chrono::milliseconds> releasedAfter;
        bool terminal;
        std::string paste;
    };
    const std::vector<Case> cases = {
        {std::nullopt, false, "paste:ctrl+v@0"},
        {120ms, false, "paste:ctrl+v@120"},
        {std::chrono::milliseconds(10s), false, "paste:ctrl+v@500"},
        {std::nullopt, true, "paste:ctrl+shift+v@0"},
    };
    for (const auto& c : cases) {
        Desktop desktop;
        desktop.keyboard->terminal = c.terminal;
        if (c.releasedAfter) {
            desktop.keyboard->held = true;
            desktop.loop.postAfter(*c.releasedAfter, [keyboard = desktop.keyboard] { keyboard->held = false; });
        }
        desktop.injector->injectTextViaPasteboard("text");
        desktop.loop.advance(600ms);
        ASSERT_EQ(desktop.journal().size(), 3u);
        EXPECT_EQ(desktop.journal()[2], c.paste);
    }
}

TEST(TextInjector, InsertionsInARowRunOneAfterAnotherAndSaveTheUsersText) {
    Desktop desktop;
    desktop.clipboard->text = "user copy";
    desktop.injector->injectTextViaPasteboard("first");
    desktop.injector->injectTextViaPasteboard("second");
    desktop.loop.advance(10ms);
    desktop.clipboard->fetch();
    desktop.loop.advance(10ms);
    desktop.clipboard->fetch();
    desktop.loop.runUntilIdle();
    EXPECT_EQ(desktop.journal(), (std::vector<std::string>{"read", "offer:first", "paste:ctrl+v@0", "putBack:user copy@10", "read",
                                                           "offer:second", "paste:ctrl+v@10", "putBack:user copy@20"}));
}
