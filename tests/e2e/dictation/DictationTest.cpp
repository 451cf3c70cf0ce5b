// A whole dictation on a private desktop: the real parlune application, the hotkey held through
// XTest, speech played into the default microphone, a stand-in gateway cleaning the transcript, the
// text pasted into a real Qt field, and a hand correction learned into the dictionary.

#include "e2e/dictation/DictationDesktop.h"
#include "linux/speech/SpeechTesting.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <iostream>
#include <sstream>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

std::int64_t totalWords(DictationDesktop& desktop) {
    const auto printed = desktop.parlune({"settings"});
    const auto settings = nlohmann::json::parse(printed.standardOutput, nullptr, false);
    return settings.is_object() ? settings.value("totalWords", std::int64_t{-1}) : -1;
}

std::int64_t wordsOf(const std::string& text) {
    std::istringstream words(text);
    return std::distance(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
}

// The first of `expected` (line prefixes) that does not come, in this order, in `lines`; none when all do.
std::optional<std::string> missingInOrder(const std::vector<SeenLine>& lines, const std::vector<std::string>& expected) {
    auto line = lines.begin();
    for (const auto& prefix : expected) {
        line = std::find_if(line, lines.end(), [&](const SeenLine& seen) { return seen.text.starts_with(prefix); });
        if (line == lines.end()) return prefix;
        ++line;
    }
    return std::nullopt;
}

// The transcript of the last raw-transcription line.
std::string rawTranscript(const std::vector<SeenLine>& lines) {
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->text.starts_with("📝 Raw transcription (")) return line->text.substr(line->text.find("): ") + 3);
    }
    return {};
}

class Dictation : public ::testing::Test {
protected:
    void TearDown() override {
        if (desktop_ && HasFailure()) std::cout << "---- parlune's output\n" << readWholeFile(desktop_->logFile()) << "----\n";
    }

    DictationDesktop& start(DictationDesktop::Options options) {
        desktop_ = std::make_unique<DictationDesktop>(std::move(options));
        return *desktop_;
    }

    std::unique_ptr<DictationDesktop> desktop_;
};

}  // namespace

TEST_F(Dictation, SpeechGoesCleanedIntoTheFocusedFieldAndAHandCorrectionIsLearned) {
    const std::string before = "Meeting notes: ";
    const std::string cleaned = "I'll send the Parloon report to the whole team on Friday morning.";
    auto& desktop = start({.gatewayListens = true, .cleanedText = cleaned, .playerPlaying = true});
    ASSERT_EQ(desktop.problem(), "");
    ASSERT_TRUE(desktop.startApplication()) << "the application's recogniser never became ready";
    const std::int64_t wordsBefore = totalWords(desktop);
    ASSERT_TRUE(desktop.startField(before)) << "the application never saw the field focused";
    desktop.offerClipboardText("copied before dictating ✂");
    // The desktop check on this desktop, for the test log: everything dictation needs is here (a
    // tray host, which it does not need, is not).
    const auto doctor = desktop.parlune({"doctor"});
    std::cout << "---- parlune doctor (exit status " << doctor.exitCode << ")\n" << doctor.standardOutput << doctor.standardError << "----\n";
    EXPECT_EQ(doctor.exitCode, 0);

    const Utterance sample = fliteSamples()[0];
    ASSERT_TRUE(desktop.dictate(sample.file)) << "the microphone never opened, or the speech could not be played";
    EXPECT_EQ(desktop.player()->status(), "Paused") << "paused while recording";

    ASSERT_TRUE(desktop.waitForFieldText(before + cleaned, 30s)) << desktop.fieldText().value_or("(unchanged)");
    ASSERT_TRUE(desktop.log().waitForPrefix("📖 DiffTracker: started", 10s));
    const auto lines = desktop.log().lines();
    const std::string transcript = rawTranscript(lines);
    std::cout << "  transcript: " << transcript << "\n";

    EXPECT_EQ(missingInOrder(lines, {"🎙️ Hotkey down — starting dictation", "⏸️ Paused", "🎙️ Hotkey up — stopping dictation",
                                     "📋 Preceding field text: " + before, "📝 Raw transcription (", "🎤 Processing with: Fast",
                                     "✅ Processed result: " + cleaned,
                                     "💉 Injecting processed text (" + std::to_string(cleaned.size()) + " chars)",
                                     "📖 DiffTracker: started (injected " + std::to_string(wordsOf(cleaned)) + " words)"}),
              std::nullopt);
    EXPECT_EQ(missingInOrder(lines, {"💉 Injecting processed text", "▶️ Resumed"}), std::nullopt);
    EXPECT_LE(wordErrorRate({sample.reference}, {transcript}), 0.35) << transcript;

    EXPECT_TRUE(desktop.panels().waitFor([](const std::string& line) { return line == "hidden Parlune Indicator"; }, 10s));
    EXPECT_EQ(missingInOrder(desktop.panels().lines(), {"shown Parlune Indicator", "hidden Parlune Indicator"}), std::nullopt);

    EXPECT_TRUE(holdsWithin([&] { return desktop.player()->status() == "Playing"; }, 10s)) << "resumed after the insertion";
    EXPECT_EQ(desktop.player()->controlCalls().size(), 2U);

    const auto requests = desktop.gatewayRequests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].target, "/v1/chat/completions");
    const auto body = nlohmann::json::parse(requests[0].body, nullptr, false);
    ASSERT_TRUE(body.is_object()) << requests[0].body;
    EXPECT_EQ(body.value("model", ""), "meta/llama-4-scout");
    const std::string instructions = body["messages"][0].value("content", "");
    EXPECT_NE(instructions.find(before), std::string::npos) << "the field's text as preceding context";
    EXPECT_EQ(body["messages"][1].value("content", ""), "Transcription to clean: " + transcript);

    EXPECT_TRUE(holdsWithin([&] { return desktop.clipboardText() == "copied before dictating ✂"; }, 5s))
        << desktop.clipboardText().value_or("(empty)");
    EXPECT_EQ(totalWords(desktop), wordsBefore + wordsOf(cleaned));

    // The user replaces an inserted word by hand (between two unchanged ones, where the tracker
    // looks).
    const std::string after = " report to the whole team on Friday morning.";
    desktop.keys().press("Left", static_cast<int>(after.size()));
    desktop.keys().press("BackSpace", static_cast<int>(std::string("Parloon").size()));
    desktop.keys().type("Parlune");
    const std::string corrected = before + "I'll send the Parlune" + after;
    ASSERT_TRUE(desktop.waitForFieldText(corrected, 10s)) << desktop.fieldText().value_or("(unchanged)");
    EXPECT_TRUE(desktop.log().waitForPrefix("📖 DiffTracker: detected correction 'Parloon' -> 'Parlune'", 15s));
    EXPECT_TRUE(desktop.panels().waitFor([](const std::string& line) { return line == "shown Parlune Suggestion"; }, 10s));
    ASSERT_TRUE(desktop.log().waitForPrefix("📖 AutoDictionary: auto-added 'Parlune' to dictionary", 15s));
    const auto dictionary = desktop.parlune({"dictionary", "list"});
    EXPECT_EQ(dictionary.standardOutput.substr(0, dictionary.standardOutput.find('\n')), "Parlune") << dictionary.standardOutput;
    EXPECT_TRUE(desktop.panels().waitFor([](const std::string& line) { return line == "hidden Parlune Suggestion"; }, 10s));
    EXPECT_EQ(missingInOrder(desktop.log().lines(),
                             {"📖 DiffTracker: detected correction", "📖 Auto-dictionary: 'Parloon' -> 'Parlune'",
                              "📖 AutoDictionary: suggesting 'Parlune' (auto-adds in 4s)", "📖 AutoDictionary: auto-added 'Parlune'"}),
              std::nullopt);
}

TEST_F(Dictation, WithNothingListeningForTheGatewayTheRawTranscriptIsInserted) {
    const std::string before = "Status: ";
    auto& desktop = start({.gatewayListens = false, .cleanedText = "", .playerPlaying = true});
    ASSERT_EQ(desktop.problem(), "");
    ASSERT_TRUE(desktop.startApplication()) << "the application's recogniser never became ready";
    const std::int64_t wordsBefore = totalWords(desktop);
    ASSERT_TRUE(desktop.startField(before)) << "the application never saw the field focused";

    const Utterance sample = fliteSamples()[2];
    ASSERT_TRUE(desktop.dictate(sample.file)) << "the microphone never opened, or the speech could not be played";
    ASSERT_TRUE(desktop.log().waitForPrefix("✅ Processed result: ", 30s));
    const std::string transcript = rawTranscript(desktop.log().lines());
    std::cout << "  transcript: " << transcript << "\n";
    ASSERT_FALSE(transcript.empty());
    EXPECT_TRUE(desktop.log().waitForPrefix("✅ Processed result: " + transcript, 1s)) << "the raw transcript as the result";
    EXPECT_TRUE(desktop.waitForFieldText(before + transcript, 10s)) << desktop.fieldText().value_or("(unchanged)");
    EXPECT_TRUE(holdsWithin([&] { return desktop.player()->status() == "Playing"; }, 10s));
    EXPECT_EQ(totalWords(desktop), wordsBefore + wordsOf(transcript));
}
