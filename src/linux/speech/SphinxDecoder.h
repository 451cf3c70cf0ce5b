#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ps_decoder_s;

namespace parlune {

// A word that a decoder knows on top of its model: a pronunciation for the dictionary when the
// dictionary lacks it, and a unigram in the language model when the model lacks it.
struct AddedWord {
    std::string word;
    std::string phones;  // empty when the dictionary already has the word
    bool addToLanguageModel = false;

    bool operator==(const AddedWord&) const = default;
};

// One PocketSphinx decoder over the US-English model (acoustic model, trigram language model and
// pronunciation dictionary), streaming 16 kHz mono 16-bit audio. Not thread-safe: one thread at a
// time. The library's own logging is silenced.
class SphinxDecoder {
public:
    // The folder with en-us/, en-us.lm.bin and cmudict-en-us.dict.
    static std::filesystem::path defaultModelFolder();
    // Tuned for dictation: no second (flat-lexicon) pass, so the final result comes right after the
    // audio ends, and a bound on active HMMs per frame, so noisy audio stays under real time.
    static constexpr int maxHmmsPerFrame = 3000;
    // Probability of an added word, relative to a uniform distribution over the vocabulary.
    static constexpr float addedWordWeight = 1.0f;

    // Loads the model, with `words` added (written into a private copy of the language model and
    // dictionary, which is loaded and removed again). None on failure, with a description in `error`.
    static std::unique_ptr<SphinxDecoder> load(const std::filesystem::path& modelFolder,
                                               const std::vector<AddedWord>& words, std::string& error);

    // Which of the lower-case `words` the model lacks, and what adding each takes; `pronounce` gives
    // the phones of a word missing from the dictionary (none: the word is left out).
    using Pronounce = std::function<std::optional<std::string>(const std::string& word)>;
    static std::optional<std::vector<AddedWord>> wordsToAdd(const std::filesystem::path& modelFolder,
                                                            const std::vector<std::string>& words,
                                                            const Pronounce& pronounce, std::string& error);

    ~SphinxDecoder();
    SphinxDecoder(const SphinxDecoder&) = delete;
    SphinxDecoder& operator=(const SphinxDecoder&) = delete;

    void startUtterance();
    void process(const std::int16_t* samples, std::size_t count);
    // The best hypothesis so far: lower-case words separated by single spaces.
    std::string hypothesis();
    void endUtterance();
    bool inUtterance() const { return inUtterance_; }

    // Carries the other decoder's adaptation to the speaker and microphone (cepstral mean) over.
    void adoptAdaptation(const SphinxDecoder& other);
    const std::vector<AddedWord>& addedWords() const { return addedWords_; }

private:
    SphinxDecoder(ps_decoder_s* decoder, std::vector<AddedWord> words);

    ps_decoder_s* decoder_;
    std::vector<AddedWord> addedWords_;
    bool inUtterance_ = false;
};

}  // namespace parlune
