// parlune settings, parlune dictionary

#include "cli/Command.h"
#include "cli/HeadlessApp.h"

#include <nlohmann/json.hpp>

#include <iostream>

namespace parlune::cli {
namespace {

nlohmann::json settingsJson(const AppState& app) {
    nlohmann::json styles = nlohmann::json::object();
    for (const auto& [path, style] : app.appStyles().get()) styles[path] = rawValue(style);
    return {
        {AppState::selectedModelProviderKey, rawValue(app.selectedModelProvider().get())},
        {AppState::selectedHotkeyKey, nlohmann::json::parse(app.selectedHotkey()->encode())},
        {AppState::hasCompletedOnboardingKey, app.hasCompletedOnboarding().get()},
        {AppState::selectedWritingStyleKey, rawValue(app.selectedWritingStyle().get())},
        {AppState::dictionaryKey, app.dictionaryWords().get()},
        {AppState::appStylesKey, styles},
        {AppState::totalWordsKey, app.totalWords().get()},
        {AppState::timeSavedKey, app.timeSavedSeconds().get()},
    };
}

int runSettings(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("settings takes no arguments");
    HeadlessApp headless;
    std::cout << settingsJson(*headless.app).dump(2) << std::endl;
    return 0;
}

int runDictionary(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "list") {
        HeadlessApp headless;
        for (const auto& word : headless.app->dictionaryWords().get()) std::cout << word << '\n';
        std::cout.flush();
        return 0;
    }
    if (args.size() == 2 && (args[0] == "add" || args[0] == "remove")) {
        HeadlessApp headless;
        if (args[0] == "add") {
            headless.app->addDictionaryWord(args[1]);
        } else {
            headless.app->removeDictionaryWord(args[1]);
        }
        return 0;
    }
    return usageError("dictionary takes list, add WORD or remove WORD");
}

const bool registered = registerCommand({"settings",
                                         "  settings                   print the stored settings and statistics as one JSON object\n",
                                         runSettings}) &&
                        registerCommand({"dictionary",
                                         "  dictionary list            print the personal dictionary, newest first\n"
                                         "  dictionary add WORD        add a word (trimmed; exact duplicates are ignored)\n"
                                         "  dictionary remove WORD     remove every entry that is exactly WORD\n",
                                         runDictionary});

}  // namespace
}  // namespace parlune::cli
