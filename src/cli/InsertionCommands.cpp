// parlune paste, parlune field

#include "cli/Command.h"
#include "core/log/Log.h"
#include "linux/insertion/InsertionDesktop.h"
#include "linux/insertion/X11Windows.h"
#include "linux/runtime/StdLoop.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <iostream>

namespace parlune::cli {
namespace {

struct Arguments {
    std::chrono::milliseconds delay{0};
    std::vector<std::string> rest;
};

// Takes "--delay SECONDS" (or "--delay=SECONDS") anywhere before "--"; the rest stays in order.
std::optional<Arguments> parse(const std::vector<std::string>& args, std::string& problem) {
    Arguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded) {
            parsed.rest.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--delay" || arg.starts_with("--delay=")) {
            std::string value;
            if (arg == "--delay") {
                if (i + 1 >= args.size()) {
                    problem = "--delay needs a number of seconds";
                    return std::nullopt;
                }
                value = args[++i];
            } else {
                value = arg.substr(8);
            }
            double seconds = -1;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (error != std::errc() || end != value.data() + value.size() || !(seconds >= 0 && seconds <= 3600)) {
                problem = "--delay takes a number of seconds from 0 to 3600, not '" + value + "'";
                return std::nullopt;
            }
            parsed.delay = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
        } else if (arg.starts_with("--")) {
            problem = "unknown option '" + arg + "'";
            return std::nullopt;
        } else {
            parsed.rest.push_back(arg);
        }
    }
    return parsed;
}

// Runs `task` on a fresh loop until it ends.
void runToEnd(StdLoop& loop, Task<void> task) {
    bool finished = false;
    spawn(loop, [](Task<void> inner, bool& done) -> Task<void> {
        co_await inner;
        done = true;
    }(std::move(task), finished));
    loop.runUntil([&] { return finished; }, std::chrono::hours(2));
}

int runPaste(const std::vector<std::string>& args) {
    std::string problem;
    auto parsed = parse(args, problem);
    if (!parsed) return usageError(problem);
    if (parsed->rest.size() != 1) return usageError("paste takes one TEXT (quote it)");
    log::setStream(log::Stream::standardError);
    StdLoop loop;
    auto desktop = InsertionDesktop::open(loop);
    if (!desktop.x11) return 1;
    runToEnd(loop, [](std::shared_ptr<TextInjector> injector, std::string text, std::chrono::milliseconds delay) -> Task<void> {
        co_await sleepFor(delay);
        co_await injector->insert(std::move(text));
    }(desktop.textInjector, parsed->rest[0], parsed->delay));
    desktop.clipboard->handOver();
    return 0;
}

nlohmann::json optionalText(const std::optional<std::string>& text) { return text ? nlohmann::json(*text) : nlohmann::json(); }

int runField(const std::vector<std::string>& args) {
    std::string problem;
    auto parsed = parse(args, problem);
    if (!parsed) return usageError(problem);
    if (!parsed->rest.empty()) return usageError("field takes no arguments besides --delay");
    log::setStream(log::Stream::standardError);
    StdLoop loop;
    runToEnd(loop, [](std::chrono::milliseconds delay) -> Task<void> { co_await sleepFor(delay); }(parsed->delay));
    auto x11 = x11::openForInsertion(loop);
    auto accessibility = AtspiAccessibility::create(frontmostProcessOf(x11));
    auto injector = TextInjector::create(loop, {accessibility, nullptr, nullptr, nullptr});
    nlohmann::json result = {{"application", nullptr}, {"text", nullptr}, {"precedingText", nullptr}};
    if (auto element = injector->getFocusedElement()) {
        result["application"] = optionalText(accessibility->applicationName(*element));
        result["text"] = optionalText(injector->readText(*element));
        result["precedingText"] = optionalText(injector->readPrecedingText());
    }
    std::cout << result.dump(2) << std::endl;
    return accessibility->isAvailable() ? 0 : 1;
}

const bool registered =
    registerCommand({"paste",
                     "  paste [--delay S] TEXT     paste TEXT into the focused field as a dictation does, after S seconds\n",
                     runPaste}) &&
    registerCommand({"field",
                     "  field [--delay S]          print what is read from the focused field as JSON (application,\n"
                     "                             text, precedingText; null when unreadable), after S seconds\n",
                     runField});

}  // namespace
}  // namespace parlune::cli
