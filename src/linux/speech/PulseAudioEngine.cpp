#include "linux/speech/PulseAudioEngine.h"

#include "core/log/Log.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <functional>

namespace parlune {
namespace {

constexpr const char* applicationName = "Parlune";

bool isRefusal(int code) { return code == PA_ERR_ACCESS || code == PA_ERR_AUTHKEY; }

}  // namespace

// One connection to the sound server with one record stream, served by PulseAudio's threaded main
// loop. Samples arrive on that loop's thread.
class PulseAudioEngine::Capture {
public:
    using OnSamples = std::function<void(const std::int16_t* samples, std::size_t count)>;
    struct Failure {
        int code = 0;  // a PA_ERR_* value, 0 for our own time-out
        std::string description;
    };

    static std::unique_ptr<Capture> open(const PulseAudioOptions& options, std::size_t fragmentFrames, OnSamples onSamples,
                                         Failure& failure) {
        std::unique_ptr<Capture> capture(new Capture(std::move(onSamples)));
        if (!capture->connect(options, fragmentFrames, failure)) return nullptr;
        return capture;
    }

    ~Capture() {
        pa_threaded_mainloop_lock(loop_);
        if (stream_) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        pa_threaded_mainloop_unlock(loop_);
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }

    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

private:
    explicit Capture(OnSamples onSamples) : onSamples_(std::move(onSamples)), loop_(pa_threaded_mainloop_new()) {}

    bool connect(const PulseAudioOptions& options, std::size_t fragmentFrames, Failure& failure) {
        if (pa_threaded_mainloop_start(loop_) < 0) {
            failure = {PA_ERR_INTERNAL, "the sound client could not start its thread"};
            return false;
        }
        pa_threaded_mainloop_lock(loop_);
        const bool connected = connectLocked(options, fragmentFrames, failure);
        pa_threaded_mainloop_unlock(loop_);
        return connected;
    }

    bool connectLocked(const PulseAudioOptions& options, std::size_t fragmentFrames, Failure& failure) {
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), applicationName);
        if (!context_) {
            failure = {PA_ERR_INTERNAL, "the sound client could not be set up"};
            return false;
        }
        pa_context_set_state_callback(context_, &Capture::onContextState, this);

        // Every wait below is bounded by one deadline.
        const auto timeoutMicroseconds = static_cast<pa_usec_t>(options.answerTimeout.count()) * 1000;
        pa_time_event* deadline = pa_context_rttime_new(context_, pa_rtclock_now() + timeoutMicroseconds, &Capture::onDeadline, this);
        const bool opened = connectContext(options, failure) && openStream(options, fragmentFrames, failure);
        if (deadline) pa_threaded_mainloop_get_api(loop_)->time_free(deadline);
        if (!opened && failure.code == 0) {
            failure.description = "the PulseAudio/PipeWire server did not answer within " +
                                  std::to_string(options.answerTimeout.count()) + " ms";
        }
        return opened;
    }

    bool connectContext(const PulseAudioOptions& options, Failure& failure) {
        const char* server = options.server.empty() ? nullptr : options.server.c_str();
        if (pa_context_connect(context_, server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return fail(pa_context_errno(context_), true, failure);
        }
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context_);
            if (state == PA_CONTEXT_READY) return true;
            if (!PA_CONTEXT_IS_GOOD(state)) return fail(pa_context_errno(context_), true, failure);
            if (timedOut_) return false;
            pa_threaded_mainloop_wait(loop_);
        }
    }

    bool openStream(const PulseAudioOptions& options, std::size_t fragmentFrames, Failure& failure) {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, 16000, 1};
        stream_ = pa_stream_new(context_, "Dictation", &spec, nullptr);
        if (!stream_) return fail(pa_context_errno(context_), false, failure);
        pa_stream_set_state_callback(stream_, &Capture::onStreamState, this);
        pa_stream_set_read_callback(stream_, &Capture::onReadable, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.tlength = static_cast<std::uint32_t>(-1);
        attributes.prebuf = static_cast<std::uint32_t>(-1);
        attributes.minreq = static_cast<std::uint32_t>(-1);
        attributes.fragsize = static_cast<std::uint32_t>(fragmentFrames * sizeof(std::int16_t));
        const char* source = options.source.empty() ? nullptr : options.source.c_str();
        if (pa_stream_connect_record(stream_, source, &attributes, PA_STREAM_ADJUST_LATENCY) < 0) {
            return fail(pa_context_errno(context_), false, failure);
        }
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(stream_);
            if (state == PA_STREAM_READY) return true;
            if (!PA_STREAM_IS_GOOD(state)) return fail(pa_context_errno(context_), false, failure);
            if (timedOut_) return false;
            pa_threaded_mainloop_wait(loop_);
        }
    }

    // A description a user understands.
    static bool fail(int code, bool connecting, Failure& failure) {
        failure.code = code == 0 ? PA_ERR_UNKNOWN : code;
        if (isRefusal(code)) {
            failure.description = "the sound server refused access to the microphone";
        } else if (code == PA_ERR_NOENTITY) {
            failure.description = "no microphone found";
        } else if (connecting && (code == PA_ERR_CONNECTIONREFUSED || code == PA_ERR_INVALIDSERVER ||
                                  code == PA_ERR_CONNECTIONTERMINATED)) {
            failure.description = "no PulseAudio/PipeWire server running";
        } else {
            failure.description = std::string("the sound server reported: ") + pa_strerror(code);
        }
        return false;
    }

    static void onContextState(pa_context*, void* self) {
        pa_threaded_mainloop_signal(static_cast<Capture*>(self)->loop_, 0);
    }

    static void onStreamState(pa_stream* stream, void* raw) {
        auto* self = static_cast<Capture*>(raw);
        if (pa_stream_get_state(stream) == PA_STREAM_READY) self->wasReady_ = true;
        if (self->wasReady_ && pa_stream_get_state(stream) == PA_STREAM_FAILED) {
            log::line(std::string("⚠️ Microphone capture ended: ") + pa_strerror(pa_context_errno(self->context_)));
            self->wasReady_ = false;
        }
        pa_threaded_mainloop_signal(self->loop_, 0);
    }

    static void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* raw) {
        auto* self = static_cast<Capture*>(raw);
        self->timedOut_ = true;
        pa_threaded_mainloop_signal(self->loop_, 0);
    }

    static void onReadable(pa_stream* stream, std::size_t, void* raw) {
        auto* self = static_cast<Capture*>(raw);
        while (pa_stream_readable_size(stream) > 0) {
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) break;
            if (data) self->onSamples_(static_cast<const std::int16_t*>(data), bytes / sizeof(std::int16_t));
            pa_stream_drop(stream);  // a hole (no data) is dropped too
        }
    }

    OnSamples onSamples_;
    pa_threaded_mainloop* loop_;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool timedOut_ = false;
    bool wasReady_ = false;
};

PulseAudioEngine::PulseAudioEngine(PulseAudioOptions options) : options_(std::move(options)) {}

PulseAudioEngine::~PulseAudioEngine() { stop(); }

bool PulseAudioEngine::installTap(std::size_t bufferSize, AudioFormat format, TapBlock block) {
    return tap_.install(bufferSize, format, inputFormat(), std::move(block));
}

void PulseAudioEngine::removeTap() { tap_.remove(); }

std::optional<std::string> PulseAudioEngine::start() {
    if (capture_) return std::nullopt;
    pending_.clear();
    const std::size_t fragmentFrames = tap_.frames() > 0 ? tap_.frames() : 1024;
    Capture::Failure failure;
    capture_ = Capture::open(options_, fragmentFrames, [this](const std::int16_t* samples, std::size_t count) {
        deliver(samples, count);
    }, failure);
    if (!capture_) return failure.description;
    return std::nullopt;
}

void PulseAudioEngine::stop() { capture_.reset(); }

void PulseAudioEngine::deliver(const std::int16_t* samples, std::size_t count) {
    tap_.with([&](const TapBlock& block, std::size_t frames) {
        pending_.insert(pending_.end(), samples, samples + count);
        std::size_t offset = 0;
        for (; pending_.size() - offset >= frames; offset += frames) block(AudioBuffer{pending_.data() + offset, frames, inputFormat()});
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(offset));
    });
}

PulseMicrophonePermission::PulseMicrophonePermission(PulseAudioOptions options) : options_(std::move(options)) {}

PulseMicrophonePermission::~PulseMicrophonePermission() {
    std::thread asker;
    {
        std::lock_guard lock(mutex_);
        asker = std::move(asker_);
    }
    if (asker.joinable()) asker.join();
}

MicrophoneAuthorization PulseMicrophonePermission::status() const {
    std::lock_guard lock(mutex_);
    return granted_ ? MicrophoneAuthorization::authorized : MicrophoneAuthorization::notDetermined;
}

void PulseMicrophonePermission::requestAccess(std::function<void(bool granted)> callback) {
    std::thread finished;
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(callback));
        if (asking_) return;  // the question already asked answers this one too
        asking_ = true;
        finished = std::move(asker_);
        asker_ = std::thread([this] {
            PulseAudioEngine::Capture::Failure failure;
            const bool opened = PulseAudioEngine::Capture::open(options_, 1024, [](const std::int16_t*, std::size_t) {},
                                                                failure) != nullptr;
            // Only a refusal denies access; a missing server or microphone shows when recording starts.
            const bool granted = opened || !isRefusal(failure.code);
            std::vector<std::function<void(bool)>> callbacks;
            {
                std::lock_guard inner(mutex_);
                if (opened) granted_ = true;
                callbacks = std::move(waiting_);
                waiting_.clear();
                asking_ = false;
            }
            for (auto& each : callbacks) each(granted);
        });
    }
    if (finished.joinable()) finished.join();  // an earlier question, already answered
}

}  // namespace parlune
