#pragma once

// A whole AppState over fakes on a virtual-time loop, with the log captured.

#include "core/log/Log.h"
#include "core/runtime/VirtualLoop.h"
#include "core/session/AppState.h"
#include "core/settings/MemorySettingsStore.h"
#include "fakes/FakeWorkers.h"

#include <memory>
#include <string>
#include <vector>

namespace parlune::fakes {

class CapturedLog {
public:
    CapturedLog();
    ~CapturedLog();
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    std::vector<std::string> lines() const;
    void clear();

private:
    std::shared_ptr<std::vector<std::string>> lines_;
};

struct SessionHarness {
    SessionHarness();
    ~SessionHarness();

    // Builds AppState over the current store and fakes (again, for a "restart").
    std::shared_ptr<AppState> start();
    PlatformBundle bundle();

    VirtualLoop loop;
    CapturedLog log;
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    std::shared_ptr<MemorySettingsStore> store = std::make_shared<MemorySettingsStore>();
    std::shared_ptr<FakeDictationManager> dictation = std::make_shared<FakeDictationManager>(journal);
    std::shared_ptr<FakeKeyboardMonitor> monitor = std::make_shared<FakeKeyboardMonitor>(journal);
    std::shared_ptr<FakeStatusIndicator> indicator = std::make_shared<FakeStatusIndicator>(journal);
    std::shared_ptr<FakeMediaController> media = std::make_shared<FakeMediaController>(journal);
    std::shared_ptr<FakeDiffTracker> tracker = std::make_shared<FakeDiffTracker>(journal);
    std::shared_ptr<FakeAutoDictionaryNotifier> notifier = std::make_shared<FakeAutoDictionaryNotifier>(journal);
    std::shared_ptr<FakeTextInjector> injector = std::make_shared<FakeTextInjector>(journal);
    std::shared_ptr<FakeTextProcessor> processor = std::make_shared<FakeTextProcessor>(journal);
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeSpellChecker> spellChecker = std::make_shared<FakeSpellChecker>();
    std::shared_ptr<AppState> app;
};

}  // namespace parlune::fakes
