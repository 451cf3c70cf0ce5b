#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace parlune {

// One user-interface object of another application, as the accessibility service sees it. Each
// platform derives its own handle; holding it keeps the reference alive.
class AccessibleElement {
public:
    virtual ~AccessibleElement() = default;
};

// Reads the focused text field of whatever application has the keyboard focus. Every read may
// fail (no accessibility service, the application went away, a field that is not text): it then
// gives none.
class IAccessibility {
public:
    virtual ~IAccessibility() = default;

    // The object that has the keyboard focus, none when there is none or it cannot be found.
    virtual std::shared_ptr<AccessibleElement> focusedElement() = 0;
    // The element's whole text; the empty string for an empty field, none when it holds no
    // readable text.
    virtual std::optional<std::string> value(const AccessibleElement& element) = 0;
    // Where the next typed character would go: the start of the selection when text is selected,
    // otherwise the caret. Counted in UTF-16 code units of value(); negative when the application
    // reports no position. None when it cannot be read.
    virtual std::optional<std::int64_t> insertionPoint(const AccessibleElement& element) = 0;
    // The name of the application the element belongs to, none when unknown.
    virtual std::optional<std::string> applicationName(const AccessibleElement& element) = 0;
};

}  // namespace parlune
