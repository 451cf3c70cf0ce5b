#include "platform/SettingsStore.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace parlune {
namespace {

using nlohmann::json;

constexpr std::string_view base64Key = "$base64";
constexpr std::string_view base64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Maps each byte to its 6-bit value, or -1 for anything outside the standard alphabet ('=' too).
constexpr std::array<int, 256> base64Values = [] {
    std::array<int, 256> table{};
    table.fill(-1);
    for (std::size_t i = 0; i < base64Alphabet.size(); ++i) {
        table[static_cast<unsigned char>(base64Alphabet[i])] = static_cast<int>(i);
    }
    return table;
}();

std::string encodeBase64(const Bytes& data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const std::uint32_t group = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
        out.push_back(base64Alphabet[(group >> 18) & 0x3F]);
        out.push_back(base64Alphabet[(group >> 12) & 0x3F]);
        out.push_back(base64Alphabet[(group >> 6) & 0x3F]);
        out.push_back(base64Alphabet[group & 0x3F]);
    }
    const std::size_t rest = data.size() - i;
    if (rest == 1) {
        const std::uint32_t group = std::uint32_t{data[i]} << 16;
        out.push_back(base64Alphabet[(group >> 18) & 0x3F]);
        out.push_back(base64Alphabet[(group >> 12) & 0x3F]);
        out.append("==");
    } else if (rest == 2) {
        const std::uint32_t group = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8);
        out.push_back(base64Alphabet[(group >> 18) & 0x3F]);
        out.push_back(base64Alphabet[(group >> 12) & 0x3F]);
        out.push_back(base64Alphabet[(group >> 6) & 0x3F]);
        out.push_back('=');
    }
    return out;
}

// Strict standard base64: padded to a multiple of four, no whitespace, '=' only at the very end,
// and the unused bits before the padding zero, so every byte sequence has exactly one accepted form.
std::optional<Bytes> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;

    Bytes out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t at = 0; at < text.size(); at += 4) {
        const bool last = at + 4 == text.size();
        const std::size_t digits = last ? 4 - padding : 4;
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            int value = 0;
            if (j < digits) {
                value = base64Values[static_cast<unsigned char>(text[at + j])];
                if (value < 0) return std::nullopt;
            }
            group = (group << 6) | static_cast<std::uint32_t>(value);
        }
        out.push_back(static_cast<std::uint8_t>(group >> 16));
        if (digits >= 3) out.push_back(static_cast<std::uint8_t>(group >> 8));
        if (digits == 4) out.push_back(static_cast<std::uint8_t>(group));
        // Bits the padding leaves unused must be zero.
        if (digits == 2 && (group & 0xFFFF) != 0) return std::nullopt;
        if (digits == 3 && (group & 0xFF) != 0) return std::nullopt;
    }
    return out;
}

// Truncates toward zero and clamps to the int64 range; NaN has no integer value.
std::optional<std::int64_t> truncateToInteger(double number) {
    if (std::isnan(number)) return std::nullopt;
    constexpr double limit = 9223372036854775808.0;  // 2^63, exactly representable
    if (number >= limit) return std::numeric_limits<std::int64_t>::max();
    if (number <= -limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(std::trunc(number));
}

}  // namespace

std::optional<std::string> SettingsStore::string(std::string_view key) const {
    const auto stored = value(key);
    if (!stored || !stored->is_string()) return std::nullopt;
    return stored->get<std::string>();
}

std::optional<Bytes> SettingsStore::data(std::string_view key) const {
    const auto stored = value(key);
    if (!stored) return std::nullopt;
    return decodeData(*stored);
}

bool SettingsStore::boolean(std::string_view key) const {
    const auto stored = value(key);
    if (!stored) return false;
    if (stored->is_boolean()) return stored->get<bool>();
    if (stored->is_number_unsigned()) return stored->get<std::uint64_t>() != 0;
    if (stored->is_number_integer()) return stored->get<std::int64_t>() != 0;
    if (stored->is_number_float()) return stored->get<double>() != 0.0;
    return false;
}

std::optional<std::int64_t> SettingsStore::integer(std::string_view key) const {
    const auto stored = value(key);
    if (!stored) return std::nullopt;
    if (stored->is_number_unsigned()) {
        const auto number = stored->get<std::uint64_t>();
        constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        return static_cast<std::int64_t>(number > max ? max : number);
    }
    if (stored->is_number_integer()) return stored->get<std::int64_t>();
    if (stored->is_number_float()) return truncateToInteger(stored->get<double>());
    return std::nullopt;
}

std::optional<double> SettingsStore::real(std::string_view key) const {
    const auto stored = value(key);
    if (!stored || !stored->is_number()) return std::nullopt;
    return stored->get<double>();
}

std::optional<std::vector<std::string>> SettingsStore::stringArray(std::string_view key) const {
    const auto stored = value(key);
    if (!stored || !stored->is_array()) return std::nullopt;
    std::vector<std::string> out;
    out.reserve(stored->size());
    for (const auto& element : *stored) {
        if (!element.is_string()) return std::nullopt;
        out.push_back(element.get<std::string>());
    }
    return out;
}

std::optional<std::map<std::string, nlohmann::json>> SettingsStore::dictionary(std::string_view key) const {
    const auto stored = value(key);
    if (!stored || !stored->is_object()) return std::nullopt;
    std::map<std::string, json> out;
    for (const auto& [name, member] : stored->items()) out.emplace(name, member);
    return out;
}

void SettingsStore::setString(std::string_view key, const std::string& value) { setValue(key, json(value)); }

void SettingsStore::setData(std::string_view key, const Bytes& value) { setValue(key, encodeData(value)); }

void SettingsStore::setBoolean(std::string_view key, bool value) { setValue(key, json(value)); }

void SettingsStore::setInteger(std::string_view key, std::int64_t value) { setValue(key, json(value)); }

void SettingsStore::setReal(std::string_view key, double value) { setValue(key, json(value)); }

void SettingsStore::setStringArray(std::string_view key, const std::vector<std::string>& value) {
    setValue(key, json(value));
}

void SettingsStore::setDictionary(std::string_view key, const std::map<std::string, nlohmann::json>& value) {
    json object = json::object();
    for (const auto& [name, member] : value) object[name] = member;
    setValue(key, std::move(object));
}

nlohmann::json SettingsStore::encodeData(const Bytes& data) {
    json object = json::object();
    object[std::string(base64Key)] = encodeBase64(data);
    return object;
}

std::optional<Bytes> SettingsStore::decodeData(const nlohmann::json& value) {
    if (!value.is_object() || value.size() != 1) return std::nullopt;
    const auto member = value.find(base64Key);
    if (member == value.end() || !member->is_string()) return std::nullopt;
    return decodeBase64(member->get_ref<const std::string&>());
}

}  // namespace parlune
