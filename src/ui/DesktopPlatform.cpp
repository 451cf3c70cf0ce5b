#include "ui/DesktopPlatform.h"

#include "core/cleanup/TextProcessor.h"
#include "linux/apps/X11Workspace.h"
#include "linux/hotkey/LinuxKeyboard.h"
#include "linux/insertion/InsertionDesktop.h"
#include "linux/http/CurlHttpClient.h"
#include "linux/platform/DeploymentConfigFile.h"
#include "linux/media/LinuxMediaController.h"
#include "linux/platform/HeadlessPlatform.h"
#include "linux/speech/DesktopDictation.h"
#include "ui/indicator/SuggestionPanels.h"

#include <QImage>

namespace parlune {
namespace {

// The icon of the application in front, as the indicator shows it.
FrontmostIconLookup frontmostIconOf(std::shared_ptr<FrontmostApplicationSource> source) {
    return [source]() -> std::optional<QImage> {
        auto application = source->frontmostApplication();
        if (!application) return std::nullopt;
        if (!application->iconFile.empty()) {
            QImage image(QString::fromStdString(application->iconFile));
            if (!image.isNull()) return image;
        }
        if (application->windowIcon) {
            const auto& icon = *application->windowIcon;
            return QImage(reinterpret_cast<const uchar*>(icon.argb.data()), icon.width, icon.height,
                          QImage::Format_ARGB32)
                .copy();
        }
        return QImage();
    };
}

}  // namespace

// The command line's surroundings (the user's settings store and folders), with the desktop's own
// pieces in place. Each worker that has its real Linux implementation gets one line here; the
// others stay headless (nothing recorded or pasted).
DesktopPlatform makeDesktopPlatform(EventLoop& loop, QQmlEngine& engine) {
    DesktopPlatform desktop;
    auto workspace = X11Workspace::forCurrentUser();
    desktop.indicator = std::make_shared<StatusIndicatorController>(engine, frontmostIconOf(workspace));
    desktop.suggestionPanel = std::make_shared<SuggestionPanel>(engine);

    desktop.bundle = makeHeadlessPlatform(loop);
    desktop.bundle.statusIndicator = desktop.indicator;
    desktop.bundle.workspace = workspace;
    const auto keyboard = LinuxKeyboard::open(loop);
    desktop.bundle.keyboardMonitor = keyboard.makeMonitor(loop);
    desktop.keyboardEvents = keyboard.events;
    desktop.bundle.textProcessor =
        std::make_shared<TextProcessor>(std::make_shared<CurlHttpClient>(loop), loadDeploymentConfig());
    desktop.bundle.mediaController = makeLinuxMediaController(loop);
    // Reading and pasting into the focused field, correction tracking and dictionary proposals.
    InsertionDesktop::Options insertion;
    insertion.connection = keyboard.connection;
    insertion.frontmostApplications = workspace;
    insertion.suggestionPanels = std::make_shared<QtSuggestionPanels>(desktop.suggestionPanel);
    InsertionDesktop::open(loop, insertion).install(desktop.bundle);
    desktop.bundle.dictationManager = makeDesktopDictationManager(loop);
    return desktop;
}

}  // namespace parlune
