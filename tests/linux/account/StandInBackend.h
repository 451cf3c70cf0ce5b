#pragma once

// A stand-in of the hosted backend's Auth and Storage endpoints on 127.0.0.1, answering in their
// wire formats: the PKCE authorization (a redirect to the callback with a code), the token grants
// "pkce" and "refresh_token", the current user, logout, and object upload into buckets, with the
// backends' error bodies.

#include "../cleanup/LocalHttpServer.h"

#include <nlohmann/json.hpp>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace parlune::testing {

class StandInBackend {
public:
    struct StoredObject {
        std::string bytes;
        std::string contentType;
        std::string cacheControl;
    };

    StandInBackend();
    std::string baseURL() const { return server_.baseURL(); }
    std::vector<LocalHttpServer::Received> received() const { return server_.received(); }

    // The user that signs in.
    std::string userId = "0f8d5a3e-6c1b-4b7e-9a2d-1c3e5f7a9b0d";
    std::string email = "ada@example.com";
    nlohmann::json metadata = {{"full_name", "Ada Lovelace"}, {"provider_id", "000123.abc"}};
    std::string publishableKey = "pk_stand_in";

    // Codes handed out from now on are already expired when exchanged.
    void expireCodes() { expireCodes_ = true; }
    // Tokens issued from now on expire after this many seconds.
    void setTokenLifetime(int seconds) { tokenLifetime_ = seconds; }
    // An upload to this path answers only once a second upload has come (so the two overlap).
    void holdFirstUploadOf(const std::string& objectPath) { heldPath_ = objectPath; }

    std::map<std::string, StoredObject> objects() const;
    // Object paths in the order their uploads finished.
    std::vector<std::string> finishedUploads() const;
    int refreshCount() const;

private:
    void handle(const httplib::Request& request, httplib::Response& response);
    nlohmann::json issueSession();
    bool validAccessToken(const httplib::Request& request);

    mutable std::mutex mutex_;
    std::condition_variable uploadArrived_;
    int uploadsSeen_ = 0;
    std::string heldPath_;
    bool expireCodes_ = false;
    int tokenLifetime_ = 3600;
    int counter_ = 0;
    int refreshes_ = 0;
    std::map<std::string, std::pair<std::string, bool>> codes_;  // code -> challenge, expired
    std::map<std::string, bool> accessTokens_;                   // token -> valid
    std::map<std::string, bool> refreshTokens_;                  // token -> unused
    std::map<std::string, StoredObject> objects_;
    std::vector<std::string> finished_;
    LocalHttpServer server_;  // last: it stops before the state goes
};

}  // namespace parlune::testing
