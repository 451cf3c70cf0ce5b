#include "linux/platform/HeadlessPlatform.h"

#include "core/session/HeadlessWorkers.h"
#include "linux/account/AccountServices.h"
#include "linux/apps/DesktopApplicationScanner.h"
#include "linux/hotkey/LinuxKeyboard.h"
#include "linux/platform/DeploymentConfigFile.h"
#include "linux/platform/XdgPaths.h"
#include "linux/settings/FileSettingsStore.h"

namespace parlune {

PlatformBundle makeHeadlessPlatform(EventLoop& loop) {
    PlatformBundle platform;
    platform.loop = &loop;
    platform.store = std::make_shared<FileSettingsStore>(FileSettingsStore::defaultPath());
    platform.dictationManager = std::make_shared<HeadlessDictationManager>();
    platform.keyboardMonitor = std::make_shared<HeadlessKeyboardMonitor>();
    platform.statusIndicator = std::make_shared<HeadlessStatusIndicator>();
    platform.mediaController = std::make_shared<HeadlessMediaController>();
    platform.diffTracker = std::make_shared<HeadlessDiffTracker>();
    platform.autoDictionaryNotifier = std::make_shared<HeadlessAutoDictionaryNotifier>();
    platform.textInjector = std::make_shared<HeadlessTextInjector>();
    platform.textProcessor = std::make_shared<PassThroughTextProcessor>();
    platform.workspace = std::make_shared<HeadlessWorkspace>();
    platform.applicationScanner = DesktopApplicationScanner::forCurrentUser();
    platform.supabaseClient = makeSupabaseClient(loadDeploymentConfig(), makeBackendServices(loop));
    platform.applicationSupportFolder = xdg::dataHome();
    platform.defaultHotkey = linuxDefaultHotkey();
    return platform;
}

}  // namespace parlune
