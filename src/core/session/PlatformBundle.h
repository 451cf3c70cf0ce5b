#pragma once

#include "core/account/SupabaseClient.h"
#include "core/runtime/EventLoop.h"
#include "core/session/Workers.h"
#include "platform/ApplicationScanner.h"
#include "platform/SettingsStore.h"

#include <filesystem>
#include <memory>

namespace parlune {

// Everything AppState takes from its surroundings. The application, the command line and the
// tests each build the bundle they need.
struct PlatformBundle {
    EventLoop* loop = nullptr;
    std::shared_ptr<SettingsStore> store;
    std::shared_ptr<IDictationManager> dictationManager;
    std::shared_ptr<IKeyboardMonitor> keyboardMonitor;
    std::shared_ptr<IStatusIndicator> statusIndicator;
    std::shared_ptr<IMediaController> mediaController;
    std::shared_ptr<IDiffTracker> diffTracker;
    std::shared_ptr<IAutoDictionaryNotifier> autoDictionaryNotifier;
    std::shared_ptr<ITextInjector> textInjector;
    std::shared_ptr<ITextProcessor> textProcessor;
    std::shared_ptr<IWorkspace> workspace;
    std::shared_ptr<ISpellChecker> spellChecker;
    // Lists the installed applications; the views load their InstalledAppsProvider with it.
    std::shared_ptr<ApplicationScanner> applicationScanner;
    // The backend client of the profile-picture upload (none: uploads fail with a log line).
    std::shared_ptr<SupabaseClient> supabaseClient;
    // The application-support folder (profile picture and other files of ours).
    std::filesystem::path applicationSupportFolder;
    // The hotkey used when none is stored or the stored one cannot be read. Desktops on which the
    // usual default key cannot be seen supply another.
    RecordedHotkey defaultHotkey = RecordedHotkey::defaultHotkey();
};

}  // namespace parlune
