#include "ui/DesktopPlatform.h"

#include "core/session/HeadlessWorkers.h"
#include "linux/platform/XdgPaths.h"
#include "linux/settings/FileSettingsStore.h"

namespace parlune {

// One line per worker: each takes the real Linux implementation as it becomes available; the
// rest stay the headless ones (nothing monitored, recorded or pasted).
DesktopPlatform makeDesktopPlatform(EventLoop& loop, QQmlEngine& engine) {
    DesktopPlatform desktop;
    // The frontmost application's icon: none until the frontmost-application lookup is plugged in.
    const FrontmostIconLookup frontmostIcon;
    desktop.indicator = std::make_shared<StatusIndicatorController>(engine, frontmostIcon);
    desktop.suggestionPanel = std::make_shared<SuggestionPanel>(engine);

    PlatformBundle& platform = desktop.bundle;
    platform.loop = &loop;
    platform.store = std::make_shared<FileSettingsStore>(FileSettingsStore::defaultPath());
    platform.dictationManager = std::make_shared<HeadlessDictationManager>();
    platform.keyboardMonitor = std::make_shared<HeadlessKeyboardMonitor>();
    platform.statusIndicator = desktop.indicator;
    platform.mediaController = std::make_shared<HeadlessMediaController>();
    platform.diffTracker = std::make_shared<HeadlessDiffTracker>();
    platform.autoDictionaryNotifier = std::make_shared<HeadlessAutoDictionaryNotifier>();
    platform.textInjector = std::make_shared<HeadlessTextInjector>();
    platform.textProcessor = std::make_shared<PassThroughTextProcessor>();
    platform.workspace = std::make_shared<HeadlessWorkspace>();
    platform.applicationSupportFolder = xdg::dataHome();
    return desktop;
}

}  // namespace parlune
