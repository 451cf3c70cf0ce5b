#pragma once

#include "platform/BundleResources.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace parlune {

// The application's shipped files, looked up in data folders in order.
class DataFolderResources final : public BundleResources {
public:
    DataFolderResources(std::vector<std::filesystem::path> folders, std::optional<std::filesystem::path> privateFrameworks)
        : folders_(std::move(folders)), privateFrameworks_(std::move(privateFrameworks)) {}

    // For the running program: the data folder of its installation (../share/parlune beside the
    // folder of the executable), the installation prefix it was built for, then the build tree;
    // private libraries in ../lib/parlune beside the executable.
    static std::shared_ptr<DataFolderResources> forThisProgram();

    std::optional<std::string> resourcePath(const std::string& name, const std::string& extension) const override;
    std::optional<std::string> privateFrameworksPath() const override;
    bool fileExists(const std::string& path) const override;

    const std::vector<std::filesystem::path>& folders() const { return folders_; }

private:
    std::vector<std::filesystem::path> folders_;
    std::optional<std::filesystem::path> privateFrameworks_;
};

}  // namespace parlune
