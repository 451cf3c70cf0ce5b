#include "SpeechTesting.h"

#include "core/text/Text.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <sstream>

namespace parlune::testing {

std::vector<Utterance> fliteSamples() {
    const std::string folder = PARLUNE_SAMPLES_DIR;
    return {{folder + "/sample-1.wav", "I will send the report to the whole team on Friday morning."},
            {folder + "/sample-2.wav", "My brother moved to London last year with his family."},
            {folder + "/sample-3.wav", "We need to finish the budget before the end of the month."}};
}

std::vector<Utterance> readSpeech() {
    const std::string folder = PARLUNE_READ_SPEECH_DIR;
    return {{folder + "/sense_and_sensibility_01_austen_64kb-0880.wav", "he was not an ill disposed young man"},
            {folder + "/sense_and_sensibility_01_austen_64kb-0930.wav", "he might even have been made amiable himself"}};
}

SpeechSamples loadSpeech(const std::string& file) {
    std::string error;
    auto samples = readSpeechAudio(file, error);
    EXPECT_TRUE(samples) << error;
    return samples.value_or(SpeechSamples{});
}

namespace {

std::vector<std::string> normalisedWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream stream(toLower(text));
    for (std::string word; stream >> word;) {
        std::string kept;
        for (char32_t c : codePoints(word)) {
            if (c == U'\'' || !isUnicodePunctuation(c)) kept += fromCodePoint(c);
        }
        if (kept == "mr") kept = "mister";
        if (!kept.empty()) words.push_back(kept);
    }
    return words;
}

std::size_t editDistance(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

double wordErrorRate(const std::vector<std::string>& references, const std::vector<std::string>& hypotheses) {
    std::size_t errors = 0;
    std::size_t words = 0;
    for (std::size_t i = 0; i < references.size(); ++i) {
        const auto reference = normalisedWords(references[i]);
        errors += editDistance(reference, normalisedWords(i < hypotheses.size() ? hypotheses[i] : std::string()));
        words += reference.size();
    }
    return words ? static_cast<double>(errors) / static_cast<double>(words) : 0.0;
}

Recognition recognise(PocketSphinxRecognizer& recognizer, const SpeechSamples& samples,
                      std::vector<std::string> contextualStrings, std::chrono::seconds timeout) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        Recognition recognition;
        bool done = false;
    };
    auto shared = std::make_shared<Shared>();
    auto request = recognizer.makeRequest();
    request->shouldReportPartialResults = true;
    request->addsPunctuation = true;
    request->contextualStrings = std::move(contextualStrings);
    auto task = recognizer.recognitionTask(request, [shared](std::optional<RecognitionResult> result,
                                                             std::optional<RecognitionError> error) {
        std::lock_guard lock(shared->mutex);
        if (result && !result->isFinal) shared->recognition.partials.push_back(result->formattedString);
        if (result && result->isFinal) shared->recognition.final = result->formattedString;
        if (error) shared->recognition.error = error->localizedDescription;
        if ((result && result->isFinal) || error) shared->done = true;
        shared->changed.notify_all();
    });
    for (std::size_t offset = 0; offset < samples.size(); offset += 1024) {
        const std::size_t frames = std::min<std::size_t>(1024, samples.size() - offset);
        request->append(AudioBuffer{samples.data() + offset, frames, {16000, 1}});
    }
    request->endAudio();
    std::unique_lock lock(shared->mutex);
    EXPECT_TRUE(shared->changed.wait_for(lock, timeout, [&] { return shared->done; })) << "no final result in time";
    return shared->recognition;
}

SpeechAuthorizationStatus waitForAuthorization(PocketSphinxRecognizer& recognizer, std::chrono::seconds timeout) {
    auto answer = std::make_shared<std::promise<SpeechAuthorizationStatus>>();
    auto future = answer->get_future();
    recognizer.requestAuthorization([answer](SpeechAuthorizationStatus status) { answer->set_value(status); });
    if (future.wait_for(timeout) != std::future_status::ready) {
        ADD_FAILURE() << "the recogniser did not answer in time";
        return SpeechAuthorizationStatus::notDetermined;
    }
    return future.get();
}

}  // namespace parlune::testing
