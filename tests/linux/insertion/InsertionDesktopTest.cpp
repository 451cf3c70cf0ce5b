// Reading, pasting and correction tracking against real applications: a Qt field, a GTK entry and
// xterm, on a private X server with the accessibility bus.

#include "core/session/HeadlessWorkers.h"
#include "core/settings/MemorySettingsStore.h"
#include "fakes/Process.h"
#include "fakes/SessionHarness.h"
#include "linux/insertion/DesktopSession.h"
#include "linux/insertion/InsertionDesktop.h"
#include "linux/insertion/Keys.h"
#include "linux/insertion/XTestSyntheticKeyboard.h"
#include "linux/runtime/StdLoop.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

class InsertionDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        session = DesktopSession::shared();
        ASSERT_NE(session, nullptr) << "the private desktop did not start";
        desktop = InsertionDesktop::open(loop);
        ASSERT_NE(desktop.x11, nullptr);
        keys.emplace();
    }

    // Runs the loop until `done()` (checked every few milliseconds) or the limit.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto deadline = loop.now() + limit;
        while (!done()) {
            if (loop.now() > deadline) return false;
            loop.runUntil(done, 10ms);
        }
        return true;
    }

    // Starts a test program and waits until the accessibility bus shows its field focused.
    std::unique_ptr<DesktopProgram> startField(const std::string& program, const std::string& text, int caret) {
        std::map<std::string, std::string> environment;
        if (program == PARLUNE_QT_FIELD) environment = {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_QPA_PLATFORM", "xcb"}};
        auto started = session->start({program, text, std::to_string(caret)}, environment);
        EXPECT_TRUE(waitUntilFocused(*session, *started, *keys)) << program << " never had the focus";
        const std::string name = program.substr(program.rfind('/') + 1);
        EXPECT_TRUE(runUntil(
            [&] {
                auto focused = desktop.accessibility->focusedElement();
                return focused && desktop.accessibility->applicationName(*focused) == name;
            },
            10s))
            << name << " never showed a focused field";
        return started;
    }

    // Waits until the program reports `expected` as its text.
    bool showsText(DesktopProgram& program, const std::string& expected) {
        return runUntil(
            [&] {
                program.poll();
                return lastReportedText(program) == expected;
            },
            10s);
    }

    // Runs one insertion to its end, as a dictation does.
    void insert(const std::string& text) {
        bool finished = false;
        spawn(loop, [](std::shared_ptr<TextInjector> injector, std::string inserted, bool& done) -> Task<void> {
            co_await injector->insert(std::move(inserted));
            done = true;
        }(desktop.textInjector, text, finished));
        ASSERT_TRUE(runUntil([&] { return finished; }, 10s));
    }

    // The clipboard as another application sees it.
    std::optional<std::string> clipboardSeenByOthers() {
        std::optional<std::optional<std::string>> text;
        spawn(loop, [](std::shared_ptr<X11Clipboard> clipboard, std::optional<std::optional<std::string>>& out) -> Task<void> {
            out = co_await clipboard->readText();
        }(otherClipboard(), text));
        runUntil([&] { return text.has_value(); }, 5s);
        return text ? *text : std::nullopt;
    }

    std::shared_ptr<X11Clipboard> otherClipboard() {
        if (!other_) other_ = X11Clipboard::open(loop, true);
        return other_;
    }

    DesktopSession* session = nullptr;
    StdLoop loop;
    InsertionDesktop desktop;
    std::optional<Keys> keys;  // once the desktop runs

private:
    std::shared_ptr<X11Clipboard> other_;
};

}  // namespace

TEST_F(InsertionDesktopTest, ReadsThePrecedingTextUpToTheCaretAfterAnEmojiInQtAndGtk) {
    auto qt = startField(PARLUNE_QT_FIELD, "Hi 👋 there", 5);  // Qt counts UTF-16 units
    EXPECT_EQ(desktop.textInjector->readPrecedingText(), "Hi 👋");
    auto gtk = startField(PARLUNE_GTK_ENTRY, "Hi 👋 there", 4);  // GTK counts characters
    EXPECT_EQ(desktop.textInjector->readPrecedingText(), "Hi 👋");

    auto printed = runProcess({PARLUNE_BINARY, "field"});
    ASSERT_EQ(printed.exitCode, 0) << printed.standardError;
    EXPECT_EQ(nlohmann::json::parse(printed.standardOutput),
              nlohmann::json({{"application", "insertion_gtk_entry"}, {"text", "Hi 👋 there"}, {"precedingText", "Hi 👋"}}));
    std::cout << "  parlune field: " << nlohmann::json::parse(printed.standardOutput).dump() << '\n';
}

TEST_F(InsertionDesktopTest, PastesIntoQtAndGtkAndPutsThePreviousClipboardTextBack) {
    for (const std::string program : {PARLUNE_QT_FIELD, PARLUNE_GTK_ENTRY}) {
        const std::string name = program.substr(program.rfind('/') + 1);
        auto field = startField(program, "Dear team, ", 11);
        otherClipboard()->offerText("previous copy ✂ " + name);
        EXPECT_FALSE(desktop.textInjector->readPrecedingText() != "Dear team, ");
        const auto started = loop.now();
        insert("see you at Cooper's place ✓");
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(loop.now() - started);
        EXPECT_TRUE(showsText(*field, "Dear team, see you at Cooper's place ✓")) << program;
        const auto clipboard = clipboardSeenByOthers();
        EXPECT_EQ(clipboard, "previous copy ✂ " + name);
        std::cout << "  " << name << " shows \"" << lastReportedText(*field).value_or("")
                  << "\"; clipboard back to \"" << clipboard.value_or("(none)") << "\" " << took.count() << " ms after the start\n";
    }
}

TEST_F(InsertionDesktopTest, CommandLinePasteLandsInTheFocusedField) {
    auto gtk = startField(PARLUNE_GTK_ENTRY, "", 0);
    auto pasted = runProcess({PARLUNE_BINARY, "paste", "--delay", "0.1", "pasted from the command line"});
    EXPECT_EQ(pasted.exitCode, 0) << pasted.standardError;
    EXPECT_TRUE(showsText(*gtk, "pasted from the command line"));
}

TEST_F(InsertionDesktopTest, PastesIntoATerminalWithTheTerminalChord) {
    const std::string output = session->home() + "/terminal.txt";
    // xterm pastes the clipboard only on the chord terminals use.
    auto terminal = session->start({"/usr/bin/xterm", "-xrm",
                                    "XTerm*VT100.translations: #override Ctrl Shift <Key>V: insert-selection(CLIPBOARD)",
                                    "-e", "/usr/bin/tee", output});
    WindowClassTerminalDetector terminals(desktop.x11);
    ASSERT_TRUE(runUntil([&] { return terminals.frontmostIsTerminalEmulator(); }, 10s));
    insert("typed into a terminal\n");
    EXPECT_TRUE(runUntil([&] { return readFile(output) == "typed into a terminal\n"; }, 10s)) << readFile(output);
}

TEST_F(InsertionDesktopTest, AHandEditAfterADictationIsDetectedAndProposed) {
    auto journal = std::make_shared<fakes::Journal>();
    auto dictation = std::make_shared<fakes::FakeDictationManager>(journal);
    auto monitor = std::make_shared<fakes::FakeKeyboardMonitor>(journal);
    dictation->saysOnStart = "Meet me at Cooper's place";
    PlatformBundle bundle;
    bundle.loop = &loop;
    bundle.store = std::make_shared<MemorySettingsStore>();
    bundle.dictationManager = dictation;
    bundle.keyboardMonitor = monitor;
    bundle.statusIndicator = std::make_shared<HeadlessStatusIndicator>();
    bundle.mediaController = std::make_shared<HeadlessMediaController>();
    bundle.textProcessor = std::make_shared<PassThroughTextProcessor>();
    bundle.workspace = std::make_shared<HeadlessWorkspace>();
    desktop.install(bundle);
    fakes::CapturedLog log;
    auto app = AppState::create(bundle);
    auto logged = [&](const std::string& line) {
        return runUntil([&] { return std::ranges::count(log.lines(), line) > 0; }, 15s);
    };

    auto qt = startField(PARLUNE_QT_FIELD, "Note: ", 6);
    monitor->press();
    runUntil([&] { return dictation->running(); }, 5s);
    monitor->release();
    ASSERT_TRUE(showsText(*qt, "Note: Meet me at Cooper's place"));
    ASSERT_TRUE(logged("📖 DiffTracker: started (injected 5 words)"));

    keys->press("End");
    keys->press("Left", 6);
    keys->press("BackSpace", 8);
    keys->type("Kuper's");
    ASSERT_TRUE(showsText(*qt, "Note: Meet me at Kuper's place"));
    ASSERT_TRUE(logged("📖 AutoDictionary: auto-added 'Kuper's' to dictionary"));
    EXPECT_EQ(app->dictionaryWords().get(), std::vector<std::string>{"Kuper's"});

    EXPECT_EQ(std::ranges::count(log.lines(), "📋 Preceding field text: Note: "), 1);
    const std::vector<std::string> expected = {
        "📖 DiffTracker: detected correction 'Cooper's' -> 'Kuper's'",
        "📖 Auto-dictionary: 'Cooper's' -> 'Kuper's'",
        "📖 AutoDictionary: suggesting 'Kuper's' (auto-adds in 4s)",
        "📖 Auto-dictionary: added 'Kuper's' to dictionary",
        "📖 AutoDictionary: auto-added 'Kuper's' to dictionary",
    };
    auto lines = log.lines();
    auto first = std::ranges::find(lines, expected[0]);
    std::vector<std::string> learned;
    std::copy_if(first, lines.end(), std::back_inserter(learned), [](const std::string& line) { return !line.starts_with("📖 Suggestion panel"); });
    EXPECT_EQ(learned, expected);
    for (const auto& line : lines) std::cout << "  log: " << line << '\n';
}

TEST(InsertionCommands, WithoutADesktopNothingIsPastedAndTheFieldIsUnknown) {
    const std::map<std::string, std::string> noDesktop = {{"DISPLAY", ""}, {"DBUS_SESSION_BUS_ADDRESS", ""}};
    auto pasted = runProcess({PARLUNE_BINARY, "paste", "text"}, noDesktop);
    EXPECT_EQ(pasted.exitCode, 1);
    EXPECT_EQ(pasted.standardError,
              "⚠️ X11: no display (DISPLAY is not set); reading and pasting into fields is off\n"
              "⚠️ Accessibility: the AT-SPI bus cannot be reached; focused fields cannot be read\n");
    auto field = runProcess({PARLUNE_BINARY, "field"}, noDesktop);
    EXPECT_EQ(field.exitCode, 1);
    EXPECT_EQ(nlohmann::json::parse(field.standardOutput),
              nlohmann::json({{"application", nullptr}, {"text", nullptr}, {"precedingText", nullptr}}));
    EXPECT_EQ(runProcess({PARLUNE_BINARY, "paste", "--delay", "soon", "text"}, noDesktop).exitCode, 2);
}

TEST(TerminalClasses, ADesktopEntryOrElseTheWindowClassTellsATerminal) {
    struct Applications final : FrontmostApplicationSource {
        std::optional<FrontmostApplication> frontmostApplication() override { return application; }
        std::optional<FrontmostApplication> application;
    };
    struct ByClass final : ITerminalDetector {
        bool frontmostIsTerminalEmulator() override { return terminal; }
        bool terminal = false;
    };
    struct Case {
        std::optional<bool> entrySaysTerminal;  // none: no application found
        bool classSaysTerminal;
        bool terminal;
    };
    for (const auto& c : std::vector<Case>{{std::nullopt, false, false}, {std::nullopt, true, true}, {true, false, true},
                                           {false, false, false}, {false, true, true}}) {
        auto applications = std::make_shared<Applications>();
        if (c.entrySaysTerminal) {
            applications->application.emplace();
            applications->application->isTerminalEmulator = *c.entrySaysTerminal;
        }
        auto byClass = std::make_shared<ByClass>();
        byClass->terminal = c.classSaysTerminal;
        EXPECT_EQ(FrontmostTerminalDetector(applications, byClass).frontmostIsTerminalEmulator(), c.terminal);
    }
    EXPECT_FALSE(FrontmostTerminalDetector(nullptr, std::make_shared<ByClass>()).frontmostIsTerminalEmulator());
}

TEST(TerminalClasses, KnownTerminalEmulatorsByClassOrInstanceName) {
    for (const char* name : {"XTerm", "xterm", "URxvt", "gnome-terminal-server", "konsole", "Alacritty", "kitty", "foot",
                             "st-256color", "Tilix", "terminator", "xfce4-terminal"}) {
        EXPECT_TRUE(WindowClassTerminalDetector::isTerminalClass(name)) << name;
    }
    for (const char* name : {"insertion_qt_field", "firefox", "code", "Gedit", ""}) {
        EXPECT_FALSE(WindowClassTerminalDetector::isTerminalClass(name)) << name;
    }
}
