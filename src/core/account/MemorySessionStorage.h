#pragma once

#include "platform/AccountServices.h"

#include <map>
#include <string>

namespace parlune {

// Session storage that lasts as long as the object.
class MemorySessionStorage final : public SessionStorage {
public:
    std::optional<std::string> read(std::string_view key) override {
        const auto found = values_.find(std::string(key));
        if (found == values_.end()) return std::nullopt;
        return found->second;
    }
    bool write(std::string_view key, const std::string& value) override {
        values_[std::string(key)] = value;
        return true;
    }
    void remove(std::string_view key) override { values_.erase(std::string(key)); }

private:
    std::map<std::string, std::string> values_;
};

}  // namespace parlune
