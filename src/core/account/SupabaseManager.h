#pragma once

#include "core/account/SupabaseClient.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace parlune {

// The process-wide holder of the backend client that the sign-in and account pages use. The
// running program says how the client is made (install); it is made at the first use of client().
class SupabaseManager {
public:
    using Factory = std::function<std::shared_ptr<SupabaseClient>()>;

    static SupabaseManager& shared();

    // The client, made on first use. Without an installed factory there is no client: null.
    std::shared_ptr<SupabaseClient> client();

    // Sets how the client is made, until the returned guard is destroyed (which also drops a client
    // made meanwhile, before the loop it uses goes away).
    class Installation {
    public:
        Installation() = default;
        ~Installation();
        Installation(Installation&& other) noexcept;
        Installation& operator=(Installation&& other) noexcept;
        Installation(const Installation&) = delete;
        Installation& operator=(const Installation&) = delete;

    private:
        friend class SupabaseManager;
        std::uint64_t generation_ = 0;  // 0: none; a later install() makes this one stale
    };
    [[nodiscard]] Installation install(Factory factory);

private:
    SupabaseManager() = default;
    Factory factory_;
    std::uint64_t generation_ = 0;
    std::shared_ptr<SupabaseClient> client_;
};

}  // namespace parlune
