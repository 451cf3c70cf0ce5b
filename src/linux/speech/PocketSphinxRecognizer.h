#pragma once

#include "linux/speech/SphinxDecoder.h"
#include "linux/spelling/HunspellSpellChecker.h"
#include "platform/SpeechRecognizer.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace parlune {

// The US-English recogniser: one PocketSphinx decoder, kept warm for the recogniser's life on its
// own worker thread, decodes each appended buffer as it comes, reports a partial result whenever
// the hypothesis changes and the final result right after the end of the audio.
//
// Loading starts at construction and takes a few tenths of a second; until it has finished the
// recogniser is not available and permission requests wait for it. Recognition is authorized when
// the model is installed and loads.
//
// Word hints: words of a request's contextual strings that the model lacks get pronunciations from
// flite and are written into a copy of the model, loaded into a new decoder in the background; it
// replaces the decoder in use between recordings. A recording never waits for it: the one that
// brought the new words is still decoded without them.
class PocketSphinxRecognizer final : public SpeechRecognizer {
public:
    struct Options {
        std::filesystem::path modelFolder = SphinxDecoder::defaultModelFolder();
        std::vector<std::filesystem::path> spellingFolders = HunspellSpellChecker::defaultFolders();  // en_US
    };

    explicit PocketSphinxRecognizer(Options options);
    PocketSphinxRecognizer() : PocketSphinxRecognizer(Options{}) {}
    // Waits for the worker (and a preparation in progress) to end.
    ~PocketSphinxRecognizer() override;
    PocketSphinxRecognizer(const PocketSphinxRecognizer&) = delete;
    PocketSphinxRecognizer& operator=(const PocketSphinxRecognizer&) = delete;

    bool isAvailable() const override;
    void requestAuthorization(std::function<void(SpeechAuthorizationStatus)> callback) override;
    std::shared_ptr<SpeechRecognitionRequest> makeRequest() override;
    std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<SpeechRecognitionRequest> request,
                                                     RecognitionResultHandler handler) override;

    // Prepares a decoder for the words of `contextualStrings` ahead of the next recording (for
    // example when the user's dictionary changes). Any thread.
    void prepareWords(const std::vector<std::string>& contextualStrings);
    // Whether the decoder in use has been made for exactly these words. Any thread.
    bool isPreparedFor(const std::vector<std::string>& contextualStrings) const;
    // The words the decoder in use has on top of the model. Any thread.
    std::vector<std::string> addedWords() const;
    // Buffers appended but not yet decoded. Any thread.
    std::size_t pendingBuffers() const;

    struct Core;

private:
    std::shared_ptr<Core> core_;
};

}  // namespace parlune
