#pragma once

#include "core/session/PlatformBundle.h"
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
};

DesktopPlatform makeDesktopPlatform(EventLoop& loop, QQmlEngine& engine);

}  // namespace parlune
