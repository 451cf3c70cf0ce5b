// DictationManager over a fake recogniser, audio engine and microphone permission, on virtual time.

#include "core/runtime/VirtualLoop.h"
#include "core/speech/DictationManager.h"
#include "fakes/FakeSpeech.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace parlune;
using namespace parlune::fakes;
using namespace std::chrono_literals;

namespace {

class Dictation : public ::testing::Test {
protected:
    void SetUp() override { create(); }

    void create() {
        manager = DictationManager::create(loop, recognizer, engine, microphone);
        loop.runUntilIdle();
    }
    void authorize() {
        recognizer->answerAuthorization(SpeechAuthorizationStatus::authorized);
        loop.runUntilIdle();
    }
    void start(std::vector<std::string> words = {}) {
        spawn(loop, manager->startRecording(std::move(words)));
        loop.runUntilIdle();
    }
    // Starts the stop; its result lands in `transcript` when it finishes.
    TaskHandle stop() {
        transcript.reset();
        auto task = [](std::shared_ptr<DictationManager> m, std::optional<std::string>* out) -> Task<void> {
            *out = co_await m->stopRecording();
        };
        auto handle = spawn(loop, task(manager, &transcript));
        loop.runUntilIdle();
        return handle;
    }
    std::shared_ptr<FakeRecognitionTask> task(std::size_t index) const { return recognizer->tasks.at(index); }

    VirtualLoop loop;
    std::shared_ptr<FakeSpeechRecognizer> recognizer = std::make_shared<FakeSpeechRecognizer>();
    std::shared_ptr<FakeAudioEngine> engine = std::make_shared<FakeAudioEngine>();
    std::shared_ptr<FakeMicrophonePermission> microphone = std::make_shared<FakeMicrophonePermission>();
    std::shared_ptr<DictationManager> manager;
    std::optional<std::string> transcript;
};

}  // namespace

TEST_F(Dictation, ARecordingFromStartToFinalTranscript) {
    EXPECT_EQ(recognizer->authorizationRequests, 1) << "permission is asked at construction";
    authorize();
    start({"Kubernetes", "Parlune"});
    ASSERT_TRUE(manager->isRecording().get());
    EXPECT_FALSE(manager->errorMessage());
    EXPECT_EQ(engine->tapBufferSize, 1024u);
    EXPECT_EQ(engine->tapFormat, engine->format);
    EXPECT_EQ(engine->prepares, 1);

    auto request = task(0)->request;
    EXPECT_TRUE(request->shouldReportPartialResults);
    EXPECT_TRUE(request->addsPunctuation);
    EXPECT_EQ(request->contextualStrings, (std::vector<std::string>{"Kubernetes", "Parlune"}));
    engine->capture(1024);
    engine->capture(1024);
    EXPECT_EQ(request->framesAppended, 2048u);

    recognizer->partial("Deploy");
    recognizer->partial("Deploy with");
    loop.runUntilIdle();
    EXPECT_EQ(manager->transcribedText().get(), "Deploy with");

    stop();
    EXPECT_FALSE(manager->isRecording().get());
    EXPECT_FALSE(engine->running);
    EXPECT_FALSE(engine->hasTap());
    EXPECT_TRUE(request->ended);
    engine->capture(1024);
    EXPECT_EQ(request->framesAppended, 2048u) << "nothing is captured after the stop";

    loop.advance(20ms);
    recognizer->final("Deploy with Kubernetes.");
    loop.advance(579ms);
    EXPECT_FALSE(transcript) << "the stop drains for 600 ms";
    EXPECT_FALSE(task(0)->cancelled);
    loop.advance(1ms);
    EXPECT_EQ(transcript, "Deploy with Kubernetes.");
    EXPECT_TRUE(task(0)->cancelled);
    EXPECT_EQ(manager->transcribedText().get(), "");
    EXPECT_FALSE(manager->errorMessage()) << "the cancellation error after the stop is dropped";
}

TEST_F(Dictation, AResultAfterTheDrainIsLostAndACancelledStopEndsTheDrainAtOnce) {
    authorize();
    start();
    recognizer->partial("hello");
    stop();
    loop.advance(600ms);
    recognizer->final("Hello world.");
    loop.runUntilIdle();
    EXPECT_EQ(transcript, "hello");
    EXPECT_FALSE(manager->errorMessage()) << "the cancellation error after the stop is dropped";

    start();
    recognizer->partial("Second");
    auto handle = stop();
    loop.advance(100ms);
    handle.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(transcript, "Second") << "the steps after the wait still run";
    EXPECT_TRUE(task(1)->cancelled);
    EXPECT_EQ(manager->transcribedText().get(), "");
    EXPECT_EQ(loop.elapsed(), 700ms);
}

TEST_F(Dictation, UndecidedSpeechPermissionFailsTheStartUntilTheAnswerComes) {
    start();
    EXPECT_EQ(manager->errorMessage(), "Speech recognition not authorized");
    EXPECT_FALSE(manager->isRecording().get());
    EXPECT_TRUE(recognizer->tasks.empty());
    EXPECT_EQ(manager->authorizationStatus(), SpeechAuthorizationStatus::notDetermined);

    std::vector<SpeechAuthorizationStatus> observed;
    auto subscription = manager->observeAuthorizationStatus([&](SpeechAuthorizationStatus status) { observed.push_back(status); });
    authorize();
    EXPECT_EQ(manager->authorizationStatus(), SpeechAuthorizationStatus::authorized);
    EXPECT_EQ(observed, std::vector<SpeechAuthorizationStatus>{SpeechAuthorizationStatus::authorized});
    EXPECT_EQ(manager->errorMessage(), "Speech recognition not authorized") << "an authorized answer leaves the message alone";
    start();
    EXPECT_TRUE(manager->isRecording().get());
    EXPECT_EQ(recognizer->authorizationRequests, 1) << "a start asks no new question";
}

TEST_F(Dictation, DeniedSpeechPermissionKeepsTheLongMessageUntilAStartReplacesIt) {
    for (auto status : {SpeechAuthorizationStatus::denied, SpeechAuthorizationStatus::restricted}) {
        create();
        recognizer->answerAuthorization(status);
        loop.runUntilIdle();
        EXPECT_EQ(manager->errorMessage(),
                  "Speech recognition not authorized. Please enable in System Settings > Privacy & Security > Speech Recognition.");
        start();
        EXPECT_EQ(manager->errorMessage(), "Speech recognition not authorized");
        stop();
        EXPECT_EQ(transcript, "");
    }
}

TEST_F(Dictation, UndecidedMicrophoneIsAskedAndRecordingBeginsOnlyWhenGranted) {
    authorize();
    for (bool granted : {false, true}) {
        microphone->current = MicrophoneAuthorization::notDetermined;
        start();
        EXPECT_EQ(microphone->requests, granted ? 2 : 1);
        EXPECT_FALSE(engine->running) << "the start waits for the answer";
        EXPECT_TRUE(recognizer->tasks.empty());
        microphone->answer(granted);
        loop.runUntilIdle();
        EXPECT_EQ(manager->isRecording().get(), granted);
        EXPECT_EQ(engine->running, granted);
        if (!granted) {
            EXPECT_EQ(manager->errorMessage(),
                      "Microphone access not granted. Please enable in System Settings > Privacy & Security > Microphone.");
        }
    }
    for (auto refused : {MicrophoneAuthorization::denied, MicrophoneAuthorization::restricted}) {
        stop();
        loop.advance(600ms);
        microphone->current = refused;
        start();
        EXPECT_FALSE(manager->isRecording().get());
        EXPECT_EQ(microphone->requests, 2) << "a refusal is not asked again";
    }
}

TEST_F(Dictation, StartFailuresLeaveTheManagerIdleWithTheirMessage) {
    authorize();
    recognizer->available = false;
    start();
    EXPECT_EQ(manager->errorMessage(), "Speech recognizer not available");

    recognizer->available = true;
    recognizer->failRequests = true;
    start();
    EXPECT_EQ(manager->errorMessage(), "Unable to create recognition request");
    EXPECT_FALSE(manager->isRecording().get());
    EXPECT_FALSE(engine->hasTap());

    auto none = DictationManager::create(loop, nullptr, engine, microphone);
    loop.runUntilIdle();
    EXPECT_EQ(none->authorizationStatus(), SpeechAuthorizationStatus::restricted);
    spawn(loop, none->startRecording({}));
    loop.runUntilIdle();
    EXPECT_EQ(none->errorMessage(), "Speech recognition not authorized");
}

TEST_F(Dictation, AnEngineThatFailsIsTornDownAndTheNextStartSucceeds) {
    authorize();
    start();
    recognizer->partial("Half a thought");
    loop.runUntilIdle();
    stop();
    loop.advance(600ms);

    engine->startFailure = "no microphone found";
    start();
    EXPECT_EQ(manager->errorMessage(), "Failed to start audio engine: no microphone found");
    EXPECT_FALSE(manager->isRecording().get());
    EXPECT_FALSE(engine->hasTap()) << "no tap remains after the tear-down";
    EXPECT_TRUE(task(1)->request->ended);
    EXPECT_TRUE(task(1)->cancelled);
    loop.runUntilIdle();
    EXPECT_EQ(manager->errorMessage(), "Failed to start audio engine: no microphone found")
        << "the tear-down's cancellation error does not replace the cause";
    stop();
    EXPECT_EQ(transcript, "") << "a failed start leaves an empty transcript";

    engine->startFailure.reset();
    start();
    EXPECT_TRUE(manager->isRecording().get());
    EXPECT_FALSE(manager->errorMessage());
    engine->capture(1024);
    EXPECT_EQ(task(2)->request->framesAppended, 1024u);
}

TEST_F(Dictation, StaleResultsAreIgnoredAndTheNewestResultWins) {
    authorize();
    start();
    auto first = task(0);
    stop();
    start();
    ASSERT_TRUE(manager->isRecording().get()) << "a start during the drain is not refused";
    EXPECT_EQ(manager->sessionID(), 2u);
    FakeSpeechRecognizer::deliver(first, "old words", false);
    loop.runUntilIdle();
    EXPECT_EQ(manager->transcribedText().get(), "") << "a partial of an earlier recording is ignored";

    recognizer->final("One.");
    recognizer->partial("One two");
    loop.runUntilIdle();
    EXPECT_EQ(manager->transcribedText().get(), "One two") << "partial and final alike: the newest wins";

    recognizer->fail("The decoder stopped");
    loop.runUntilIdle();
    EXPECT_EQ(manager->errorMessage(), "Recognition error: The decoder stopped");
    EXPECT_TRUE(manager->isRecording().get()) << "an error does not stop the recording";
    EXPECT_EQ(manager->transcribedText().get(), "One two");
    loop.advance(1s);
}

TEST_F(Dictation, StopWithNothingRecordingHandsBackTheTextAndClearsIt) {
    authorize();
    stop();
    EXPECT_EQ(transcript, "");
    EXPECT_EQ(loop.elapsed(), 0ms) << "no drain when nothing records";

    microphone->current = MicrophoneAuthorization::notDetermined;
    start();
    stop();
    EXPECT_EQ(transcript, "") << "a stop while the start waits for the microphone finds nothing recording";
    EXPECT_EQ(loop.elapsed(), 0ms);
    microphone->answer(true);
    loop.runUntilIdle();
    EXPECT_TRUE(manager->isRecording().get()) << "the start goes on after its wait";
}

TEST_F(Dictation, TheTapIsSafeWhileTheLoopReplacesTheRequest) {
    authorize();
    std::atomic<bool> done{false};
    std::thread capture([&] {
        while (!done) engine->capture(16);
    });
    for (int round = 0; round < 200; ++round) {
        start();
        stop();
        loop.advance(600ms);
    }
    done = true;
    capture.join();
    for (const auto& each : recognizer->tasks) EXPECT_EQ(each->request->framesAfterEnd, 0u);
}
