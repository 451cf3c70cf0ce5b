#include "fakes/SessionHarness.h"

#include <chrono>

namespace parlune::fakes {

CapturedLog::CapturedLog() : lines_(std::make_shared<std::vector<std::string>>()) {
    auto lines = lines_;
    log::setSink([lines](std::string_view line) { lines->emplace_back(line); });
}

CapturedLog::~CapturedLog() { log::setSink({}); }

std::vector<std::string> CapturedLog::lines() const { return *lines_; }

void CapturedLog::clear() { lines_->clear(); }

SessionHarness::SessionHarness() = default;

SessionHarness::~SessionHarness() {
    // Let every task finish so no coroutine frame outlives the test.
    app.reset();
    for (int i = 0; i < 1000 && loop.runNextTimer(); ++i) {
    }
    loop.runUntilIdle();
}

PlatformBundle SessionHarness::bundle() {
    PlatformBundle platform;
    platform.loop = &loop;
    platform.store = store;
    platform.dictationManager = dictation;
    platform.keyboardMonitor = monitor;
    platform.statusIndicator = indicator;
    platform.mediaController = media;
    platform.diffTracker = tracker;
    platform.autoDictionaryNotifier = notifier;
    platform.textInjector = injector;
    platform.textProcessor = processor;
    platform.workspace = workspace;
    platform.spellChecker = spellChecker;
    return platform;
}

std::shared_ptr<AppState> SessionHarness::start() {
    app = AppState::create(bundle());
    loop.runUntilIdle();
    return app;
}

}  // namespace parlune::fakes
