#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace parlune {

// The name to show for a user's metadata: "full_name"; else "given_name" and "family_name" joined
// by one blank; else "given_name"; a value counts only when it is a non-empty JSON string. None
// when no value counts.
std::optional<std::string> displayName(const nlohmann::json& userMetadata);

// The first character (upper-cased) of each of the first two blank-separated words: "first last"
// gives "FL", a single word its first letter, an empty name "".
std::string initials(std::string_view name);

}  // namespace parlune
