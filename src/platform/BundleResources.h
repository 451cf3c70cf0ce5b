#pragma once

#include <optional>
#include <string>

namespace parlune {

// The files shipped with the application.
class BundleResources {
public:
    virtual ~BundleResources() = default;
    // The path of the resource NAME.EXTENSION (a file or a folder), none when it is not shipped.
    virtual std::optional<std::string> resourcePath(const std::string& name, const std::string& extension) const = 0;
    // The folder of the application's private libraries, none when it has none.
    virtual std::optional<std::string> privateFrameworksPath() const = 0;
    virtual bool fileExists(const std::string& path) const = 0;
};

}  // namespace parlune
