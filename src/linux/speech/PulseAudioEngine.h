#pragma once

#include "linux/speech/AudioTap.h"
#include "platform/AudioEngine.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace parlune {

// Where and how to reach the sound server (PulseAudio, or PipeWire's PulseAudio service).
struct PulseAudioOptions {
    std::string server;  // empty: the default ($PULSE_SERVER, then the user's runtime folder)
    std::string source;  // empty: the default source ($PULSE_SOURCE, then the server's default)
    std::chrono::milliseconds answerTimeout{3000};  // bound on connecting and on opening the stream
};

// Microphone capture through PulseAudio's client library on its own thread, at 16 kHz mono 16-bit
// (the input's format), handing the tap buffers of exactly the tap's size.
class PulseAudioEngine final : public AudioEngine {
public:
    explicit PulseAudioEngine(PulseAudioOptions options = {});
    ~PulseAudioEngine() override;
    PulseAudioEngine(const PulseAudioEngine&) = delete;
    PulseAudioEngine& operator=(const PulseAudioEngine&) = delete;

    AudioFormat inputFormat() const override { return {16000, 1}; }
    bool installTap(std::size_t bufferSize, AudioFormat format, TapBlock block) override;
    void removeTap() override;
    void prepare() override {}
    // Connects and opens the record stream, waiting at most the answer timeout.
    std::optional<std::string> start() override;
    void stop() override;
    bool isRunning() const override { return capture_ != nullptr; }

    class Capture;

private:
    void deliver(const std::int16_t* samples, std::size_t count);  // capture thread

    const PulseAudioOptions options_;
    std::unique_ptr<Capture> capture_;

    AudioTap tap_;
    std::vector<std::int16_t> pending_;  // captured samples not yet handed over (capture thread)
};

// Microphone access: granted unless the sound server refuses a record stream. Asking opens one
// briefly on a thread of its own; a grant is remembered, a refusal is asked again next time.
class PulseMicrophonePermission final : public MicrophonePermission {
public:
    explicit PulseMicrophonePermission(PulseAudioOptions options = {});
    ~PulseMicrophonePermission() override;
    PulseMicrophonePermission(const PulseMicrophonePermission&) = delete;
    PulseMicrophonePermission& operator=(const PulseMicrophonePermission&) = delete;

    MicrophoneAuthorization status() const override;
    void requestAccess(std::function<void(bool granted)> callback) override;

private:
    const PulseAudioOptions options_;
    mutable std::mutex mutex_;
    bool granted_ = false;
    bool asking_ = false;
    std::vector<std::function<void(bool)>> waiting_;
    std::thread asker_;
};

}  // namespace parlune
