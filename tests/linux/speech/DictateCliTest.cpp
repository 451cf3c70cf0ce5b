// parlune dictate on recorded speech, with the user's settings in a private folder.

#include "SpeechTesting.h"

#include "PrivateSoundServer.h"
#include "fakes/PrivateUserFolders.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <samplerate.h>
#include <sndfile.h>

using namespace parlune;
using namespace parlune::testing;

namespace {

class Dictate : public ::testing::Test, protected PrivateUserFolders {
protected:
    ProcessResult run(const std::vector<std::string>& arguments) {
        return PrivateUserFolders::run(arguments, {}, std::chrono::seconds(120));
    }
    // The local model server's address: a loopback port nothing listens on.
    void deployNoLocalModel() {
        writeDeployment("config",
                        {{"localModelBaseURL", "http://127.0.0.1:" + std::to_string(PrivateSoundServer::freeLoopbackPort())}});
    }
};

// `samples` (16 kHz mono) as a 44.1 kHz stereo WAV file.
void writeCdQuality(const SpeechSamples& samples, const std::string& path) {
    std::vector<float> mono(samples.size());
    src_short_to_float_array(samples.data(), mono.data(), static_cast<int>(samples.size()));
    std::vector<float> resampled(mono.size() * 3);
    SRC_DATA data{};
    data.data_in = mono.data();
    data.input_frames = static_cast<long>(mono.size());
    data.data_out = resampled.data();
    data.output_frames = static_cast<long>(resampled.size());
    data.src_ratio = 44100.0 / 16000.0;
    ASSERT_EQ(src_simple(&data, SRC_SINC_FASTEST, 1), 0);
    std::vector<float> stereo;
    for (long i = 0; i < data.output_frames_gen; ++i) stereo.insert(stereo.end(), 2, resampled[static_cast<std::size_t>(i)] * 0.8f);
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, stereo.data(), data.output_frames_gen);
    sf_close(file);
}

}  // namespace

TEST_F(Dictate, PrintsTheTextOfARecordingAtAnyRateAndChannelCount) {
    const auto sample = fliteSamples()[0];
    const std::string converted = path() + "/stereo-44k.wav";
    writeCdQuality(loadSpeech(sample.file), converted);
    deployNoLocalModel();

    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"dictate", sample.file, "--raw"}, {"dictate", converted, "--style", "formal", "--provider", "local"}}) {
        const auto result = run(arguments);
        const bool cleaned = arguments.back() != "--raw";
        EXPECT_EQ(result.standardError.find("🎤 Processing with: Local, style: Formal") != std::string::npos, cleaned)
            << "the cleanup runs unless --raw; with no model server it hands the transcript back\n"
            << result.standardError;
        ASSERT_EQ(result.exitCode, 0) << result.standardError;
        ASSERT_FALSE(result.standardOutput.empty());
        EXPECT_EQ(result.standardOutput.find('\n'), result.standardOutput.size() - 1) << "one line of text";
        EXPECT_LE(wordErrorRate({sample.reference}, {result.standardOutput}), 0.12) << result.standardOutput;
        EXPECT_EQ(result.standardError.find("\033[K"), std::string::npos) << "no partial results when not on a terminal";
    }
}

TEST_F(Dictate, KnowsTheWordsOfThePersonalDictionary) {
    ASSERT_EQ(run({"dictionary", "add", "Parlune"}).exitCode, 0);
    const auto result = run({"dictate", std::string(PARLUNE_SPEECH_FIXTURES) + "/parlune.wav", "--raw"});
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_NE(result.standardOutput.find("Parlune"), std::string::npos) << result.standardOutput;
}

TEST_F(Dictate, BadInputEndsWithAClearMessage) {
    const std::string notAudio = path() + "/notes.wav";
    writeFile(notAudio, "not a sound file");
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string errorStart;
    } cases[] = {
        {{"dictate", notAudio}, 1, "parlune: " + notAudio + " is not an audio file libsndfile can read: "},
        {{"dictate", path() + "/missing.wav"}, 1, "parlune: " + path() + "/missing.wav is not an audio file"},
        {{"dictate", "a.wav", "b.wav"}, 2, "parlune: dictate takes one file"},
        {{"dictate", "--style", "Poetic"}, 2, "parlune: unknown style 'Poetic' (casual, standard or formal)"},
        {{"dictate", "--provider"}, 2, "parlune: --provider needs a value"},
        {{"dictate", "--loud"}, 2, "parlune: unknown option '--loud'"},
    };
    for (const auto& each : cases) {
        const auto result = run(each.arguments);
        EXPECT_EQ(result.exitCode, each.exitCode) << each.errorStart;
        EXPECT_EQ(result.standardError.rfind(each.errorStart, 0), 0u) << result.standardError;
        EXPECT_EQ(result.standardOutput, "");
    }
}
