#pragma once

#include "core/runtime/Task.h"
#include "platform/AccountServices.h"
#include "platform/HttpClient.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace parlune {

// The outcome of a backend call: a value, or the description of what went wrong.
template <class T>
struct BackendResult {
    std::optional<T> value;
    std::string error;
    int status = 0;  // the HTTP status of a reply that failed, 0 when none came

    static BackendResult success(T result) { return {std::move(result), {}, 0}; }
    static BackendResult failure(std::string description, int status = 0) {
        return {std::nullopt, std::move(description), status};
    }
    explicit operator bool() const { return value.has_value(); }
};

struct BackendUser {
    std::string id;                    // a UUID as the backend writes it
    std::optional<std::string> email;
    nlohmann::json userMetadata = nlohmann::json::object();
    nlohmann::json raw;                // the user object as received

    static std::optional<BackendUser> fromJson(const nlohmann::json& json);
};

struct BackendSession {
    std::string accessToken;
    std::string tokenType;
    std::int64_t expiresIn = 0;
    std::int64_t expiresAt = 0;  // Unix seconds
    std::string refreshToken;
    BackendUser user;

    // The token endpoint's answer; `now` (Unix seconds) fills a missing expires_at.
    static std::optional<BackendSession> fromJson(const nlohmann::json& json, std::int64_t now);
    nlohmann::json toJson() const;
};

struct UploadOptions {
    std::string cacheControl = "3600";  // seconds, sent as "max-age=<value>"
    std::string contentType = "application/octet-stream";
    bool upsert = false;  // replace an object already at the path
};

// What a client works with besides the backend's address and key.
struct BackendServices {
    EventLoop* loop = nullptr;
    std::shared_ptr<HttpClient> http;
    std::shared_ptr<SessionStorage> storage;
    std::shared_ptr<BrowserOpener> browser;
    std::shared_ptr<PkceCrypto> crypto;
    std::function<std::int64_t()> unixTime;  // the wall clock, in seconds
};

// A client of the hosted backend's Auth and Storage REST interfaces. Sign-in is a proof-key
// (PKCE) authorization in the user's browser; the session lives in the storage, where every
// client over the same storage finds it. Tokens are never logged.
//
// The base address is checked at the first call: one that cannot be parsed is logged once as
// "Invalid Supabase URL", and every call then fails with that description.
class SupabaseClient {
public:
    static constexpr const char* sessionKey = "session";
    static constexpr const char* codeVerifierKey = "code-verifier";
    static constexpr std::int64_t refreshMarginSeconds = 60;
    static constexpr std::size_t verifierBytes = 64;

    SupabaseClient(std::string baseURL, std::string publishableKey, BackendServices services);

    // Keeps a new code verifier and opens the provider's authorization page in the browser. The
    // session arrives later through sessionFromURL() with the callback address.
    Task<BackendResult<Done>> signInWithOAuth(std::string provider, std::string redirectTo);
    // Turns the callback address into a signed-in session (its "code"), or fails with the error
    // that the callback carries.
    Task<BackendResult<BackendSession>> sessionFromURL(std::string url);
    // The signed-in session, refreshed first when it expires within a minute.
    Task<BackendResult<BackendSession>> session();
    // The signed-in user as the backend knows it now.
    Task<BackendResult<BackendUser>> user();
    // Stores `bytes` at `path` in `bucket`; answers with the object's key.
    Task<BackendResult<std::string>> upload(std::string bucket, std::string path, std::string bytes, UploadOptions options);
    // Ends the session at the backend and removes it here (also when the backend refuses).
    Task<BackendResult<Done>> signOut();

    // The authorization address for `provider` with the given challenge.
    std::string authorizeURL(const std::string& provider, const std::string& redirectTo, const std::string& challenge);
    // The stored session, if one is stored and readable (a corrupt one is dropped with a log line).
    std::optional<BackendSession> storedSession();

    // Whether `url` is an absolute http(s) address with a host.
    static bool isValidBaseURL(const std::string& url);

private:
    bool baseIsUsable();
    HttpRequest request(std::string method, const std::string& path, const std::string& bearer) const;
    Task<BackendResult<BackendSession>> exchange(std::string grantType, nlohmann::json body);
    Task<BackendResult<BackendSession>> refresh(BackendSession current);

    std::string baseURL_;
    std::string publishableKey_;
    BackendServices services_;
    bool checked_ = false;
    bool valid_ = false;
    std::optional<Completion<BackendResult<BackendSession>>> refreshing_;
};

// Description of a failed Auth reply (message fields of the error body) or Storage reply.
std::string authErrorDescription(const HttpResult& result);
std::string storageErrorDescription(const HttpResult& result);

}  // namespace parlune
