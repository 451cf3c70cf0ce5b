// parlune prompt, parlune clean

#include "cli/Command.h"
#include "cli/HeadlessApp.h"
#include "core/cleanup/TextProcessor.h"
#include "core/text/Text.h"
#include "linux/http/CurlHttpClient.h"
#include "linux/platform/DeploymentConfigFile.h"

#include <iostream>
#include <optional>

namespace parlune::cli {
namespace {

struct CleanupOptions {
    std::optional<WritingStyle> style;
    std::optional<ModelProvider> provider;
    std::optional<std::string> preceding;
    std::vector<std::string> texts;
    std::string error;  // set when the arguments are not understood
};

// A value by its raw value, in any case ("casual", "Casual").
template <class Value, std::size_t Count>
std::optional<Value> byName(const std::array<Value, Count>& values, const std::string& name) {
    for (const auto value : values) {
        if (toLower(rawValue(value)) == toLower(name)) return value;
    }
    return std::nullopt;
}

CleanupOptions parseOptions(const std::vector<std::string>& args, bool allowProvider) {
    CleanupOptions options;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < args.size() && options.error.empty(); ++index) {
        const std::string& arg = args[index];
        if (optionsEnded || !arg.starts_with("--")) {
            options.texts.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (index + 1 == args.size()) {
            options.error = arg + " needs a value";
            break;
        }
        const std::string& value = args[++index];
        if (arg == "--style") {
            options.style = byName(allWritingStyles(), value);
            if (!options.style) options.error = "unknown style '" + value + "' (casual, standard or formal)";
        } else if (arg == "--provider" && allowProvider) {
            options.provider = byName(allModelProviders(), value);
            if (!options.provider) options.error = "unknown provider '" + value + "' (local or fast)";
        } else if (arg == "--preceding") {
            options.preceding = value;
        } else {
            options.error = "unknown option " + arg;
        }
    }
    return options;
}

int runPrompt(const std::vector<std::string>& args) {
    const CleanupOptions options = parseOptions(args, false);
    if (!options.error.empty()) return usageError("prompt: " + options.error);
    if (!options.texts.empty()) return usageError("prompt takes only options");
    HeadlessApp headless;
    const WritingStyle style = options.style.value_or(headless.app->selectedWritingStyle().get());
    std::cout << TextProcessor::buildSystemPrompt(style, headless.app->dictionaryWords().get(), options.preceding);
    std::cout.flush();
    return 0;
}

Task<void> cleanInto(TextProcessor& processor, std::string text, ModelProvider provider, WritingStyle style,
                     std::vector<std::string> words, std::optional<std::string> preceding,
                     std::optional<std::string>& result) {
    result = co_await processor.processText(std::move(text), provider, style, std::move(words), std::move(preceding));
}

int runClean(const std::vector<std::string>& args) {
    const CleanupOptions options = parseOptions(args, true);
    if (!options.error.empty()) return usageError("clean: " + options.error);
    if (options.texts.size() != 1) return usageError("clean takes one TEXT");
    HeadlessApp headless;
    AppState& app = *headless.app;
    TextProcessor processor(std::make_shared<CurlHttpClient>(headless.loop), loadDeploymentConfig());
    std::optional<std::string> result;
    TaskHandle task = spawn(headless.loop, cleanInto(processor, options.texts[0],
                                                     options.provider.value_or(app.selectedModelProvider().get()),
                                                     options.style.value_or(app.selectedWritingStyle().get()),
                                                     app.dictionaryWords().get(), options.preceding, result));
    // The cleanup answers within its own time limit; the bound here only guards against a fault.
    auto done = [&] { return task.isDone(); };
    if (!headless.loop.runUntil(done, std::chrono::seconds(30))) {
        task.cancel();
        headless.loop.runUntil(done, std::chrono::seconds(5));
    }
    std::cout << result.value_or(options.texts[0]) << std::endl;
    return 0;
}

const bool registered =
    registerCommand({"prompt",
                     "  prompt [--style S] [--preceding TEXT]\n"
                     "                             print the cleanup model's instructions for the saved dictionary\n"
                     "                             (style: casual, standard or formal; default the saved style)\n",
                     runPrompt}) &&
    registerCommand({"clean",
                     "  clean TEXT [--style S] [--provider P] [--preceding TEXT]\n"
                     "                             clean TEXT with the saved settings (provider: local or fast)\n",
                     runClean});

}  // namespace
}  // namespace parlune::cli
