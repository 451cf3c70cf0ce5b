#include "linux/apps/DesktopApplicationScanner.h"

#include "linux/apps/DesktopEntries.h"

#include <memory>

namespace parlune {

DesktopApplicationScanner::DesktopApplicationScanner(std::vector<std::filesystem::path> folders,
                                                     IconTheme::Settings iconSettings)
    : folders_(std::move(folders)), iconSettings_(std::move(iconSettings)) {}

std::shared_ptr<DesktopApplicationScanner> DesktopApplicationScanner::forCurrentUser() {
    return std::make_shared<DesktopApplicationScanner>(desktop::applicationFolders(),
                                                       IconTheme::Settings::forCurrentUser());
}

std::vector<InstalledApp> DesktopApplicationScanner::scanApplications() {
    IconTheme icons(iconSettings_);
    std::vector<InstalledApp> apps;
    for (auto& entry : desktop::scanApplicationEntries(folders_)) {
        apps.push_back({std::move(entry.path), std::move(entry.name), icons.lookup(entry.icon, iconSize)});
    }
    return apps;
}

}  // namespace parlune
