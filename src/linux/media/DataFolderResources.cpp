#include "linux/media/DataFolderResources.h"

#include <algorithm>
#include <system_error>

namespace parlune {

std::shared_ptr<DataFolderResources> DataFolderResources::forThisProgram() {
    std::vector<std::filesystem::path> folders;
    std::optional<std::filesystem::path> privateFrameworks;
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto prefix = executable.parent_path().parent_path();
        folders.push_back(prefix / "share/parlune");
        privateFrameworks = prefix / "lib/parlune";
    }
    for (const std::filesystem::path candidate : {PARLUNE_INSTALL_DATA_DIR, PARLUNE_BUILD_DATA_DIR}) {
        if (std::find(folders.begin(), folders.end(), candidate) == folders.end()) folders.push_back(candidate);
    }
    return std::make_shared<DataFolderResources>(std::move(folders), std::move(privateFrameworks));
}

std::optional<std::string> DataFolderResources::resourcePath(const std::string& name, const std::string& extension) const {
    for (const auto& folder : folders_) {
        const auto candidate = folder / (name + "." + extension);
        if (fileExists(candidate.string())) return candidate.string();
    }
    return std::nullopt;
}

std::optional<std::string> DataFolderResources::privateFrameworksPath() const {
    if (!privateFrameworks_) return std::nullopt;
    return privateFrameworks_->string();
}

bool DataFolderResources::fileExists(const std::string& path) const {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace parlune
