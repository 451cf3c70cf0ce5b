// parlune apps, parlune style, parlune frontmost

#include "cli/Command.h"
#include "cli/HeadlessApp.h"
#include "core/apps/AppCategoryMapping.h"
#include "core/apps/InstalledAppsProvider.h"
#include "core/log/Log.h"
#include "core/text/Text.h"
#include "linux/apps/X11Workspace.h"

#include <chrono>
#include <iostream>

namespace parlune::cli {
namespace {

constexpr auto scanTimeout = std::chrono::seconds(120);

template <class Value, std::size_t N>
std::optional<Value> parseChoice(const std::string& text, const std::array<Value, N>& values) {
    for (Value value : values) {
        if (toLower(rawValue(value)) == toLower(text)) return value;
    }
    return std::nullopt;
}

std::string categoryList(const std::string& name) {
    std::string result;
    for (AppCategory category : AppCategoryMapping::categories(name)) {
        result += (result.empty() ? "" : ",") + std::string(rawValue(category));
    }
    return result.empty() ? "-" : result;
}

int runApps(const std::vector<std::string>& args) {
    std::optional<AppCategory> category;
    if (args.size() == 2 && args[0] == "--category") {
        category = parseChoice(args[1], allAppCategories());
        if (!category) return usageError("unknown category '" + args[1] + "' (work, social or code)");
    } else if (!args.empty()) {
        return usageError("apps takes no arguments or --category work|social|code");
    }
    HeadlessApp headless;
    InstalledAppsProvider provider(headless.loop, headless.app->platform().applicationScanner);
    bool loaded = false;
    auto subscription = provider.apps().observe([&](const auto&) { loaded = true; });
    provider.loadApps();
    if (!headless.loop.runUntil([&] { return loaded; }, scanTimeout)) {
        std::cerr << "parlune: the application folders could not be read within 120 seconds\n";
        return 1;
    }
    for (const auto& app : category ? provider.apps(*category) : provider.apps().get()) {
        std::cout << app.id << '\t' << app.name << '\t' << categoryList(app.name) << '\t'
                  << rawValue(headless.app->styleForApp(app.id)) << '\n';
    }
    std::cout.flush();
    return 0;
}

int runStyle(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0].empty()) return usageError("style takes APP_KEY and casual, standard or formal");
    const auto style = parseChoice(args[1], allWritingStyles());
    if (!style) return usageError("unknown style '" + args[1] + "' (casual, standard or formal)");
    HeadlessApp headless;
    headless.app->setStyleForApp(args[0], *style);
    return 0;
}

int runFrontmost(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("frontmost takes no arguments");
    log::setStream(log::Stream::standardError);
    const auto application = X11Workspace::forCurrentUser()->frontmostApplication();
    if (!application) {
        std::cout << "No application in front" << std::endl;
        return 0;
    }
    std::cout << "key: " << application->key.value_or("none") << '\n' << "name: " << application->name << '\n';
    if (!application->iconFile.empty()) {
        std::cout << "icon: " << application->iconFile << '\n';
    } else if (application->windowIcon) {
        std::cout << "icon: the window's own, " << application->windowIcon->width << "×"
                  << application->windowIcon->height << '\n';
    } else {
        std::cout << "icon: none\n";
    }
    std::cout << "terminal: " << (application->isTerminalEmulator ? "yes" : "no") << std::endl;
    return 0;
}

const bool registered =
    registerCommand({"apps",
                     "  apps [--category NAME]     list the installed applications: key, name, categories, style;\n"
                     "                             with a category (work, social, code) its own, favourites first\n",
                     runApps}) &&
    registerCommand({"style",
                     "  style APP_KEY STYLE        set the writing style (casual, standard, formal) of one application\n",
                     runStyle}) &&
    registerCommand({"frontmost",
                     "  frontmost                  print the key and name of the application in front, if any\n",
                     runFrontmost});

}  // namespace
}  // namespace parlune::cli
