// Capture through a private PulseAudio daemon: speech played into a null sink is recorded from its
// monitor and recognised; a missing server, microphone or permission gives a clear message.

#include "PrivateSoundServer.h"
#include "SpeechTesting.h"

#include "core/runtime/VirtualLoop.h"
#include "core/speech/DictationManager.h"
#include "fakes/FakeSpeech.h"
#include "linux/runtime/StdLoop.h"
#include "linux/speech/PulseAudioEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <set>
#include <thread>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

TEST(PulseAudio, SpeechPlayedIntoTheNullSinkIsRecordedAndRecognised) {
    PrivateSoundServer server;
    ASSERT_TRUE(server.isServing());
    const PulseAudioOptions options{server.address(), "vmic.monitor"};

    StdLoop loop;
    auto manager = DictationManager::create(loop, std::make_shared<PocketSphinxRecognizer>(),
                                            std::make_shared<PulseAudioEngine>(options),
                                            std::make_shared<PulseMicrophonePermission>(options));
    ASSERT_TRUE(loop.runUntil([&] { return manager->authorizationStatus() != SpeechAuthorizationStatus::notDetermined; }, 30s));

    spawn(loop, manager->startRecording({}));
    ASSERT_TRUE(loop.runUntil([&] { return manager->isRecording().get() || manager->errorMessage(); }, 10s));
    ASSERT_TRUE(manager->isRecording().get()) << manager->errorMessage().value_or("");

    const auto sample = fliteSamples()[1];
    ASSERT_EQ(server.play(sample.file).exitCode, 0);
    loop.runUntil([] { return false; }, 300ms);  // the sink's last buffer reaches the monitor

    std::optional<std::string> transcript;
    spawn(loop, [](std::shared_ptr<DictationManager> m, std::optional<std::string>* out) -> Task<void> {
        *out = co_await m->stopRecording();
    }(manager, &transcript));
    ASSERT_TRUE(loop.runUntil([&] { return transcript.has_value(); }, 10s));
    EXPECT_LE(wordErrorRate({sample.reference}, {*transcript}), 0.2) << *transcript;
    EXPECT_FALSE(manager->errorMessage());
}

TEST(PulseAudio, TheTapGetsBuffersOfExactlyItsSizeUntilItIsRemoved) {
    PrivateSoundServer server;
    ASSERT_TRUE(server.isServing());
    PulseAudioEngine engine({server.address(), "vmic.monitor"});
    EXPECT_EQ(engine.inputFormat(), (AudioFormat{16000, 1}));

    std::mutex mutex;
    std::set<std::size_t> sizes;
    std::atomic<int> buffers{0};
    std::promise<void> enough;
    ASSERT_TRUE(engine.installTap(1024, engine.inputFormat(), [&](const AudioBuffer& buffer) {
        std::lock_guard lock(mutex);
        sizes.insert(buffer.frameCount);
        if (++buffers == 4) enough.set_value();
    }));
    EXPECT_FALSE(engine.installTap(1024, engine.inputFormat(), [](const AudioBuffer&) {})) << "one tap only";
    ASSERT_EQ(engine.start(), std::nullopt);
    EXPECT_TRUE(engine.isRunning());
    EXPECT_EQ(enough.get_future().wait_for(10s), std::future_status::ready) << "the monitor's silence streams in";
    engine.removeTap();
    const int afterRemoval = buffers;
    engine.stop();
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(buffers, afterRemoval);
    std::lock_guard lock(mutex);
    EXPECT_EQ(sizes, std::set<std::size_t>{1024});
}

TEST(PulseAudio, MissingServerMicrophoneOrPermissionGiveClearMessages) {
    const int refusingPort = PrivateSoundServer::freeLoopbackPort();
    PrivateSoundServer server(refusingPort);
    ASSERT_TRUE(server.isServing());
    TemporaryFolder nowhere;

    const struct {
        PulseAudioOptions options;
        const char* message;
    } cases[] = {
        {{"unix:" + nowhere.path() + "/native", ""}, "Failed to start audio engine: no PulseAudio/PipeWire server running"},
        {{server.address(), "no-such-microphone"}, "Failed to start audio engine: no microphone found"},
        {{"tcp:127.0.0.1:" + std::to_string(refusingPort), ""},
         "Microphone access not granted. Please enable in System Settings > Privacy & Security > Microphone."},
    };
    for (const auto& each : cases) {
        VirtualLoop loop;
        auto recognizer = std::make_shared<fakes::FakeSpeechRecognizer>();
        auto engine = std::make_shared<PulseAudioEngine>(each.options);
        auto microphone = std::make_shared<PulseMicrophonePermission>(each.options);
        auto manager = DictationManager::create(loop, recognizer, engine, microphone);
        recognizer->answerAuthorization(SpeechAuthorizationStatus::authorized);
        spawn(loop, manager->startRecording({}));
        // The microphone question is answered on a thread of its own.
        for (int waited = 0; waited < 1000 && !manager->errorMessage() && !manager->isRecording().get(); ++waited) {
            loop.runUntilIdle();
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(manager->errorMessage(), each.message) << each.options.server;
        EXPECT_FALSE(manager->isRecording().get());
        EXPECT_FALSE(engine->isRunning());
    }
}
