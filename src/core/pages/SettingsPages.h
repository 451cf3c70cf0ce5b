#pragma once

#include "core/apps/InstalledApp.h"
#include "core/session/AppState.h"
#include "core/values/Values.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// The home page's statistics lines. The word count is grouped as the locale (an ICU locale id,
// empty for the default) groups numbers; the time saved is shown in whole minutes.
std::string totalWordsLine(std::int64_t totalWords, const std::string& locale = {});
std::string minutesSavedLine(double timeSavedSeconds);

// The applications whose name contains `search` ignoring case, in the given order; all when the
// search is empty.
std::vector<InstalledApp> filterApps(const std::vector<InstalledApp>& apps, std::string_view search);

// One style chip of the Style page.
struct StyleChip {
    WritingStyle style;
    bool enabled;   // only with an application selected
    bool selected;  // the selected application's style
};

// The search and selection of the Style page.
class StyleSelection {
public:
    const std::string& searchText() const { return searchText_; }
    const std::optional<std::string>& selectedAppId() const { return selectedAppId_; }

    // The user typed: a full application name (any case) selects it and empties the box (true:
    // the box gives up the focus); any other non-empty text clears the selection.
    bool setSearchText(std::string text, const std::vector<InstalledApp>& apps);
    // A tap on an application's icon: selects it and empties the box, or clears the selection
    // when it was the selected one.
    void tapApp(const std::string& id);
    // The three chips, Casual, Standard, Formal.
    std::vector<StyleChip> chips(const AppState& app) const;
    // A tap on a chip: stores the style for the selected application (nothing without one).
    void chooseStyle(AppState& app, WritingStyle style) const;

private:
    std::string searchText_;
    std::optional<std::string> selectedAppId_;
};

}  // namespace parlune
