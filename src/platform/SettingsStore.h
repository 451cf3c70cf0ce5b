#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

using Bytes = std::vector<std::uint8_t>;

// The user's defaults store: typed values under string keys, every write visible to later reads
// at once and durable before it returns.
//
// Values are kept as JSON. Binary data, which JSON has no type for, is kept as an object with the
// single member "$base64" (see encodeData/decodeData) so the stored file stays plain text.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The raw stored value, absent when the key is missing.
    virtual std::optional<nlohmann::json> value(std::string_view key) const = 0;
    virtual void setValue(std::string_view key, nlohmann::json value) = 0;
    virtual void remove(std::string_view key) = 0;
    // Every key and value, for display.
    virtual nlohmann::json snapshot() const = 0;

    // Typed reads: absent when the key is missing or holds another type.
    std::optional<std::string> string(std::string_view key) const;
    std::optional<Bytes> data(std::string_view key) const;
    bool boolean(std::string_view key) const;            // false when missing or not a boolean/number
    std::optional<std::int64_t> integer(std::string_view key) const;  // numbers (fractions truncated)
    std::optional<double> real(std::string_view key) const;          // any number
    std::optional<std::vector<std::string>> stringArray(std::string_view key) const;  // every element a string
    std::optional<std::map<std::string, nlohmann::json>> dictionary(std::string_view key) const;

    // Typed writes.
    void setString(std::string_view key, const std::string& value);
    void setData(std::string_view key, const Bytes& value);
    void setBoolean(std::string_view key, bool value);
    void setInteger(std::string_view key, std::int64_t value);
    void setReal(std::string_view key, double value);
    void setStringArray(std::string_view key, const std::vector<std::string>& value);
    void setDictionary(std::string_view key, const std::map<std::string, nlohmann::json>& value);

    static nlohmann::json encodeData(const Bytes& data);
    static std::optional<Bytes> decodeData(const nlohmann::json& value);
};

}  // namespace parlune
