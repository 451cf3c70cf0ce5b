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
    installation.generation_ = ++generation_;
    return installation;
}

SupabaseManager::Installation::~Installation() {
    auto& manager = SupabaseManager::shared();
    if (generation_ == 0 || generation_ != manager.generation_) return;
    manager.client_.reset();
    manager.factory_ = nullptr;
}

SupabaseManager::Installation::Installation(Installation&& other) noexcept
    : generation_(std::exchange(other.generation_, 0)) {}

SupabaseManager::Installation& SupabaseManager::Installation::operator=(Installation&& other) noexcept {
    if (this != &other) {
        Installation old(std::move(*this));
        generation_ = std::exchange(other.generation_, 0);
    }
    return *this;
}

}  // namespace parlune
