#pragma once

#include "core/runtime/Task.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace parlune {

// Small named values the backend client keeps between runs (the signed-in session, a pending
// sign-in's code verifier). Every client of one user reads and writes the same storage, so all of
// them see the same signed-in user.
class SessionStorage {
public:
    virtual ~SessionStorage() = default;
    // None when nothing is stored under `key` or it cannot be read.
    virtual std::optional<std::string> read(std::string_view key) = 0;
    // Replaces the value as a whole; false when it could not be written (the old value stays).
    virtual bool write(std::string_view key, const std::string& value) = 0;
    virtual void remove(std::string_view key) = 0;
};

// The two primitives of a proof-key sign-in.
class PkceCrypto {
public:
    virtual ~PkceCrypto() = default;
    // `count` bytes from the system's cryptographically secure source.
    virtual std::string randomBytes(std::size_t count) = 0;
    // The 32-byte SHA-256 digest of `data`.
    virtual std::string sha256(std::string_view data) = 0;
};

// Shows a web address in the user's browser. Answers once the browser has been asked; an error
// description when it could not be.
class BrowserOpener {
public:
    virtual ~BrowserOpener() = default;
    virtual Task<std::optional<std::string>> open(std::string url) = 0;
};

}  // namespace parlune
