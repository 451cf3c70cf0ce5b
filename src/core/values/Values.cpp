#include "core/values/Values.h"

#include <nlohmann/json.hpp>

#include <limits>
#include <ostream>

namespace parlune {
namespace {

template <class Enum, std::size_t count>
std::optional<Enum> fromRaw(const std::array<Enum, count>& all, std::string_view raw) {
    for (const Enum value : all) {
        if (rawValue(value) == raw) {
            return value;
        }
    }
    return std::nullopt;
}

// The unsigned value of a JSON integer no larger than `maximum`; none for anything else
// (negative, fractional, not a number).
std::optional<std::uint64_t> unsignedInteger(const nlohmann::json& value, std::uint64_t maximum) {
    std::uint64_t number = 0;
    if (value.is_number_unsigned()) {
        number = value.get<std::uint64_t>();
    } else if (value.is_number_integer() && value.get<std::int64_t>() == 0) {
        number = 0;  // "-0"
    } else {
        return std::nullopt;
    }
    if (number > maximum) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

std::string_view rawValue(WritingStyle style) {
    switch (style) {
    case WritingStyle::casual:
        return "Casual";
    case WritingStyle::standard:
        return "Standard";
    case WritingStyle::formal:
        return "Formal";
    }
    return {};
}

std::optional<WritingStyle> writingStyleFromRaw(std::string_view raw) {
    return fromRaw(allWritingStyles(), raw);
}

const std::array<WritingStyle, 3>& allWritingStyles() {
    static constexpr std::array<WritingStyle, 3> all{WritingStyle::casual, WritingStyle::standard,
                                                     WritingStyle::formal};
    return all;
}

std::ostream& operator<<(std::ostream& out, WritingStyle style) {
    return out << rawValue(style);
}

std::string_view rawValue(AppCategory category) {
    switch (category) {
    case AppCategory::work:
        return "Work";
    case AppCategory::social:
        return "Social";
    case AppCategory::code:
        return "Code";
    }
    return {};
}

std::optional<AppCategory> appCategoryFromRaw(std::string_view raw) {
    return fromRaw(allAppCategories(), raw);
}

const std::array<AppCategory, 3>& allAppCategories() {
    static constexpr std::array<AppCategory, 3> all{AppCategory::work, AppCategory::social, AppCategory::code};
    return all;
}

std::ostream& operator<<(std::ostream& out, AppCategory category) {
    return out << rawValue(category);
}

std::string_view rawValue(ModelProvider provider) {
    switch (provider) {
    case ModelProvider::appleFoundation:
        return "Local";
    case ModelProvider::llamaScout:
        return "Fast";
    }
    return {};
}

std::optional<ModelProvider> modelProviderFromRaw(std::string_view raw) {
    return fromRaw(allModelProviders(), raw);
}

const std::array<ModelProvider, 2>& allModelProviders() {
    static constexpr std::array<ModelProvider, 2> all{ModelProvider::appleFoundation, ModelProvider::llamaScout};
    return all;
}

std::ostream& operator<<(std::ostream& out, ModelProvider provider) {
    return out << rawValue(provider);
}

const std::set<std::uint16_t>& modifierKeyCodes() {
    static const std::set<std::uint16_t> codes{54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 179};
    return codes;
}

bool isModifierKeyCode(std::uint16_t keyCode) {
    return modifierKeyCodes().contains(keyCode);
}

bool RecordedHotkey::isModifierOnly() const {
    return isModifierKeyCode(keyCode) && modifierFlags == 0;
}

RecordedHotkey RecordedHotkey::defaultHotkey() {
    return RecordedHotkey{63, 0, "Fn"};
}

std::string RecordedHotkey::encode() const {
    nlohmann::ordered_json object;
    object["keyCode"] = keyCode;
    object["modifierFlags"] = modifierFlags;
    object["displayName"] = displayName;
    // Ill-formed UTF-8 in the name is written as U+FFFD rather than failing.
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::optional<RecordedHotkey> RecordedHotkey::decode(std::string_view json) {
    try {
        const nlohmann::json object = nlohmann::json::parse(json.begin(), json.end(), nullptr, false);
        if (!object.is_object()) {
            return std::nullopt;
        }
        const auto keyCodeMember = object.find("keyCode");
        const auto nameMember = object.find("displayName");
        if (keyCodeMember == object.end() || nameMember == object.end() || !nameMember->is_string()) {
            return std::nullopt;
        }
        const auto code = unsignedInteger(*keyCodeMember, std::numeric_limits<std::uint16_t>::max());
        if (!code) {
            return std::nullopt;
        }
        std::uint64_t flags = 0;
        if (const auto flagsMember = object.find("modifierFlags"); flagsMember != object.end() && !flagsMember->is_null()) {
            const auto value = unsignedInteger(*flagsMember, std::numeric_limits<std::uint64_t>::max());
            if (!value) {
                return std::nullopt;
            }
            flags = *value;
        }
        return RecordedHotkey{static_cast<std::uint16_t>(*code), flags, nameMember->get<std::string>()};
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::ostream& operator<<(std::ostream& out, const RecordedHotkey& hotkey) {
    return out << "RecordedHotkey{keyCode: " << hotkey.keyCode << ", modifierFlags: 0x" << std::hex
               << hotkey.modifierFlags << std::dec << ", displayName: \"" << hotkey.displayName << "\"}";
}

}  // namespace parlune
