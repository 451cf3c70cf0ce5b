#pragma once

#include "core/session/PlatformBundle.h"
#include "platform/KeyboardEvents.h"
#include "ui/indicator/StatusIndicatorController.h"
#include "ui/indicator/SuggestionPanel.h"

#include <memory>

class QQmlEngine;

namespace parlune {

// AppState's surroundings in the desktop application, and the panels it shows.
struct DesktopPlatform {
    PlatformBundle bundle;
    std::shared_ptr<StatusIndicatorController> indicator;
    std::shared_ptr<SuggestionPanel> suggestionPanel;
    // The keyboard's events, for the hotkey recorder of the pages.
    std::shared_ptr<KeyboardEvents> keyboardEvents;
};

DesktopPlatform makeDesktopPlatform(EventLoop& loop, QQmlEngine& engine);

}  // namespace parlune
