#pragma once

#include "linux/apps/IconTheme.h"
#include "platform/ApplicationScanner.h"

#include <filesystem>
#include <vector>

namespace parlune {

// The installed applications as .desktop files, with their icons from the icon theme.
class DesktopApplicationScanner final : public ApplicationScanner {
public:
    DesktopApplicationScanner(std::vector<std::filesystem::path> folders, IconTheme::Settings iconSettings);
    // The current user's folders and icon theme, as the environment gives them now.
    static std::shared_ptr<DesktopApplicationScanner> forCurrentUser();

    std::vector<InstalledApp> scanApplications() override;

    static constexpr int iconSize = 64;

private:
    std::vector<std::filesystem::path> folders_;
    IconTheme::Settings iconSettings_;
};

}  // namespace parlune
