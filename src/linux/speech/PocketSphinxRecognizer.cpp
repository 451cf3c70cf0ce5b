#include "linux/speech/PocketSphinxRecognizer.h"

#include "core/log/Log.h"
#include "core/speech/TranscriptFormatter.h"
#include "linux/speech/FlitePronouncer.h"
#include "linux/speech/KnownCapitals.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace parlune {
namespace {

constexpr const char* cancelledDescription = "Recognition cancelled";
constexpr const char* supersededDescription = "Recognition ended by a newer recording";
// Hints beyond this many words are not added to the model.
constexpr std::size_t maxHintWords = 500;

// The lower-case words of the hints that a decoder can be taught: plain letters and apostrophes.
std::vector<std::string> hintKeys(const std::vector<std::string>& contextualStrings) {
    std::vector<std::string> keys;
    for (const auto& word : hintWords(contextualStrings)) {
        const bool plain = std::all_of(word.key.begin(), word.key.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '\''; });
        if (plain && keys.size() < maxHintWords) keys.push_back(word.key);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

}  // namespace

// Everything the worker thread owns, and the queue through which other threads reach it.
struct PocketSphinxRecognizer::Core {
    using Job = std::function<void()>;

    struct Utterance {
        std::uint64_t requestId = 0;
        RecognitionResultHandler handler;
        bool partials = false;
        bool punctuation = false;
        TranscriptFormatter formatter;
        std::string lastHypothesis;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    explicit Core(Options given) : options(std::move(given)) {}

    // ---- any thread ----
    void post(Job job) {
        {
            std::lock_guard lock(mutex);
            if (stopping) return;
            jobs.push_back(std::move(job));
        }
        wake.notify_one();
    }

    void run() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return stopping || !jobs.empty(); });
                if (stopping) return;
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            job();
        }
    }

    void shutDown() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
            jobs.clear();
        }
        wake.notify_one();
        if (worker.joinable()) worker.join();
        // The worker is gone: its state is ours now.
        if (preparer.joinable()) preparer.join();
    }

    // ---- worker thread ----
    void load() {
        capitals = std::make_unique<KnownCapitals>(options.spellingFolders);
        std::string error;
        decoder = SphinxDecoder::load(options.modelFolder, {}, error);
        if (!decoder) log::line("❌ Speech recognition unavailable: " + error);
        std::vector<std::function<void(SpeechAuthorizationStatus)>> waiting;
        {
            std::lock_guard lock(mutex);
            status = decoder ? SpeechAuthorizationStatus::authorized : SpeechAuthorizationStatus::restricted;
            waiting = std::move(waitingForStatus);
        }
        for (auto& callback : waiting) callback(decoder ? SpeechAuthorizationStatus::authorized : SpeechAuthorizationStatus::restricted);
    }

    void attach(std::uint64_t requestId, Utterance next, std::vector<std::string> keys) {
        if (utterance) {
            if (decoder) decoder->endUtterance();
            finish(RecognitionError{supersededDescription});
        }
        swapInPrepared();
        if (!decoder) {
            // Nothing can be recognised: the task ends at once.
            next.finished->store(true);
            next.handler(std::nullopt, RecognitionError{"the speech model is not loaded"});
            return;
        }
        next.requestId = requestId;
        utterance = std::move(next);
        want(std::move(keys));
    }

    void decode(std::uint64_t requestId, const std::vector<std::int16_t>& samples) {
        if (!utterance || utterance->requestId != requestId || !decoder) return;
        decoder->process(samples.data(), samples.size());
        std::string hypothesis = decoder->hypothesis();
        if (hypothesis == utterance->lastHypothesis) return;
        utterance->lastHypothesis = std::move(hypothesis);
        if (utterance->partials) {
            utterance->handler(RecognitionResult{utterance->formatter.format(utterance->lastHypothesis, utterance->punctuation), false},
                               std::nullopt);
        }
    }

    void end(std::uint64_t requestId) {
        if (!utterance || utterance->requestId != requestId || !decoder) return;
        decoder->endUtterance();
        const std::string text = utterance->formatter.format(decoder->hypothesis(), utterance->punctuation);
        utterance->finished->store(true);
        auto handler = std::move(utterance->handler);
        utterance.reset();
        handler(RecognitionResult{text, true}, std::nullopt);
        swapInPrepared();
    }

    void cancel(std::uint64_t requestId) {
        if (!utterance || utterance->requestId != requestId) return;
        if (decoder) decoder->endUtterance();
        finish(RecognitionError{cancelledDescription});
        swapInPrepared();
    }

    void finish(const RecognitionError& error) {
        utterance->finished->store(true);
        auto handler = std::move(utterance->handler);
        utterance.reset();
        handler(std::nullopt, error);
    }

    // The decoder for `keys` is wanted: make sure one is in use, ready or being prepared.
    void want(std::vector<std::string> keys) {
        wanted = std::move(keys);
        if (preparing) return;  // its end looks at `wanted` again
        if (activeKeys == wanted) {
            prepared.reset();
            return;
        }
        if (prepared && prepared->keys == wanted) return;
        startPreparation();
    }

    void startPreparation() {
        preparing = wanted;
        if (preparer.joinable()) preparer.join();  // the previous one has posted its result and is ending
        const std::vector<AddedWord> inUse = decoder->addedWords();
        preparer = std::thread([this, keys = wanted, inUse] {
            std::string error;
            FlitePronouncer pronouncer;
            auto words = SphinxDecoder::wordsToAdd(
                options.modelFolder, keys, [&](const std::string& word) { return pronouncer.phones(word); }, error);
            std::shared_ptr<SphinxDecoder> made;
            bool unchanged = words && *words == inUse;
            if (words && !unchanged && !isStopping()) made = SphinxDecoder::load(options.modelFolder, *words, error);
            post([this, keys, made, unchanged, error] { preparationEnded(keys, made, unchanged, error); });
        });
    }

    void preparationEnded(const std::vector<std::string>& keys, const std::shared_ptr<SphinxDecoder>& made,
                          bool unchanged, const std::string& error) {
        preparing.reset();
        if (wanted != keys) {
            want(wanted);  // the words changed meanwhile: this decoder is of no use
            return;
        }
        if (made) {
            prepared = Prepared{keys, made};
            swapInPrepared();
        } else {
            if (!unchanged) log::line("⚠️ Could not add the dictionary words to the speech model: " + error);
            // The decoder in use stands for these words now, so a failure is not tried again.
            prepared.reset();
            setActiveKeys(keys);
        }
    }

    void swapInPrepared() {
        if (!prepared || utterance) return;
        if (decoder) prepared->decoder->adoptAdaptation(*decoder);
        decoder = std::move(prepared->decoder);
        setActiveKeys(prepared->keys);
        prepared.reset();
    }

    void setActiveKeys(const std::vector<std::string>& keys) {
        activeKeys = keys;
        std::vector<std::string> words;
        if (decoder) {
            for (const auto& word : decoder->addedWords()) words.push_back(word.word);
        }
        std::lock_guard lock(mutex);
        snapshotKeys = keys;
        snapshotWords = std::move(words);
    }

    bool isStopping() {
        std::lock_guard lock(mutex);
        return stopping;
    }

    const Options options;

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    bool stopping = false;
    std::optional<SpeechAuthorizationStatus> status;
    std::vector<std::function<void(SpeechAuthorizationStatus)>> waitingForStatus;
    std::vector<std::string> snapshotKeys;
    std::vector<std::string> snapshotWords;
    std::atomic<std::uint64_t> nextRequestId{1};
    std::atomic<std::size_t> pendingBuffers{0};
    std::thread worker;
    std::thread preparer;

    // Worker thread only.
    struct Prepared {
        std::vector<std::string> keys;
        std::shared_ptr<SphinxDecoder> decoder;
    };
    std::unique_ptr<KnownCapitals> capitals;
    std::shared_ptr<SphinxDecoder> decoder;
    std::vector<std::string> activeKeys;
    std::optional<Prepared> prepared;
    std::optional<std::vector<std::string>> preparing;
    std::vector<std::string> wanted;
    std::optional<Utterance> utterance;
};

namespace {

class SphinxRequest final : public SpeechRecognitionRequest {
public:
    SphinxRequest(std::weak_ptr<PocketSphinxRecognizer::Core> core, std::uint64_t id) : core_(std::move(core)), id_(id) {}

    void append(const AudioBuffer& buffer) override {
        if (ended_ || !buffer.samples || buffer.frameCount == 0) return;
        auto core = core_.lock();
        if (!core) return;
        std::vector<std::int16_t> samples = monoAt16k(buffer);
        if (samples.empty()) return;
        ++core->pendingBuffers;
        core->post([raw = core.get(), id = id_, samples = std::move(samples)] {
            --raw->pendingBuffers;
            raw->decode(id, samples);
        });
    }

    void endAudio() override {
        if (ended_.exchange(true)) return;
        if (auto core = core_.lock()) core->post([raw = core.get(), id = id_] { raw->end(id); });
    }

    std::uint64_t id() const { return id_; }

private:
    // The decoder takes 16 kHz mono; other channel counts are mixed down. Other rates are not
    // supported and are dropped.
    static std::vector<std::int16_t> monoAt16k(const AudioBuffer& buffer) {
        if (buffer.format.sampleRate != 16000 || buffer.format.channels < 1) return {};
        const auto channels = static_cast<std::size_t>(buffer.format.channels);
        if (channels == 1) return {buffer.samples, buffer.samples + buffer.frameCount};
        std::vector<std::int16_t> mono(buffer.frameCount);
        for (std::size_t frame = 0; frame < buffer.frameCount; ++frame) {
            int sum = 0;
            for (std::size_t channel = 0; channel < channels; ++channel) sum += buffer.samples[frame * channels + channel];
            mono[frame] = static_cast<std::int16_t>(sum / static_cast<int>(channels));
        }
        return mono;
    }

    std::weak_ptr<PocketSphinxRecognizer::Core> core_;
    const std::uint64_t id_;
    std::atomic<bool> ended_{false};
};

class SphinxTask final : public RecognitionTask {
public:
    SphinxTask(std::weak_ptr<PocketSphinxRecognizer::Core> core, std::uint64_t requestId, std::shared_ptr<std::atomic<bool>> finished)
        : core_(std::move(core)), requestId_(requestId), finished_(std::move(finished)) {}

    void cancel() override {
        if (cancelled_.exchange(true) || finished_->load()) return;
        if (auto core = core_.lock()) core->post([raw = core.get(), id = requestId_] { raw->cancel(id); });
    }

private:
    std::weak_ptr<PocketSphinxRecognizer::Core> core_;
    const std::uint64_t requestId_;
    std::shared_ptr<std::atomic<bool>> finished_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace

PocketSphinxRecognizer::PocketSphinxRecognizer(Options options) : core_(std::make_shared<Core>(std::move(options))) {
    Core* core = core_.get();
    core->jobs.push_back([core] { core->load(); });
    core->worker = std::thread([core] { core->run(); });
}

PocketSphinxRecognizer::~PocketSphinxRecognizer() { core_->shutDown(); }

bool PocketSphinxRecognizer::isAvailable() const {
    std::lock_guard lock(core_->mutex);
    return core_->status == SpeechAuthorizationStatus::authorized;
}

void PocketSphinxRecognizer::requestAuthorization(std::function<void(SpeechAuthorizationStatus)> callback) {
    std::optional<SpeechAuthorizationStatus> status;
    {
        std::lock_guard lock(core_->mutex);
        status = core_->status;
        if (!status) core_->waitingForStatus.push_back(std::move(callback));
    }
    if (status) callback(*status);
}

std::shared_ptr<SpeechRecognitionRequest> PocketSphinxRecognizer::makeRequest() {
    return std::make_shared<SphinxRequest>(core_, core_->nextRequestId++);
}

std::shared_ptr<RecognitionTask> PocketSphinxRecognizer::recognitionTask(std::shared_ptr<SpeechRecognitionRequest> request,
                                                                         RecognitionResultHandler handler) {
    auto* ours = dynamic_cast<SphinxRequest*>(request.get());
    if (!ours || !handler) return nullptr;
    auto finished = std::make_shared<std::atomic<bool>>(false);
    Core::Utterance utterance;
    utterance.handler = std::move(handler);
    utterance.partials = request->shouldReportPartialResults;
    utterance.punctuation = request->addsPunctuation;
    utterance.finished = finished;
    Core* core = core_.get();
    auto contextualStrings = request->contextualStrings;
    core->post([core, id = ours->id(), utterance = std::move(utterance), contextualStrings]() mutable {
        utterance.formatter = TranscriptFormatter(contextualStrings, [core](const std::string& word) {
            return core->capitals ? (*core->capitals)(word) : std::nullopt;
        });
        core->attach(id, std::move(utterance), hintKeys(contextualStrings));
    });
    return std::make_shared<SphinxTask>(core_, ours->id(), finished);
}

void PocketSphinxRecognizer::prepareWords(const std::vector<std::string>& contextualStrings) {
    Core* core = core_.get();
    core->post([core, keys = hintKeys(contextualStrings)]() mutable {
        if (core->decoder) core->want(std::move(keys));
    });
}

bool PocketSphinxRecognizer::isPreparedFor(const std::vector<std::string>& contextualStrings) const {
    const auto keys = hintKeys(contextualStrings);
    std::lock_guard lock(core_->mutex);
    return core_->snapshotKeys == keys;
}

std::vector<std::string> PocketSphinxRecognizer::addedWords() const {
    std::lock_guard lock(core_->mutex);
    return core_->snapshotWords;
}

std::size_t PocketSphinxRecognizer::pendingBuffers() const { return core_->pendingBuffers; }

}  // namespace parlune
