#include "linux/speech/SphinxDecoder.h"

#include <pocketsphinx.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/err.h>
#include <sphinxbase/feat.h>
#include <sphinxbase/ngram_model.h>

#include <stdlib.h>

#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>

namespace parlune {
namespace fs = std::filesystem;
namespace {

void silenceLibraryLogging() {
    static std::once_flag once;
    std::call_once(once, [] { err_set_logfp(nullptr); });
}

fs::path acousticModel(const fs::path& folder) { return folder / "en-us"; }
fs::path languageModel(const fs::path& folder) { return folder / "en-us.lm.bin"; }
fs::path dictionary(const fs::path& folder) { return folder / "cmudict-en-us.dict"; }

std::optional<std::string> missingModelFile(const fs::path& folder) {
    std::error_code ignored;
    for (const auto& path : {acousticModel(folder) / "mdef", languageModel(folder), dictionary(folder)}) {
        if (!fs::is_regular_file(path, ignored)) {
            return "the speech model is missing " + path.string() + " (Debian package pocketsphinx-en-us)";
        }
    }
    return std::nullopt;
}

// Reads a language model; the caller frees it.
struct LanguageModel {
    explicit LanguageModel(const fs::path& path) : logMath(logmath_init(1.0001, 0, 0)) {
        model = ngram_model_read(nullptr, path.c_str(), NGRAM_AUTO, logMath);
    }
    ~LanguageModel() {
        if (model) ngram_model_free(model);
        logmath_free(logMath);
    }
    LanguageModel(const LanguageModel&) = delete;
    LanguageModel& operator=(const LanguageModel&) = delete;

    bool knows(const std::string& word) const { return ngram_wid(model, word.c_str()) != ngram_unknown_wid(model); }

    logmath_t* logMath;
    ngram_model_t* model = nullptr;
};

// A private folder under the temporary folder, removed with its files.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "parlune-speech-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

ps_decoder_t* initDecoder(const fs::path& hmm, const fs::path& lm, const fs::path& dict) {
    const std::string maxHmms = std::to_string(SphinxDecoder::maxHmmsPerFrame);
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-lm", lm.c_str(), "-dict",
                                   dict.c_str(), "-fwdflat", "no", "-maxhmmpf", maxHmms.c_str(), "-samprate", "16000",
                                   static_cast<const char*>(nullptr));
    if (!config) return nullptr;
    ps_decoder_t* decoder = ps_init(config);  // keeps its own reference to the configuration
    cmd_ln_free_r(config);
    return decoder;
}

}  // namespace

fs::path SphinxDecoder::defaultModelFolder() { return "/usr/share/pocketsphinx/model/en-us"; }

std::optional<std::vector<AddedWord>> SphinxDecoder::wordsToAdd(const fs::path& modelFolder,
                                                                const std::vector<std::string>& words,
                                                                const Pronounce& pronounce, std::string& error) {
    silenceLibraryLogging();
    std::vector<AddedWord> added;
    if (words.empty()) return added;
    if (auto missing = missingModelFile(modelFolder)) {
        error = *missing;
        return std::nullopt;
    }
    const std::set<std::string> wanted(words.begin(), words.end());
    std::set<std::string> inDictionary;
    std::ifstream file(dictionary(modelFolder));
    for (std::string line; std::getline(file, line);) {
        const std::string word = line.substr(0, line.find(' '));
        if (wanted.count(word)) inDictionary.insert(word);
    }
    LanguageModel lm(languageModel(modelFolder));
    if (!lm.model) {
        error = "the language model " + languageModel(modelFolder).string() + " could not be read";
        return std::nullopt;
    }
    for (const auto& word : wanted) {
        AddedWord entry{word, {}, !lm.knows(word)};
        if (!inDictionary.count(word)) {
            auto phones = pronounce(word);
            if (!phones) continue;
            entry.phones = *phones;
        }
        if (entry.addToLanguageModel || !entry.phones.empty()) added.push_back(std::move(entry));
    }
    return added;
}

std::unique_ptr<SphinxDecoder> SphinxDecoder::load(const fs::path& modelFolder, const std::vector<AddedWord>& words,
                                                   std::string& error) {
    silenceLibraryLogging();
    if (auto missing = missingModelFile(modelFolder)) {
        error = *missing;
        return nullptr;
    }
    fs::path lmPath = languageModel(modelFolder);
    fs::path dictPath = dictionary(modelFolder);

    // New words go into a copy of the language model and the dictionary, loaded as they are: adding
    // words to a live decoder corrupts its language model.
    ScratchFolder scratch;
    if (!words.empty()) {
        if (scratch.path().empty()) {
            error = "no temporary folder for the speech model's copy";
            return nullptr;
        }
        LanguageModel lm(lmPath);
        if (!lm.model) {
            error = "the language model " + lmPath.string() + " could not be read";
            return nullptr;
        }
        for (const auto& word : words) {
            if (word.addToLanguageModel) ngram_model_add_word(lm.model, word.word.c_str(), addedWordWeight);
        }
        lmPath = scratch.path() / "words.lm.bin";
        if (ngram_model_write(lm.model, lmPath.c_str(), NGRAM_BIN) != 0) {
            error = "the language model's copy could not be written to " + scratch.path().string();
            return nullptr;
        }
        const fs::path copy = scratch.path() / "words.dict";
        {
            std::ifstream original(dictPath, std::ios::binary);
            std::ofstream out(copy, std::ios::binary);
            out << original.rdbuf();
            for (const auto& word : words) {
                if (!word.phones.empty()) out << word.word << ' ' << word.phones << '\n';
            }
            if (!out) {
                error = "the dictionary's copy could not be written to " + scratch.path().string();
                return nullptr;
            }
        }
        dictPath = copy;
    }
    ps_decoder_t* decoder = initDecoder(acousticModel(modelFolder), lmPath, dictPath);
    if (!decoder) {
        error = "the speech model in " + modelFolder.string() + " could not be loaded";
        return nullptr;
    }
    return std::unique_ptr<SphinxDecoder>(new SphinxDecoder(decoder, words));
}

SphinxDecoder::SphinxDecoder(ps_decoder_s* decoder, std::vector<AddedWord> words)
    : decoder_(decoder), addedWords_(std::move(words)) {}

SphinxDecoder::~SphinxDecoder() {
    if (inUtterance_) ps_end_utt(decoder_);
    ps_free(decoder_);
}

void SphinxDecoder::startUtterance() {
    if (inUtterance_) return;
    ps_start_utt(decoder_);
    inUtterance_ = true;
}

void SphinxDecoder::process(const std::int16_t* samples, std::size_t count) {
    if (!inUtterance_) startUtterance();
    ps_process_raw(decoder_, samples, count, FALSE, FALSE);
}

std::string SphinxDecoder::hypothesis() {
    int32 score = 0;
    const char* words = ps_get_hyp(decoder_, &score);
    return words ? std::string(words) : std::string();
}

void SphinxDecoder::endUtterance() {
    if (!inUtterance_) return;
    ps_end_utt(decoder_);
    inUtterance_ = false;
}

void SphinxDecoder::adoptAdaptation(const SphinxDecoder& other) {
    cmn_t* from = ps_get_feat(other.decoder_)->cmn_struct;
    cmn_t* to = ps_get_feat(decoder_)->cmn_struct;
    if (!from || !to || from->veclen != to->veclen) return;
    std::vector<mfcc_t> mean(static_cast<std::size_t>(from->veclen));
    cmn_live_get(from, mean.data());
    cmn_live_set(to, mean.data());
}

}  // namespace parlune
