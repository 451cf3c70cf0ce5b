#include "core/account/SupabaseClient.h"

#include "core/account/AuthURL.h"
#include "core/log/Log.h"


namespace parlune {
namespace {

using nlohmann::json;

std::optional<json> parseJson(const std::string& text) {
    auto parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded()) return std::nullopt;
    return parsed;
}

std::string stringMember(const json& object, const char* key) {
    if (!object.is_object()) return {};
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::optional<std::int64_t> integerMember(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number()) return std::nullopt;
    return found->is_number_integer() ? found->get<std::int64_t>() : static_cast<std::int64_t>(found->get<double>());
}

// The first message field that an error body carries, in the order the backend's own clients read
// them; the status when the body says nothing usable.
std::string describe(const HttpResult& result, std::initializer_list<const char*> keys) {
    if (result.error) return *result.error;
    if (auto body = parseJson(result.body); body && body->is_object()) {
        for (const char* key : keys) {
            if (auto text = stringMember(*body, key); !text.empty()) return text;
        }
    }
    return "The server answered with status " + std::to_string(result.status);
}

bool succeeded(const HttpResult& result) { return !result.error && result.status >= 200 && result.status < 300; }

constexpr const char* noSession = "Auth session missing!";
constexpr const char* invalidURL = "Invalid Supabase URL";

}  // namespace

std::string authErrorDescription(const HttpResult& result) {
    return describe(result, {"msg", "message", "error_description", "error"});
}

std::string storageErrorDescription(const HttpResult& result) { return describe(result, {"message", "error"}); }

std::optional<BackendUser> BackendUser::fromJson(const json& object) {
    if (!object.is_object()) return std::nullopt;
    BackendUser user;
    user.id = stringMember(object, "id");
    if (user.id.empty()) return std::nullopt;
    if (auto email = stringMember(object, "email"); !email.empty()) user.email = std::move(email);
    if (const auto metadata = object.find("user_metadata"); metadata != object.end() && metadata->is_object()) {
        user.userMetadata = *metadata;
    }
    user.raw = object;
    return user;
}

std::optional<BackendSession> BackendSession::fromJson(const json& object, std::int64_t now) {
    if (!object.is_object()) return std::nullopt;
    BackendSession session;
    session.accessToken = stringMember(object, "access_token");
    session.refreshToken = stringMember(object, "refresh_token");
    session.tokenType = stringMember(object, "token_type");
    const auto user = object.find("user");
    if (session.accessToken.empty() || session.refreshToken.empty() || user == object.end()) return std::nullopt;
    auto parsedUser = BackendUser::fromJson(*user);
    if (!parsedUser) return std::nullopt;
    session.user = std::move(*parsedUser);
    session.expiresIn = integerMember(object, "expires_in").value_or(0);
    session.expiresAt = integerMember(object, "expires_at").value_or(now + session.expiresIn);
    return session;
}

json BackendSession::toJson() const {
    return json{{"access_token", accessToken}, {"token_type", tokenType},     {"expires_in", expiresIn},
                {"expires_at", expiresAt},     {"refresh_token", refreshToken}, {"user", user.raw}};
}

SupabaseClient::SupabaseClient(std::string baseURL, std::string publishableKey, BackendServices services)
    : baseURL_(std::move(baseURL)), publishableKey_(std::move(publishableKey)), services_(std::move(services)) {
    while (baseURL_.ends_with('/')) baseURL_.pop_back();
}

bool SupabaseClient::isValidBaseURL(const std::string& url) {
    std::string_view rest = url;
    if (rest.starts_with("https://")) {
        rest.remove_prefix(8);
    } else if (rest.starts_with("http://")) {
        rest.remove_prefix(7);
    } else {
        return false;
    }
    const auto host = rest.substr(0, rest.find_first_of("/?#"));
    if (host.empty()) return false;
    for (char c : host) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '\\' || c == '"' || c == '<' || c == '>') return false;
    }
    return true;
}

bool SupabaseClient::baseIsUsable() {
    if (!checked_) {
        checked_ = true;
        valid_ = isValidBaseURL(baseURL_);
        if (!valid_) log::line(invalidURL);
    }
    return valid_;
}

HttpRequest SupabaseClient::request(std::string method, const std::string& path, const std::string& bearer) const {
    HttpRequest request;
    request.method = std::move(method);
    request.url = baseURL_ + path;
    request.timeout = std::chrono::seconds(30);
    request.headers = {{"apikey", publishableKey_}, {"Authorization", "Bearer " + bearer}};
    return request;
}

std::string SupabaseClient::authorizeURL(const std::string& provider, const std::string& redirectTo,
                                         const std::string& challenge) {
    return baseURL_ + "/auth/v1/authorize?provider=" + auth::percentEncode(provider) +
           "&redirect_to=" + auth::percentEncode(redirectTo) + "&code_challenge=" + auth::percentEncode(challenge) +
           "&code_challenge_method=s256";
}

std::optional<BackendSession> SupabaseClient::storedSession() {
    const auto text = services_.storage->read(sessionKey);
    if (!text) return std::nullopt;
    auto parsed = parseJson(*text);
    auto session = parsed ? BackendSession::fromJson(*parsed, services_.unixTime()) : std::nullopt;
    if (!session) {
        log::line("⚠️ The stored sign-in session cannot be read; signed out");
        services_.storage->remove(sessionKey);
    }
    return session;
}

Task<BackendResult<Done>> SupabaseClient::signInWithOAuth(std::string provider, std::string redirectTo) {
    if (!baseIsUsable()) co_return BackendResult<Done>::failure(invalidURL);
    const auto verifier = auth::base64Url(services_.crypto->randomBytes(verifierBytes));
    const auto challenge = auth::base64Url(services_.crypto->sha256(verifier));
    if (!services_.storage->write(codeVerifierKey, verifier)) {
        co_return BackendResult<Done>::failure("The sign-in could not be prepared: the session folder is not writable");
    }
    if (auto error = co_await services_.browser->open(authorizeURL(provider, redirectTo, challenge))) {
        co_return BackendResult<Done>::failure("The browser could not be opened: " + *error);
    }
    co_return BackendResult<Done>::success(Done{});
}

Task<BackendResult<BackendSession>> SupabaseClient::sessionFromURL(std::string url) {
    if (!baseIsUsable()) co_return BackendResult<BackendSession>::failure(invalidURL);
    auto parameters = auth::callbackParameters(url);
    if (parameters.contains("error") || parameters.contains("error_description")) {
        std::string description = parameters["error_description"];
        if (description.empty()) description = parameters["error"];
        co_return BackendResult<BackendSession>::failure(std::move(description));
    }
    const std::string code = parameters["code"];
    if (code.empty()) co_return BackendResult<BackendSession>::failure("No authorization code in the callback");
    const auto verifier = services_.storage->read(codeVerifierKey);
    if (!verifier || verifier->empty()) {
        co_return BackendResult<BackendSession>::failure(
            "No sign-in is waiting for this callback (the code verifier is missing); sign in again");
    }
    json body{{"auth_code", code}, {"code_verifier", *verifier}};
    auto result = co_await exchange(std::string("pkce"), std::move(body));
    if (result) services_.storage->remove(codeVerifierKey);
    co_return result;
}

Task<BackendResult<BackendSession>> SupabaseClient::exchange(std::string grantType, json body) {
    auto request = this->request("POST", "/auth/v1/token?grant_type=" + grantType, publishableKey_);
    request.headers.emplace_back("Content-Type", "application/json;charset=UTF-8");
    request.body = body.dump();
    const auto reply = co_await services_.http->send(std::move(request));
    if (!succeeded(reply)) co_return BackendResult<BackendSession>::failure(authErrorDescription(reply), reply.status);
    auto parsed = parseJson(reply.body);
    auto session = parsed ? BackendSession::fromJson(*parsed, services_.unixTime()) : std::nullopt;
    if (!session) co_return BackendResult<BackendSession>::failure("The sign-in reply holds no session");
    if (!services_.storage->write(sessionKey, session->toJson().dump())) {
        log::line("⚠️ The sign-in session could not be saved; it lasts only while the application runs");
    }
    co_return BackendResult<BackendSession>::success(std::move(*session));
}

Task<BackendResult<BackendSession>> SupabaseClient::session() {
    if (!baseIsUsable()) co_return BackendResult<BackendSession>::failure(invalidURL);
    auto current = storedSession();
    if (!current) co_return BackendResult<BackendSession>::failure(noSession);
    if (current->expiresAt - services_.unixTime() > refreshMarginSeconds) {
        co_return BackendResult<BackendSession>::success(std::move(*current));
    }
    co_return co_await refresh(std::move(*current));
}

// One refresh at a time: a refresh token is good for one exchange, so callers that find the session
// expiring while a refresh runs wait for that one.
Task<BackendResult<BackendSession>> SupabaseClient::refresh(BackendSession current) {
    if (refreshing_) {
        auto running = *refreshing_;
        co_return co_await running;
    }
    refreshing_.emplace();
    auto done = *refreshing_;
    json body{{"refresh_token", current.refreshToken}};
    auto result = co_await exchange(std::string("refresh_token"), std::move(body));
    if (!result) {
        // A refresh token that the backend refused never works again: the user is signed out. A
        // transport failure keeps the session for a later try.
        if (result.status >= 400 && result.status < 500) services_.storage->remove(sessionKey);
        result.error = "The session could not be refreshed: " + result.error;
    }
    refreshing_.reset();
    done.resolve(result);
    co_return result;
}

Task<BackendResult<BackendUser>> SupabaseClient::user() {
    auto current = co_await session();
    if (!current) co_return BackendResult<BackendUser>::failure(current.error, current.status);
    const auto reply = co_await services_.http->send(request("GET", "/auth/v1/user", current.value->accessToken));
    if (!succeeded(reply)) co_return BackendResult<BackendUser>::failure(authErrorDescription(reply), reply.status);
    auto parsed = parseJson(reply.body);
    auto user = parsed ? BackendUser::fromJson(*parsed) : std::nullopt;
    if (!user) co_return BackendResult<BackendUser>::failure("The user reply holds no user");
    co_return BackendResult<BackendUser>::success(std::move(*user));
}

Task<BackendResult<std::string>> SupabaseClient::upload(std::string bucket, std::string path, std::string bytes,
                                                        UploadOptions options) {
    if (!baseIsUsable()) co_return BackendResult<std::string>::failure(invalidURL);
    // Signed out, the request goes with the publishable key and the bucket's rules decide.
    std::string bearer = publishableKey_;
    if (services_.storage->read(sessionKey)) {
        auto current = co_await session();
        if (current) bearer = current.value->accessToken;
    }
    std::string objectPath;
    for (std::size_t start = 0; start <= path.size();) {
        const auto end = std::min(path.find('/', start), path.size());
        if (start > 0) objectPath += '/';
        objectPath += auth::percentEncode(std::string_view(path).substr(start, end - start));
        start = end + 1;
    }
    auto request = this->request("POST", "/storage/v1/object/" + auth::percentEncode(bucket) + "/" + objectPath, bearer);
    request.headers.emplace_back("cache-control", "max-age=" + options.cacheControl);
    request.headers.emplace_back("content-type", options.contentType);
    request.headers.emplace_back("x-upsert", options.upsert ? "true" : "false");
    request.body = std::move(bytes);
    request.timeout = std::chrono::seconds(120);
    const auto reply = co_await services_.http->send(std::move(request));
    if (!succeeded(reply)) co_return BackendResult<std::string>::failure(storageErrorDescription(reply), reply.status);
    auto parsed = parseJson(reply.body);
    co_return BackendResult<std::string>::success(parsed ? stringMember(*parsed, "Key") : std::string());
}

Task<BackendResult<Done>> SupabaseClient::signOut() {
    if (!baseIsUsable()) co_return BackendResult<Done>::failure(invalidURL);
    auto current = storedSession();
    services_.storage->remove(codeVerifierKey);
    if (!current) co_return BackendResult<Done>::success(Done{});
    const auto reply =
        co_await services_.http->send(request("POST", "/auth/v1/logout?scope=global", current->accessToken));
    services_.storage->remove(sessionKey);
    // An expired or unknown session is as good as ended.
    if (succeeded(reply) || reply.status == 401 || reply.status == 403 || reply.status == 404) {
        co_return BackendResult<Done>::success(Done{});
    }
    co_return BackendResult<Done>::failure(authErrorDescription(reply));
}

}  // namespace parlune
