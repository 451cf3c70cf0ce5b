#include "core/account/SupabaseManager.h"

#include <utility>

namespace parlune {

SupabaseManager& SupabaseManager::shared() {
    static SupabaseManager manager;
    return manager;
}

std::shared_ptr<SupabaseClient> SupabaseManager::client() {
    if (!client_ && factory_) client_ = factory_();
    return client_;
}

SupabaseManager::Installation SupabaseManager::install(Factory factory) {
    factory_ = std::move(factory);
    client_.reset();
    Installation installation;
    installation.active_ = true;
    return installation;
}

SupabaseManager::Installation::~Installation() {
    if (!active_) return;
    auto& manager = SupabaseManager::shared();
    manager.client_.reset();
    manager.factory_ = nullptr;
}

SupabaseManager::Installation::Installation(Installation&& other) noexcept
    : active_(std::exchange(other.active_, false)) {}

SupabaseManager::Installation& SupabaseManager::Installation::operator=(Installation&& other) noexcept {
    if (this != &other) {
        Installation old(std::move(*this));
        active_ = std::exchange(other.active_, false);
    }
    return *this;
}

}  // namespace parlune
