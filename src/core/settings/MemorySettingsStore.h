#pragma once

#include "platform/SettingsStore.h"

#include <cstddef>
#include <string>
#include <vector>

namespace parlune {

// Settings kept in a JSON object in memory, for tests and for running without a settings file.
// Records every write (set or remove, in call order) so a test can check that something wrote
// nothing. Not thread-safe.
class MemorySettingsStore final : public SettingsStore {
public:
    MemorySettingsStore() = default;
    // Starts with `initial` (a JSON object) without counting it as writes.
    explicit MemorySettingsStore(nlohmann::json initial);

    std::optional<nlohmann::json> value(std::string_view key) const override;
    void setValue(std::string_view key, nlohmann::json value) override;
    void remove(std::string_view key) override;
    nlohmann::json snapshot() const override;

    std::size_t writeCount() const { return writtenKeys_.size(); }
    const std::vector<std::string>& writtenKeys() const { return writtenKeys_; }

private:
    nlohmann::json values_ = nlohmann::json::object();
    std::vector<std::string> writtenKeys_;
};

}  // namespace parlune
