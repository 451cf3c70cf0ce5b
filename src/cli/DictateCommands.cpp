// parlune dictate: one dictation without a desktop, from a sound file or the microphone.

#include "cli/Command.h"
#include "cli/HeadlessApp.h"

#include "core/cleanup/TextProcessor.h"
#include "core/speech/DictationManager.h"
#include "core/text/Text.h"
#include "linux/http/CurlHttpClient.h"
#include "linux/platform/DeploymentConfigFile.h"
#include "linux/speech/PocketSphinxRecognizer.h"
#include "linux/speech/PulseAudioEngine.h"
#include "linux/speech/SpeechAudio.h"

#include <unistd.h>

#include <array>
#include <iostream>
#include <iterator>
#include <optional>

namespace parlune::cli {
namespace {

using namespace std::chrono_literals;

struct DictateArguments {
    std::optional<std::string> file;  // "-" for standard input; none for the microphone
    std::optional<WritingStyle> style;
    std::optional<ModelProvider> provider;
    bool raw = false;
};

// A value by its raw value, in any case ("formal", "Formal").
template <class Value, std::size_t Count>
std::optional<Value> named(const std::array<Value, Count>& values, const std::string& name) {
    for (const auto value : values) {
        if (localizedCaseInsensitiveEquals(rawValue(value), name)) return value;
    }
    return std::nullopt;
}

// Usage errors come back as a message.
std::optional<std::string> parse(const std::vector<std::string>& args, DictateArguments& parsed) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--raw") {
            parsed.raw = true;
        } else if (arg == "--style" || arg == "--provider") {
            if (i + 1 >= args.size()) return arg + " needs a value";
            const std::string& value = args[++i];
            if (arg == "--style") {
                parsed.style = named(allWritingStyles(), value);
                if (!parsed.style) return "unknown style '" + value + "' (casual, standard or formal)";
            } else {
                parsed.provider = named(allModelProviders(), value);
                if (!parsed.provider) return "unknown provider '" + value + "' (local or fast)";
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option '" + arg + "'";
        } else if (parsed.file) {
            return "dictate takes one file";
        } else {
            parsed.file = arg;
        }
    }
    return std::nullopt;
}

// Runs `task` on the loop until it finishes or `timeout` passes.
template <class T>
std::optional<T> await(StdLoop& loop, Task<T> task, Duration timeout) {
    auto result = std::make_shared<std::optional<T>>();
    auto run = [](Task<T> inner, std::shared_ptr<std::optional<T>> out) -> Task<void> { *out = co_await std::move(inner); };
    spawn(loop, run(std::move(task), result));
    loop.runUntil([&] { return result->has_value(); }, timeout);
    return *result;
}

bool await(StdLoop& loop, Task<void> task, Duration timeout) {
    auto done = std::make_shared<bool>(false);
    auto run = [](Task<void> inner, std::shared_ptr<bool> out) -> Task<void> {
        co_await std::move(inner);
        *out = true;
    };
    spawn(loop, run(std::move(task), done));
    return loop.runUntil([&] { return *done; }, timeout);
}

// Waits for a condition that other threads change without posting to the loop, looking every 10 ms.
bool waitFor(StdLoop& loop, const std::function<bool()>& done, Duration timeout) {
    const auto deadline = loop.now() + timeout;
    while (!done() && loop.now() < deadline) loop.runUntil(done, 10ms);
    return done();
}

int fail(const std::string& message) {
    std::cerr << "parlune: " << message << std::endl;
    return 1;
}

std::optional<SpeechSamples> readInput(const std::string& file, std::string& error) {
    if (file != "-") return readSpeechAudio(file, error);
    std::vector<char> bytes((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    return readSpeechAudio(bytes, error);
}

// Waits until the user presses Enter (or standard input ends).
void waitForEnter(StdLoop& loop) {
    bool pressed = false;
    auto watch = loop.watchReadable(STDIN_FILENO, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0 || std::string_view(buffer, static_cast<std::size_t>(n)).find('\n') != std::string_view::npos) pressed = true;
    });
    loop.runUntil([&] { return pressed; }, std::chrono::hours(1));
    watch.cancel();
}

int runDictate(const std::vector<std::string>& args) {
    DictateArguments arguments;
    if (auto problem = parse(args, arguments)) return usageError(*problem);

    // Everything below that calls back onto the loop is made after it, so it ends before the loop.
    HeadlessApp headless;
    StdLoop& loop = headless.loop;
    AppState& app = *headless.app;

    std::shared_ptr<AudioEngine> engine;
    std::shared_ptr<MicrophonePermission> microphone;
    std::shared_ptr<RecordedAudioEngine> recording;
    Duration audioLength{};
    if (arguments.file) {
        std::string error;
        auto samples = readInput(*arguments.file, error);
        if (!samples) return fail(error);
        audioLength = std::chrono::milliseconds(samples->size() / 16);
        recording = std::make_shared<RecordedAudioEngine>(std::move(*samples));
        engine = recording;
        microphone = std::make_shared<GrantedMicrophonePermission>();
    } else {
        engine = std::make_shared<PulseAudioEngine>();
        microphone = std::make_shared<PulseMicrophonePermission>();
    }
    const std::vector<std::string> words = app.dictionaryWords().get();
    const WritingStyle style = arguments.style.value_or(app.selectedWritingStyle().get());
    const ModelProvider provider = arguments.provider.value_or(app.selectedModelProvider().get());

    auto recognizer = std::make_shared<PocketSphinxRecognizer>();
    auto manager = DictationManager::create(loop, recognizer, engine, microphone);
    loop.runUntil([&] { return manager->authorizationStatus() != SpeechAuthorizationStatus::notDetermined; }, 60s);
    if (manager->authorizationStatus() != SpeechAuthorizationStatus::authorized) {
        return fail(manager->errorMessage().value_or("the speech model did not load in time"));
    }
    // Unlike a key press, a one-off dictation can wait for the dictionary words to be learnt.
    if (!words.empty()) {
        recognizer->prepareWords(words);
        waitFor(loop, [&] { return recognizer->isPreparedFor(words); }, 120s);
    }

    Subscription partials;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    if (terminal) {
        partials = manager->transcribedText().observe([](const std::string& text) {
            if (!text.empty()) std::cerr << "\r\033[K" << text << std::flush;
        });
    }

    if (!await(loop, manager->startRecording(words), 60s) || !manager->isRecording().get()) {
        return fail(manager->errorMessage().value_or("the recording did not start"));
    }
    if (recording) {
        waitFor(loop, [&] { return recording->hasFinished() && recognizer->pendingBuffers() == 0; }, 60s + 4 * audioLength);
    } else {
        std::cerr << "Listening — press Enter to stop." << std::endl;
        waitForEnter(loop);
    }
    const std::string transcript = await(loop, manager->stopRecording(), 10s).value_or(std::string());
    partials.reset();
    if (terminal) std::cerr << "\r\033[K" << std::flush;
    if (transcript.empty()) return fail("no speech was recognised");

    std::string text = transcript;
    if (!arguments.raw) {
        // The cleanup answers within its own time limit; the bound here only guards against a fault.
        TextProcessor processor(std::make_shared<CurlHttpClient>(loop), loadDeploymentConfig());
        text = await(loop, processor.processText(transcript, provider, style, words, std::nullopt), 30s).value_or(transcript);
    }
    std::cout << text << std::endl;
    return 0;
}

const bool registered = registerCommand(
    {"dictate",
     "  dictate [FILE | -] [--style STYLE] [--provider PROVIDER] [--raw]\n"
     "                             transcribe a sound file (any rate or channels; - reads standard input),\n"
     "                             or the microphone until Enter, clean it up and print the text;\n"
     "                             --style casual|standard|formal and --provider local|fast override the\n"
     "                             settings, --raw prints the transcript without the cleanup\n",
     runDictate});

}  // namespace
}  // namespace parlune::cli
