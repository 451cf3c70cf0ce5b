#pragma once

// Microphone capture: an input whose captured buffers go to one tap, and the microphone permission.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace parlune {

// Interleaved signed 16-bit samples.
struct AudioFormat {
    double sampleRate = 16000;
    int channels = 1;

    bool operator==(const AudioFormat&) const = default;
};

// One captured buffer, valid only during the call that hands it over.
struct AudioBuffer {
    const std::int16_t* samples = nullptr;
    std::size_t frameCount = 0;
    AudioFormat format;
};

class AudioEngine {
public:
    using TapBlock = std::function<void(const AudioBuffer& buffer)>;

    virtual ~AudioEngine() = default;

    // The format of the microphone input.
    virtual AudioFormat inputFormat() const = 0;
    // Installs the one tap: `block` is called on the capture thread with each buffer of
    // `bufferSize` frames. False when a tap is already installed.
    virtual bool installTap(std::size_t bufferSize, AudioFormat format, TapBlock block) = 0;
    // Removes the tap; once this returns, the block is not called again.
    virtual void removeTap() = 0;
    virtual void prepare() = 0;
    // Starts capture; on failure, a description a user understands.
    virtual std::optional<std::string> start() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

enum class MicrophoneAuthorization { notDetermined, denied, restricted, authorized };

class MicrophonePermission {
public:
    virtual ~MicrophonePermission() = default;
    virtual MicrophoneAuthorization status() const = 0;
    // Asks for access; calls back once, on any thread, with the answer.
    virtual void requestAccess(std::function<void(bool granted)> callback) = 0;
};

}  // namespace parlune
