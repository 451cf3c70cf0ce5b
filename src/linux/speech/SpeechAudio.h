#pragma once

#include "linux/speech/AudioTap.h"
#include "platform/AudioEngine.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace parlune {

// Speech audio as the recogniser takes it: 16 kHz, mono, signed 16-bit.
using SpeechSamples = std::vector<std::int16_t>;

// Reads a sound file in any format libsndfile reads (WAV, FLAC, Ogg, ...), at any rate and channel
// count, converted to speech audio (channels mixed down, resampled). None on failure, with a
// description in `error`.
std::optional<SpeechSamples> readSpeechAudio(const std::filesystem::path& path, std::string& error);
// The same from bytes in memory (a file read from standard input).
std::optional<SpeechSamples> readSpeechAudio(const std::vector<char>& bytes, std::string& error);

// An audio engine whose input is recorded speech: once started it hands the samples to the tap,
// buffer by buffer, as fast as the tap takes them, on a thread of its own, then falls silent.
class RecordedAudioEngine final : public AudioEngine {
public:
    explicit RecordedAudioEngine(SpeechSamples samples);
    ~RecordedAudioEngine() override;
    RecordedAudioEngine(const RecordedAudioEngine&) = delete;
    RecordedAudioEngine& operator=(const RecordedAudioEngine&) = delete;

    AudioFormat inputFormat() const override { return {16000, 1}; }
    bool installTap(std::size_t bufferSize, AudioFormat format, TapBlock block) override;
    void removeTap() override;
    void prepare() override {}
    std::optional<std::string> start() override;
    void stop() override;
    bool isRunning() const override { return player_.joinable(); }

    // Every sample has been handed over. Any thread.
    bool hasFinished() const { return finished_; }

private:
    const SpeechSamples samples_;
    AudioTap tap_;
    std::thread player_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
};

// Microphone permission where no microphone is involved.
class GrantedMicrophonePermission final : public MicrophonePermission {
public:
    MicrophoneAuthorization status() const override { return MicrophoneAuthorization::authorized; }
    void requestAccess(std::function<void(bool granted)> callback) override { callback(true); }
};

}  // namespace parlune
