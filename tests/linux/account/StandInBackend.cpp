#include "StandInBackend.h"

#include "core/account/AuthURL.h"
#include "linux/account/AccountServices.h"

#include <chrono>
#include <ctime>

namespace parlune::testing {
namespace {

using nlohmann::json;

void reply(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
}

void authError(httplib::Response& response, int status, const std::string& code, const std::string& message) {
    reply(response, status, json{{"code", status}, {"error_code", code}, {"msg", message}});
}

void storageError(httplib::Response& response, int status, const std::string& error, const std::string& message) {
    reply(response, status, json{{"statusCode", std::to_string(status)}, {"error", error}, {"message", message}});
}

}  // namespace

StandInBackend::StandInBackend()
    : server_([this](const httplib::Request& request, httplib::Response& response) { handle(request, response); }) {}

std::map<std::string, StandInBackend::StoredObject> StandInBackend::objects() const {
    std::lock_guard lock(mutex_);
    return objects_;
}

std::vector<std::string> StandInBackend::finishedUploads() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

int StandInBackend::refreshCount() const {
    std::lock_guard lock(mutex_);
    return refreshes_;
}

json StandInBackend::issueSession() {
    const auto access = "access-" + std::to_string(++counter_);
    const auto refresh = "refresh-" + std::to_string(counter_);
    accessTokens_[access] = true;
    refreshTokens_[refresh] = true;
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    return json{{"access_token", access},
                {"token_type", "bearer"},
                {"expires_in", tokenLifetime_},
                {"expires_at", now + tokenLifetime_},
                {"refresh_token", refresh},
                {"user", {{"id", userId}, {"aud", "authenticated"}, {"role", "authenticated"}, {"email", email},
                          {"app_metadata", {{"provider", "apple"}}}, {"user_metadata", metadata}}}};
}

bool StandInBackend::validAccessToken(const httplib::Request& request) {
    const auto authorization = request.get_header_value("Authorization");
    if (!authorization.starts_with("Bearer ")) return false;
    const auto found = accessTokens_.find(authorization.substr(7));
    return found != accessTokens_.end() && found->second;
}

void StandInBackend::handle(const httplib::Request& request, httplib::Response& response) {
    std::unique_lock lock(mutex_);
    const auto path = request.path;
    // The authorization page is opened by the browser, which carries no key; every other route needs it.
    if (path != "/auth/v1/authorize" && request.get_header_value("apikey") != publishableKey) {
        reply(response, 401, json{{"message", "No API key found in request"}, {"hint", "No `apikey` request header or url param was found."}});
        return;
    }
    if (path == "/auth/v1/authorize" && request.method == "GET") {
        if (request.get_param_value("provider") != "apple") return authError(response, 400, "validation_failed", "Unsupported provider: provider is not enabled");
        if (request.get_param_value("code_challenge_method") != "s256" || request.get_param_value("code_challenge").empty()) {
            return authError(response, 400, "validation_failed", "code challenge method not supported");
        }
        const auto code = "code-" + std::to_string(++counter_);
        codes_[code] = {request.get_param_value("code_challenge"), expireCodes_};
        // The provider's pages are skipped: straight back to the application.
        response.status = 302;
        response.set_header("Location", request.get_param_value("redirect_to") + "?code=" + code);
        return;
    }
    if (path == "/auth/v1/token" && request.method == "POST") {
        const auto body = json::parse(request.body, nullptr, false);
        if (body.is_discarded()) return authError(response, 400, "bad_json", "Could not parse request body as JSON");
        const auto grant = request.get_param_value("grant_type");
        if (grant == "pkce") {
            const auto code = body.value("auth_code", "");
            const auto verifier = body.value("code_verifier", "");
            if (code.empty() || verifier.empty()) return authError(response, 400, "validation_failed", "invalid request: both auth code and code verifier should be non-empty");
            const auto found = codes_.find(code);
            if (found == codes_.end()) return authError(response, 404, "flow_state_not_found", "invalid flow state, no valid flow state found");
            const auto [challenge, expired] = found->second;
            codes_.erase(found);
            if (expired) return authError(response, 400, "flow_state_expired", "invalid flow state, flow state has expired");
            if (auth::base64Url(OpenSslPkceCrypto().sha256(verifier)) != challenge) {
                return authError(response, 400, "bad_code_verifier", "code challenge does not match previously saved code verifier");
            }
            return reply(response, 200, issueSession());
        }
        if (grant == "refresh_token") {
            const auto token = body.value("refresh_token", "");
            const auto found = refreshTokens_.find(token);
            if (found == refreshTokens_.end() || !found->second) {
                return authError(response, 400, "refresh_token_not_found", "Invalid Refresh Token: Refresh Token Not Found");
            }
            found->second = false;
            ++refreshes_;
            return reply(response, 200, issueSession());
        }
        return authError(response, 400, "validation_failed", "unsupported_grant_type");
    }
    if (path == "/auth/v1/user" && request.method == "GET") {
        if (!request.has_header("Authorization")) return authError(response, 401, "no_authorization", "This endpoint requires a Bearer token");
        if (!validAccessToken(request)) return authError(response, 403, "bad_jwt", "invalid JWT: unable to parse or verify signature, token is malformed");
        return reply(response, 200, issueSession()["user"]);
    }
    if (path == "/auth/v1/logout" && request.method == "POST") {
        if (!validAccessToken(request)) return authError(response, 403, "bad_jwt", "invalid JWT: unable to parse or verify signature, token is malformed");
        accessTokens_[request.get_header_value("Authorization").substr(7)] = false;
        response.status = 204;
        return;
    }
    const std::string objectPrefix = "/storage/v1/object/";
    if (path.starts_with(objectPrefix) && request.method == "POST") {
        const auto rest = path.substr(objectPrefix.size());
        const auto slash = rest.find('/');
        const auto bucket = rest.substr(0, slash);
        if (bucket != "avatars") return storageError(response, 404, "Bucket not found", "Bucket not found");
        if (slash == std::string::npos || slash + 1 == rest.size()) return storageError(response, 400, "InvalidKey", "Invalid key: " + rest);
        if (!validAccessToken(request)) return storageError(response, 403, "Unauthorized", "new row violates row-level security policy");
        const auto objectPath = rest.substr(slash + 1);
        if (objects_.contains(objectPath) && request.get_header_value("x-upsert") != "true") {
            return storageError(response, 409, "Duplicate", "The resource already exists");
        }
        ++uploadsSeen_;
        uploadArrived_.notify_all();
        if (objectPath == heldPath_ && uploadsSeen_ == 1) {
            heldPath_.clear();
            // Bounded: the second upload comes within moments, or this one goes on alone.
            uploadArrived_.wait_for(lock, std::chrono::seconds(10), [this] { return uploadsSeen_ >= 2; });
            // The second has been stored meanwhile (it held the lock): this one finishes last.
        }
        objects_[objectPath] = {request.body, request.get_header_value("content-type"), request.get_header_value("cache-control")};
        finished_.push_back(objectPath + "#" + std::to_string(request.body.size()));
        return reply(response, 200, json{{"Key", bucket + "/" + objectPath}, {"Id", "5d3b2f1e-0000-4000-8000-" + std::to_string(100000000000 + counter_++)}});
    }
    reply(response, 404, json{{"code", 404}, {"error_code", "not_found"}, {"msg", "Not found"}});
}

}  // namespace parlune::testing
