#include "core/settings/MemorySettingsStore.h"

#include <stdexcept>
#include <utility>

namespace parlune {

MemorySettingsStore::MemorySettingsStore(nlohmann::json initial) : values_(std::move(initial)) {
    if (!values_.is_object()) throw std::invalid_argument("MemorySettingsStore needs a JSON object");
}

std::optional<nlohmann::json> MemorySettingsStore::value(std::string_view key) const {
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return *found;
}

void MemorySettingsStore::setValue(std::string_view key, nlohmann::json value) {
    values_[std::string(key)] = std::move(value);
    writtenKeys_.emplace_back(key);
}

void MemorySettingsStore::remove(std::string_view key) {
    const auto found = values_.find(key);
    if (found != values_.end()) values_.erase(found);
    writtenKeys_.emplace_back(key);
}

nlohmann::json MemorySettingsStore::snapshot() const { return values_; }

}  // namespace parlune
