#include "core/account/UserProfile.h"

#include "core/text/Text.h"

namespace parlune {
namespace {

std::optional<std::string> usable(const nlohmann::json& metadata, const char* key) {
    if (!metadata.is_object()) return std::nullopt;
    const auto found = metadata.find(key);
    if (found == metadata.end() || !found->is_string()) return std::nullopt;
    auto text = found->get<std::string>();
    if (text.empty()) return std::nullopt;
    return text;
}

}  // namespace

std::optional<std::string> displayName(const nlohmann::json& userMetadata) {
    if (auto full = usable(userMetadata, "full_name")) return full;
    auto given = usable(userMetadata, "given_name");
    if (auto family = usable(userMetadata, "family_name"); given && family) return *given + " " + *family;
    return given;
}

std::string initials(std::string_view name) {
    std::string result;
    int words = 0;
    while (!name.empty() && words < 2) {
        const auto start = name.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        name.remove_prefix(start);
        const auto end = name.find(' ');
        result += toUpper(firstCharacters(name.substr(0, end), 1));
        ++words;
        if (end == std::string_view::npos) break;
        name.remove_prefix(end);
    }
    return result;
}

}  // namespace parlune
