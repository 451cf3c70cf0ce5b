#include "linux/speech/SpeechAudio.h"

#include <samplerate.h>
#include <sndfile.h>

#include <cstring>

namespace parlune {
namespace {

constexpr int speechRate = 16000;

// Bytes in memory as a libsndfile virtual file.
struct MemoryFile {
    const std::vector<char>* bytes;
    sf_count_t position = 0;

    static sf_count_t length(void* self) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(self)->bytes->size()); }
    static sf_count_t seek(sf_count_t offset, int whence, void* raw) {
        auto* self = static_cast<MemoryFile*>(raw);
        const sf_count_t size = length(raw);
        sf_count_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? self->position + offset : size + offset;
        if (target < 0 || target > size) return -1;
        self->position = target;
        return target;
    }
    static sf_count_t read(void* destination, sf_count_t count, void* raw) {
        auto* self = static_cast<MemoryFile*>(raw);
        const sf_count_t available = length(raw) - self->position;
        const sf_count_t taken = count < available ? count : available;
        if (taken <= 0) return 0;
        std::memcpy(destination, self->bytes->data() + self->position, static_cast<std::size_t>(taken));
        self->position += taken;
        return taken;
    }
    static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t tell(void* self) { return static_cast<MemoryFile*>(self)->position; }
};

std::optional<SpeechSamples> convert(SNDFILE* file, const SF_INFO& info, std::string& error) {
    if (info.channels < 1 || info.samplerate < 1) {
        error = "the audio has no channels or no sample rate";
        return std::nullopt;
    }
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames) * channels);
    const sf_count_t frames = sf_readf_float(file, interleaved.data(), info.frames);
    std::vector<float> mono(static_cast<std::size_t>(frames > 0 ? frames : 0));
    for (std::size_t frame = 0; frame < mono.size(); ++frame) {
        float sum = 0;
        for (std::size_t channel = 0; channel < channels; ++channel) sum += interleaved[frame * channels + channel];
        mono[frame] = sum / static_cast<float>(channels);
    }
    if (info.samplerate != speechRate && !mono.empty()) {
        const double ratio = static_cast<double>(speechRate) / info.samplerate;
        std::vector<float> resampled(static_cast<std::size_t>(static_cast<double>(mono.size()) * ratio) + 16);
        SRC_DATA data{};
        data.data_in = mono.data();
        data.input_frames = static_cast<long>(mono.size());
        data.data_out = resampled.data();
        data.output_frames = static_cast<long>(resampled.size());
        data.src_ratio = ratio;
        if (int failure = src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1)) {
            error = std::string("the audio could not be resampled: ") + src_strerror(failure);
            return std::nullopt;
        }
        resampled.resize(static_cast<std::size_t>(data.output_frames_gen));
        mono = std::move(resampled);
    }
    SpeechSamples samples(mono.size());
    src_float_to_short_array(mono.data(), samples.data(), static_cast<int>(mono.size()));
    return samples;
}

std::optional<SpeechSamples> readOpened(SNDFILE* file, const SF_INFO& info, const std::string& name, std::string& error) {
    if (!file) {
        error = name + " is not an audio file libsndfile can read: " + sf_strerror(nullptr);
        return std::nullopt;
    }
    auto samples = convert(file, info, error);
    sf_close(file);
    return samples;
}

}  // namespace

std::optional<SpeechSamples> readSpeechAudio(const std::filesystem::path& path, std::string& error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    return readOpened(file, info, path.string(), error);
}

std::optional<SpeechSamples> readSpeechAudio(const std::vector<char>& bytes, std::string& error) {
    MemoryFile memory{&bytes};
    SF_VIRTUAL_IO io{&MemoryFile::length, &MemoryFile::seek, &MemoryFile::read, &MemoryFile::write, &MemoryFile::tell};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    return readOpened(file, info, "the input", error);
}

RecordedAudioEngine::RecordedAudioEngine(SpeechSamples samples) : samples_(std::move(samples)) {}

RecordedAudioEngine::~RecordedAudioEngine() { stop(); }

bool RecordedAudioEngine::installTap(std::size_t bufferSize, AudioFormat format, TapBlock block) {
    return tap_.install(bufferSize, format, inputFormat(), std::move(block));
}

void RecordedAudioEngine::removeTap() { tap_.remove(); }

std::optional<std::string> RecordedAudioEngine::start() {
    if (player_.joinable()) return std::nullopt;
    stopping_ = false;
    finished_ = false;
    player_ = std::thread([this] {
        for (std::size_t offset = 0; offset < samples_.size() && !stopping_;) {
            std::size_t frames = std::min<std::size_t>(1024, samples_.size() - offset);
            tap_.with([&](const TapBlock& block, std::size_t tapFrames) {
                frames = std::min(tapFrames, samples_.size() - offset);
                block(AudioBuffer{samples_.data() + offset, frames, inputFormat()});
            });
            offset += frames;
        }
        finished_ = true;
    });
    return std::nullopt;
}

void RecordedAudioEngine::stop() {
    stopping_ = true;
    if (player_.joinable()) player_.join();
}

}  // namespace parlune
