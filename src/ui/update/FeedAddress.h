#pragma once

#include <QUrl>

#include <optional>

namespace parlune {

// The update feed's address: "updateFeedURL" of parlune/deployment.json in $XDG_CONFIG_HOME, else
// in /etc/xdg, else the address compiled in. None when neither gives one (no update checks).
std::optional<QUrl> updateFeedAddress();

}  // namespace parlune
