#pragma once

// Shared by the speech adapter tests: fixtures, word error rate, and one recognition run.

#include "linux/speech/PocketSphinxRecognizer.h"
#include "linux/speech/SpeechAudio.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace parlune::testing {

struct Utterance {
    std::string file;       // path of the WAV
    std::string reference;  // what is said
};

// The flite samples the build speaks (rms voice), and two recordings of real read speech.
std::vector<Utterance> fliteSamples();
std::vector<Utterance> readSpeech();

SpeechSamples loadSpeech(const std::string& file);

// Word error rate of `hypothesis` against `reference`, both compared as lower-case words without
// punctuation ("mr" counts as "mister").
double wordErrorRate(const std::vector<std::string>& references, const std::vector<std::string>& hypotheses);

struct Recognition {
    std::vector<std::string> partials;
    std::optional<std::string> final;
    std::optional<std::string> error;
};

// Feeds `samples` to a new request in buffers of 1024 frames, ends the audio and waits (bounded) for
// the final result or an error.
Recognition recognise(PocketSphinxRecognizer& recognizer, const SpeechSamples& samples,
                      std::vector<std::string> contextualStrings = {},
                      std::chrono::seconds timeout = std::chrono::seconds(60));

// Waits (bounded) until the recogniser has loaded and answers a permission request.
SpeechAuthorizationStatus waitForAuthorization(PocketSphinxRecognizer& recognizer,
                                               std::chrono::seconds timeout = std::chrono::seconds(30));

}  // namespace parlune::testing
