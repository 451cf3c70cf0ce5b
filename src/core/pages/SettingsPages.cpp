#include "core/pages/SettingsPages.h"

#include "core/text/Text.h"

#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/unistr.h>

#include <memory>

namespace parlune {

std::string totalWordsLine(std::int64_t totalWords, const std::string& locale) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale where = locale.empty() ? icu::Locale::getDefault() : icu::Locale(locale.c_str());
    std::unique_ptr<icu::NumberFormat> format(icu::NumberFormat::createInstance(where, status));
    std::string number;
    if (U_SUCCESS(status) && format) {
        icu::UnicodeString text;
        format->format(static_cast<int64_t>(totalWords), text);
        text.toUTF8String(number);
    }
    if (number.empty()) number = std::to_string(totalWords);
    return number + " words total.";
}

std::string minutesSavedLine(double timeSavedSeconds) {
    const double minutes = timeSavedSeconds / 60.0;
    // Whole minutes, fraction dropped; a value beyond the integer range or not a number shows 0.
    const std::int64_t whole = (minutes >= 0 && minutes < 9.2e18) ? static_cast<std::int64_t>(minutes) : 0;
    return std::to_string(whole) + " minutes saved.";
}

std::vector<InstalledApp> filterApps(const std::vector<InstalledApp>& apps, std::string_view search) {
    if (search.empty()) return apps;
    const std::string needle = toLower(search);
    std::vector<InstalledApp> matching;
    for (const auto& installed : apps) {
        if (toLower(installed.name).find(needle) != std::string::npos) matching.push_back(installed);
    }
    return matching;
}

bool StyleSelection::setSearchText(std::string text, const std::vector<InstalledApp>& apps) {
    for (const auto& installed : apps) {
        if (!text.empty() && localizedCaseInsensitiveEquals(installed.name, text)) {
            selectedAppId_ = installed.id;
            searchText_.clear();
            return true;
        }
    }
    if (!text.empty()) selectedAppId_.reset();
    searchText_ = std::move(text);
    return false;
}

void StyleSelection::tapApp(const std::string& id) {
    if (selectedAppId_ == id) {
        selectedAppId_.reset();
        return;
    }
    selectedAppId_ = id;
    searchText_.clear();
}

std::vector<StyleChip> StyleSelection::chips(const AppState& app) const {
    std::vector<StyleChip> chips;
    for (auto style : {WritingStyle::casual, WritingStyle::standard, WritingStyle::formal}) {
        const bool enabled = selectedAppId_.has_value();
        chips.push_back({style, enabled, enabled && app.styleForApp(*selectedAppId_) == style});
    }
    return chips;
}

void StyleSelection::chooseStyle(AppState& app, WritingStyle style) const {
    if (selectedAppId_) app.setStyleForApp(*selectedAppId_, style);
}

}  // namespace parlune
