#pragma once

#include "platform/Accessibility.h"

#include <functional>
#include <memory>

namespace parlune {

// The focused field of any application through the AT-SPI accessibility bus. The focused object is
// found by walking the desktop tree: first the application whose window is in front, then windows
// marked active, then every showing window; hidden subtrees are skipped and the number of objects
// visited is bounded. Positions are converted to UTF-16 units of the value from the text the
// application itself gives for the range before them, whatever unit its toolkit counts in. Password
// fields give no text, and this process's own windows are not looked at (they would have to answer
// on the thread that asks). Calls block the loop for at most the bus's reply timeout.
class AtspiAccessibility final : public IAccessibility {
public:
    static constexpr int maxVisitedObjects = 4000;
    static constexpr int replyTimeoutMs = 1000;

    // The process id of the application in front, when known.
    using FrontmostProcess = std::function<std::optional<long>()>;

    // Connects to the accessibility bus; without one every read gives none (one line says so).
    static std::shared_ptr<AtspiAccessibility> create(FrontmostProcess frontmostProcess = {});

    bool isAvailable() const { return available_; }

    std::shared_ptr<AccessibleElement> focusedElement() override;
    std::optional<std::string> value(const AccessibleElement& element) override;
    std::optional<std::int64_t> insertionPoint(const AccessibleElement& element) override;
    std::optional<std::string> applicationName(const AccessibleElement& element) override;

private:
    AtspiAccessibility(bool available, FrontmostProcess frontmostProcess)
        : available_(available), frontmostProcess_(std::move(frontmostProcess)) {}
    bool available_;
    FrontmostProcess frontmostProcess_;
};

}  // namespace parlune
