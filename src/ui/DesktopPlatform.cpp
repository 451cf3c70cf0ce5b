#include "ui/DesktopPlatform.h"

#include "linux/media/LinuxMediaController.h"
#include "linux/platform/HeadlessPlatform.h"

namespace parlune {

// The command line's surroundings (the user's settings store and folders, headless workers), with
// the desktop's own pieces in place. Each worker that has its real Linux implementation gets one
// line here; the others stay headless (nothing monitored, recorded or pasted).
DesktopPlatform makeDesktopPlatform(EventLoop& loop, QQmlEngine& engine) {
    DesktopPlatform desktop;
    // The frontmost application's icon: none until the frontmost-application lookup is plugged in.
    const FrontmostIconLookup frontmostIcon;
    desktop.indicator = std::make_shared<StatusIndicatorController>(engine, frontmostIcon);
    desktop.suggestionPanel = std::make_shared<SuggestionPanel>(engine);

    desktop.bundle = makeHeadlessPlatform(loop);
    desktop.bundle.statusIndicator = desktop.indicator;
    desktop.bundle.mediaController = makeLinuxMediaController(loop);
    return desktop;
}

}  // namespace parlune
