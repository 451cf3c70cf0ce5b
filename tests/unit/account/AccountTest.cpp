#include "core/account/AccountPages.h"
#include "core/account/AuthURL.h"
#include "core/account/MemorySessionStorage.h"
#include "core/account/SupabaseClient.h"
#include "core/account/SupabaseManager.h"
#include "core/account/UserProfile.h"
#include "fakes/FakeHttpClient.h"
#include "fakes/SessionHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace parlune;
using namespace parlune::fakes;
using nlohmann::json;
using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

// Random bytes 0, 1, 2, ...; the "digest" is the text reversed, so the challenge shows which
// verifier it was made from.
class CountingCrypto final : public PkceCrypto {
public:
    std::string randomBytes(std::size_t count) override {
        std::string bytes;
        for (std::size_t i = 0; i < count; ++i) bytes += static_cast<char>(i);
        return bytes;
    }
    std::string sha256(std::string_view data) override { return std::string(data.rbegin(), data.rend()); }
};

class RecordingBrowser final : public BrowserOpener {
public:
    std::vector<std::string> opened;
    std::optional<std::string> failure;
    Task<std::optional<std::string>> open(std::string url) override {
        opened.push_back(std::move(url));
        co_return failure;
    }
};

constexpr std::int64_t startTime = 1'800'000'000;

json userJson(const std::string& id = "0f8d5a3e-6c1b-4b7e-9a2d-1c3e5f7a9b0d") {
    return json{{"id", id}, {"email", "ada@example.com"}, {"user_metadata", {{"full_name", "Ada Lovelace"}}}};
}

json sessionJson(const std::string& access, const std::string& refresh, std::int64_t expiresAt) {
    return json{{"access_token", access}, {"token_type", "bearer"}, {"expires_in", 3600},
                {"expires_at", expiresAt}, {"refresh_token", refresh},  {"user", userJson()}};
}

std::string header(const HttpRequest& request, const std::string& name) {
    for (const auto& [key, value] : request.headers) {
        if (key == name) return value;
    }
    return "<absent>";
}

struct Backend {
    VirtualLoop& loop;
    std::shared_ptr<FakeHttpClient> http = std::make_shared<FakeHttpClient>();
    std::shared_ptr<MemorySessionStorage> storage = std::make_shared<MemorySessionStorage>();
    std::shared_ptr<RecordingBrowser> browser = std::make_shared<RecordingBrowser>();
    std::int64_t now = startTime;

    BackendServices services() {
        BackendServices result;
        result.loop = &loop;
        result.http = http;
        result.storage = storage;
        result.browser = browser;
        result.crypto = std::make_shared<CountingCrypto>();
        result.unixTime = [this] { return now; };
        return result;
    }
    std::shared_ptr<SupabaseClient> client(std::string base = "https://project.backend.example") {
        return std::make_shared<SupabaseClient>(std::move(base), "pk_publishable", services());
    }
};

template <class T>
T run(VirtualLoop& loop, Task<T> task) {
    std::optional<T> result;
    spawn(loop, [](Task<T> inner, std::optional<T>& into) -> Task<void> { into.emplace(co_await std::move(inner)); }(
                    std::move(task), result));
    loop.runUntilIdle();
    EXPECT_TRUE(result.has_value());
    return std::move(*result);
}

}  // namespace

TEST(AuthCallback, OnlyTheSchemeParluneWithTheHostAuthIsACallback) {
    const std::pair<const char*, bool> cases[] = {
        {"parlune://auth/callback?code=abc", true},
        {"parlune://auth", true},
        {"parlune://auth/other/path?x=1#frag", true},
        {"PARLUNE://auth/callback?code=abc", false},
        {"parlune://AUTH/callback?code=abc", false},
        {"parlune://login/callback?code=abc", false},
        {"https://auth/callback?code=abc", false},
        {"parlune:auth/callback", false},
        {"auth/callback", false},
        {"", false},
    };
    for (const auto& [url, expected] : cases) EXPECT_EQ(auth::isAuthCallback(url), expected) << url;
}

TEST(AuthCallback, ParametersComeFromTheQueryAndTheFragmentDecoded) {
    EXPECT_THAT(auth::callbackParameters("parlune://auth/callback?code=a%2Bb&x=1#error=access_denied&error_description=Not+now"),
                ElementsAre(Pair("code", "a+b"), Pair("error", "access_denied"), Pair("error_description", "Not now"),
                            Pair("x", "1")));
}

TEST(Pkce, Base64UrlHasNoPaddingAndTheUrlSafeAlphabet) {
    EXPECT_EQ(auth::base64Url(""), "");
    EXPECT_EQ(auth::base64Url("f"), "Zg");
    EXPECT_EQ(auth::base64Url("fo"), "Zm8");
    EXPECT_EQ(auth::base64Url("foo"), "Zm9v");
    EXPECT_EQ(auth::base64Url("\xfb\xff\xfe"), "-__-");
}

TEST(UserProfile, TheNameRule) {
    const std::pair<json, std::optional<std::string>> cases[] = {
        {json{{"full_name", "Ada Lovelace"}, {"given_name", "A"}}, "Ada Lovelace"},
        {json{{"given_name", "First"}, {"family_name", "Last"}}, "First Last"},
        {json{{"given_name", "First"}}, "First"},
        {json{{"full_name", ""}, {"given_name", "First"}}, "First"},
        {json{{"full_name", 42}, {"given_name", "First"}, {"family_name", ""}}, "First"},
        {json{{"family_name", "Last"}}, std::nullopt},
        {json::object(), std::nullopt},
        {json(nullptr), std::nullopt},
    };
    for (const auto& [metadata, expected] : cases) EXPECT_EQ(displayName(metadata), expected) << metadata.dump();
}

TEST(UserProfile, Initials) {
    const std::pair<const char*, const char*> cases[] = {
        {"first last", "FL"}, {"ada", "A"}, {"", ""}, {"  ada   byron  lovelace", "AB"}, {"émile zola", "ÉZ"},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(initials(name), expected) << name;
}

TEST(SupabaseClient, SignInKeepsAVerifierAndOpensTheAuthorizePageWithItsChallenge) {
    VirtualLoop loop;
    Backend backend{loop};
    auto client = backend.client("https://project.backend.example/");
    auto result = run(loop, client->signInWithOAuth("apple", std::string(auth::callbackURL)));
    ASSERT_TRUE(result) << result.error;
    const auto verifier = backend.storage->read(SupabaseClient::codeVerifierKey);
    ASSERT_TRUE(verifier);
    EXPECT_EQ(verifier->size(), 86u);  // 64 bytes in base64url without padding
    const auto challenge = auth::base64Url(std::string(verifier->rbegin(), verifier->rend()));
    EXPECT_THAT(backend.browser->opened,
                ElementsAre("https://project.backend.example/auth/v1/authorize?provider=apple&redirect_to=parlune%3A%2F%2Fauth%2Fcallback"
                            "&code_challenge=" + challenge + "&code_challenge_method=s256"));
    EXPECT_TRUE(backend.http->exchanges.empty());
}

TEST(SupabaseClient, TheCallbackCodeIsExchangedWithTheVerifierAndTheSessionKept) {
    VirtualLoop loop;
    Backend backend{loop};
    backend.storage->write(SupabaseClient::codeVerifierKey, "the-verifier");
    backend.http->replyWith(200, sessionJson("access-1", "refresh-1", startTime + 3600).dump());
    auto client = backend.client();
    auto session = run(loop, client->sessionFromURL("parlune://auth/callback?code=the-code"));
    ASSERT_TRUE(session) << session.error;
    EXPECT_EQ(session.value->user.id, "0f8d5a3e-6c1b-4b7e-9a2d-1c3e5f7a9b0d");
    ASSERT_EQ(backend.http->exchanges.size(), 1u);
    const auto& request = backend.http->exchanges[0].request;
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, "https://project.backend.example/auth/v1/token?grant_type=pkce");
    EXPECT_EQ(json::parse(request.body), (json{{"auth_code", "the-code"}, {"code_verifier", "the-verifier"}}));
    EXPECT_EQ(header(request, "apikey"), "pk_publishable");
    EXPECT_EQ(header(request, "Authorization"), "Bearer pk_publishable");
    EXPECT_FALSE(backend.storage->read(SupabaseClient::codeVerifierKey));
    // Another client over the same storage sees the user.
    auto other = backend.client();
    auto seen = run(loop, other->session());
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen.value->accessToken, "access-1");
}

TEST(SupabaseClient, CallbacksThatCannotBecomeASessionFailWithTheirDescription) {
    struct Case {
        const char* url;
        bool verifierStored;
        int status;
        const char* body;
        const char* description;
    };
    const Case cases[] = {
        {"parlune://auth/callback#error=server_error&error_code=bad_oauth_state&error_description=OAuth+state+expired", true,
         0, "", "OAuth state expired"},
        {"parlune://auth/callback?error=access_denied", true, 0, "", "access_denied"},
        {"parlune://auth/callback?state=x", true, 0, "", "No authorization code in the callback"},
        {"parlune://auth/callback?code=c", false, 0, "",
         "No sign-in is waiting for this callback (the code verifier is missing); sign in again"},
        {"parlune://auth/callback?code=c", true, 400,
         R"({"code":400,"error_code":"flow_state_expired","msg":"Flow state has expired"})", "Flow state has expired"},
        {"parlune://auth/callback?code=c", true, 404,
         R"({"code":404,"error_code":"flow_state_not_found","msg":"invalid flow state, no valid flow state found"})",
         "invalid flow state, no valid flow state found"},
        {"parlune://auth/callback?code=c", true, 502, "<html>bad gateway</html>", "The server answered with status 502"},
        {"parlune://auth/callback?code=c", true, 200, R"({"access_token":"a"})", "The sign-in reply holds no session"},
    };
    for (const auto& c : cases) {
        VirtualLoop loop;
        Backend backend{loop};
        if (c.verifierStored) backend.storage->write(SupabaseClient::codeVerifierKey, "v");
        backend.http->replyWith(c.status, c.body);
        auto result = run(loop, backend.client()->sessionFromURL(c.url));
        EXPECT_FALSE(result) << c.url;
        EXPECT_EQ(result.error, c.description) << c.url;
        EXPECT_FALSE(backend.storage->read(SupabaseClient::sessionKey));
    }
}

TEST(SupabaseClient, TheSessionIsRefreshedOnceWhenItExpiresWithinAMinute) {
    VirtualLoop loop;
    Backend backend{loop};
    backend.storage->write(SupabaseClient::sessionKey, sessionJson("access-1", "refresh-1", startTime + 61).dump());
    auto client = backend.client();
    auto fresh = run(loop, client->session());
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh.value->accessToken, "access-1");
    EXPECT_TRUE(backend.http->exchanges.empty());

    backend.now += 2;  // 59 s left: refreshed, by one request however many callers ask
    backend.http->replyWith(200, sessionJson("access-2", "refresh-2", backend.now + 3600).dump(), std::chrono::seconds(1));
    std::vector<BackendResult<BackendSession>> results;
    for (int i = 0; i < 2; ++i) {
        spawn(loop, [](std::shared_ptr<SupabaseClient> c, std::vector<BackendResult<BackendSession>>& into) -> Task<void> {
            into.push_back(co_await c->session());
        }(client, results));
    }
    loop.advance(std::chrono::seconds(2));
    ASSERT_EQ(results.size(), 2u);
    for (const auto& result : results) EXPECT_EQ(result.value->accessToken, "access-2");
    ASSERT_EQ(backend.http->exchanges.size(), 1u);
    EXPECT_EQ(backend.http->exchanges[0].request.url, "https://project.backend.example/auth/v1/token?grant_type=refresh_token");
    EXPECT_EQ(json::parse(backend.http->exchanges[0].request.body), (json{{"refresh_token", "refresh-1"}}));
    EXPECT_EQ(json::parse(*backend.storage->read(SupabaseClient::sessionKey))["access_token"], "access-2");
}

TEST(SupabaseClient, ARefusedRefreshSignsOutButATransportFailureKeepsTheSession) {
    for (const bool refused : {true, false}) {
        VirtualLoop loop;
        Backend backend{loop};
        backend.storage->write(SupabaseClient::sessionKey, sessionJson("a", "r", startTime).dump());
        if (refused) {
            backend.http->replyWith(400, R"({"code":400,"error_code":"refresh_token_not_found","msg":"Invalid Refresh Token: Refresh Token Not Found"})");
        } else {
            backend.http->respond = [](const HttpRequest&) {
                return FakeHttpClient::Reply{HttpResult::failure("Couldn't connect to server"), {}};
            };
        }
        auto result = run(loop, backend.client()->session());
        EXPECT_FALSE(result);
        EXPECT_EQ(result.error, refused ? "The session could not be refreshed: Invalid Refresh Token: Refresh Token Not Found"
                                        : "The session could not be refreshed: Couldn't connect to server");
        EXPECT_EQ(backend.storage->read(SupabaseClient::sessionKey).has_value(), !refused);
    }
}

TEST(SupabaseClient, ACorruptSessionMeansSignedOutWithALogLine) {
    for (const char* stored : {"{not json", R"({"access_token":"a"})", "[]"}) {
        VirtualLoop loop;
        CapturedLog log;
        Backend backend{loop};
        backend.storage->write(SupabaseClient::sessionKey, stored);
        auto user = run(loop, backend.client()->user());
        EXPECT_FALSE(user);
        EXPECT_EQ(user.error, "Auth session missing!");
        EXPECT_THAT(log.lines(), ElementsAre("⚠️ The stored sign-in session cannot be read; signed out"));
        EXPECT_TRUE(backend.http->exchanges.empty());
    }
}

TEST(SupabaseClient, UserAndUploadCarryTheAccessTokenAndUploadAsksForUpsert) {
    VirtualLoop loop;
    Backend backend{loop};
    backend.storage->write(SupabaseClient::sessionKey, sessionJson("access-1", "r", startTime + 3600).dump());
    backend.http->respond = [](const HttpRequest& request) -> std::optional<FakeHttpClient::Reply> {
        if (request.url.ends_with("/auth/v1/user")) return FakeHttpClient::Reply{HttpResult::response(200, userJson().dump()), {}};
        return FakeHttpClient::Reply{HttpResult::response(200, R"({"Key":"avatars/X/avatar.jpg","Id":"1"})"), {}};
    };
    auto client = backend.client();
    auto user = run(loop, client->user());
    ASSERT_TRUE(user);
    EXPECT_EQ(user.value->email, "ada@example.com");
    UploadOptions options;
    options.contentType = "image/jpeg";
    options.upsert = true;
    auto key = run(loop, client->upload("avatars", "0F8D/avatar.jpg", std::string("\xff\xd8\x00jpeg", 7), options));
    ASSERT_TRUE(key);
    EXPECT_EQ(*key.value, "avatars/X/avatar.jpg");
    ASSERT_EQ(backend.http->exchanges.size(), 2u);
    EXPECT_EQ(header(backend.http->exchanges[0].request, "Authorization"), "Bearer access-1");
    const auto& upload = backend.http->exchanges[1].request;
    EXPECT_EQ(upload.url, "https://project.backend.example/storage/v1/object/avatars/0F8D/avatar.jpg");
    EXPECT_THAT(upload.headers, ElementsAre(Pair("apikey", "pk_publishable"), Pair("Authorization", "Bearer access-1"),
                                            Pair("cache-control", "max-age=3600"), Pair("content-type", "image/jpeg"),
                                            Pair("x-upsert", "true")));
    EXPECT_EQ(upload.body, std::string("\xff\xd8\x00jpeg", 7));
}

TEST(SupabaseClient, ErrorBodiesBecomeTheFailureDescription) {
    const std::tuple<int, const char*, const char*> cases[] = {
        {400, R"({"statusCode":"400","error":"InvalidKey","message":"Invalid key: a//b"})", "Invalid key: a//b"},
        {401, R"({"statusCode":"401","error":"Unauthorized","message":"jwt expired"})", "jwt expired"},
        {403, R"({"statusCode":"403","error":"Unauthorized","message":"new row violates row-level security policy"})",
         "new row violates row-level security policy"},
        {404, R"({"statusCode":"404","error":"Bucket not found","message":"Bucket not found"})", "Bucket not found"},
        {404, R"({"error":"not_found"})", "not_found"},
        {500, "", "The server answered with status 500"},
    };
    for (const auto& [status, body, description] : cases) {
        VirtualLoop loop;
        Backend backend{loop};
        backend.http->replyWith(status, body);
        auto result = run(loop, backend.client()->upload("avatars", "x/avatar.jpg", "b", {}));
        EXPECT_FALSE(result);
        EXPECT_EQ(result.error, description);
        EXPECT_EQ(result.status, status);
    }
    EXPECT_EQ(authErrorDescription(HttpResult::response(401, R"({"code":401,"error_code":"no_authorization","msg":"This endpoint requires a Bearer token"})")),
              "This endpoint requires a Bearer token");
    EXPECT_EQ(authErrorDescription(HttpResult::response(403, R"({"code":403,"error_code":"bad_jwt","msg":"invalid JWT"})")),
              "invalid JWT");
}

TEST(SupabaseClient, SignOutRemovesTheSessionEvenWhenTheBackendNoLongerKnowsIt) {
    for (const int status : {204, 401, 404}) {
        VirtualLoop loop;
        Backend backend{loop};
        backend.storage->write(SupabaseClient::sessionKey, sessionJson("access-1", "r", startTime + 3600).dump());
        backend.http->replyWith(status, "");
        auto result = run(loop, backend.client()->signOut());
        EXPECT_TRUE(result) << status;
        EXPECT_FALSE(backend.storage->read(SupabaseClient::sessionKey));
        ASSERT_EQ(backend.http->exchanges.size(), 1u);
        EXPECT_EQ(backend.http->exchanges[0].request.url, "https://project.backend.example/auth/v1/logout?scope=global");
        EXPECT_EQ(header(backend.http->exchanges[0].request, "Authorization"), "Bearer access-1");
    }
}

TEST(SupabaseClient, AnUnparsableAddressIsReportedAtTheFirstCallAndEveryCallFails) {
    EXPECT_FALSE(SupabaseClient::isValidBaseURL("not a url"));
    EXPECT_FALSE(SupabaseClient::isValidBaseURL("https://"));
    EXPECT_FALSE(SupabaseClient::isValidBaseURL(""));
    EXPECT_TRUE(SupabaseClient::isValidBaseURL("https://abcdefghijklmnopqrst.supabase.co"));
    VirtualLoop loop;
    CapturedLog log;
    Backend backend{loop};
    auto client = backend.client("");  // constructing is fine
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(run(loop, client->sessionFromURL("parlune://auth/callback?code=c")).error, "Invalid Supabase URL");
    EXPECT_EQ(run(loop, client->signInWithOAuth("apple", "parlune://auth/callback")).error, "Invalid Supabase URL");
    EXPECT_EQ(run(loop, client->upload("avatars", "a/avatar.jpg", "b", {})).error, "Invalid Supabase URL");
    EXPECT_THAT(log.lines(), ElementsAre("Invalid Supabase URL"));
    EXPECT_TRUE(backend.browser->opened.empty());
    EXPECT_TRUE(backend.http->exchanges.empty());
}

// ---- The pages and the profile picture ---------------------------------------------------------

namespace {

struct AccountHarness {
    AccountHarness() {
        folder = std::filesystem::temp_directory_path() / ("parlune-account-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        auto platform = h.bundle();
        platform.applicationSupportFolder = folder;
        platform.supabaseClient = backend.client();
        app = AppState::create(platform);
        installation = SupabaseManager::shared().install([this] { return backend.client(); });
    }
    ~AccountHarness() {
        h.loop.runUntilIdle();
        std::filesystem::remove_all(folder);
    }
    void signIn() { backend.storage->write(SupabaseClient::sessionKey, sessionJson("access-1", "r", startTime + 3600).dump()); }

    SessionHarness h;
    Backend backend{h.loop};
    std::filesystem::path folder;
    std::shared_ptr<AppState> app;
    SupabaseManager::Installation installation;
};

}  // namespace

TEST(SignUpPage, ContinueWaitsForTheCallbackWhichMovesTheOnboardingOn) {
    AccountHarness a;
    auto page = SignUpPage::create(a.app);
    page->signInWithApple();
    EXPECT_TRUE(page->isLoading().get());
    a.h.loop.runUntilIdle();
    EXPECT_TRUE(page->isLoading().get());  // the browser is open; the page waits
    ASSERT_EQ(a.backend.browser->opened.size(), 1u);

    page->handleOAuthCallback("PARLUNE://auth/callback?code=ignored");
    page->handleOAuthCallback("parlune://login/callback?code=ignored");
    a.h.loop.runUntilIdle();
    EXPECT_TRUE(a.backend.http->exchanges.empty());

    a.backend.http->replyWith(200, sessionJson("access-1", "refresh-1", startTime + 3600).dump());
    page->handleOAuthCallback("parlune://auth/callback?code=abc");
    a.h.loop.runUntilIdle();
    EXPECT_FALSE(page->isLoading().get());
    EXPECT_EQ(a.app->onboardingStep().get(), 1);
    EXPECT_THAT(a.h.log.lines(), ElementsAre("Sign in with Apple successful!"));
}

TEST(SignUpPage, FailuresAreLoggedAndThePageIsIdleAgain) {
    AccountHarness a;
    auto page = SignUpPage::create(a.app);
    a.backend.browser->failure = "No such file or directory";
    page->signInWithApple();
    a.h.loop.runUntilIdle();
    EXPECT_FALSE(page->isLoading().get());
    page->signInWithApple();
    page->handleOAuthCallback("parlune://auth/callback?error=access_denied&error_description=The+user+cancelled");
    a.h.loop.runUntilIdle();
    EXPECT_FALSE(page->isLoading().get());
    EXPECT_EQ(a.app->onboardingStep().get(), 0);
    EXPECT_THAT(a.h.log.lines(),
                ElementsAre("Sign in with Apple failed: The browser could not be opened: No such file or directory",
                            "Sign in with Apple failed: The browser could not be opened: No such file or directory",
                            "OAuth callback failed: The user cancelled"));
}

TEST(AccountPage, LoadsNameAndEmailOrStaysEmptyWhenSignedOut) {
    AccountHarness a;
    auto signedOut = AccountPage::create(a.app);
    EXPECT_TRUE(signedOut->isLoading().get());
    signedOut->loadUserData();
    a.h.loop.runUntilIdle();
    EXPECT_FALSE(signedOut->isLoading().get());
    EXPECT_FALSE(signedOut->isSignedIn().get());
    EXPECT_EQ(signedOut->userName().get(), "");
    EXPECT_THAT(a.h.log.lines(), ElementsAre("Failed to load user data: Auth session missing!"));

    a.signIn();
    a.backend.http->replyWith(200, json{{"id", "u"}, {"email", "first@example.com"},
                                        {"user_metadata", {{"given_name", "First"}, {"family_name", "Last"}}}}
                                       .dump());
    auto page = AccountPage::create(a.app);
    page->loadUserData();
    a.h.loop.runUntilIdle();
    EXPECT_TRUE(page->isSignedIn().get());
    EXPECT_EQ(page->userName().get(), "First Last");
    EXPECT_EQ(page->userEmail().get(), "first@example.com");

    a.backend.http->replyWith(204, "");
    page->logOut();
    a.h.loop.runUntilIdle();
    EXPECT_FALSE(page->isSignedIn().get());
    EXPECT_EQ(page->userName().get(), "");
    EXPECT_FALSE(a.backend.storage->read(SupabaseClient::sessionKey));
    EXPECT_EQ(a.h.log.lines().back(), "✅ Signed out");
}

TEST(AccountPage, APictureIsStoredAndShownAndUploadedUnderTheUpperCaseUserId) {
    AccountHarness a;
    a.signIn();
    a.backend.http->replyWith(200, R"({"Key":"avatars/0F8D5A3E-6C1B-4B7E-9A2D-1C3E5F7A9B0D/avatar.jpg","Id":"i"})",
                              std::chrono::seconds(1));
    auto page = AccountPage::create(a.app);
    const Bytes jpeg{0xff, 0xd8, 0xff, 0xe0, 1, 2, 3};
    page->uploadProfileImage(jpeg);
    EXPECT_TRUE(page->isUploading().get());
    a.h.loop.runUntilIdle();
    EXPECT_EQ(a.app->profileImage().get(), jpeg);
    std::ifstream file(a.folder / "parlune-macos" / "profile_image.jpg", std::ios::binary);
    EXPECT_EQ(Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()), jpeg);
    EXPECT_TRUE(page->isUploading().get());
    a.h.loop.advance(std::chrono::seconds(1));
    EXPECT_FALSE(page->isUploading().get());
    ASSERT_EQ(a.backend.http->exchanges.size(), 1u);
    EXPECT_EQ(a.backend.http->exchanges[0].request.url,
              "https://project.backend.example/storage/v1/object/avatars/0F8D5A3E-6C1B-4B7E-9A2D-1C3E5F7A9B0D/avatar.jpg");
    EXPECT_THAT(a.h.log.lines(), ElementsAre("✅ Profile image uploaded to Supabase Storage"));
}

TEST(AccountPage, APickWhileSignedOutChangesThePictureAndTheUploadFailsWithTheLogLine) {
    AccountHarness a;
    auto page = AccountPage::create(a.app);
    const Bytes jpeg{0xff, 0xd8, 9};
    page->uploadProfileImage(jpeg);
    a.h.loop.runUntilIdle();
    EXPECT_FALSE(page->isUploading().get());
    EXPECT_EQ(a.app->profileImage().get(), jpeg);
    EXPECT_TRUE(std::filesystem::exists(a.folder / "parlune-macos" / "profile_image.jpg"));
    EXPECT_TRUE(a.backend.http->exchanges.empty());
    EXPECT_THAT(a.h.log.lines(), ElementsAre("⚠️ Failed to upload profile image: Auth session missing!"));
}

TEST(SupabaseManager, TheClientIsMadeAtFirstUseAndDroppedWithItsInstallation) {
    VirtualLoop loop;
    Backend backend{loop};
    int made = 0;
    EXPECT_EQ(SupabaseManager::shared().client(), nullptr);
    {
        auto first = SupabaseManager::shared().install([&] {
            ++made;
            return backend.client();
        });
        EXPECT_EQ(made, 0);
        auto client = SupabaseManager::shared().client();
        EXPECT_EQ(SupabaseManager::shared().client(), client);
        EXPECT_EQ(made, 1);
        // A later installation replaces it; the earlier guard then leaves it alone.
        auto second = SupabaseManager::shared().install([&] { return backend.client(); });
        first = SupabaseManager::Installation();
        EXPECT_NE(SupabaseManager::shared().client(), nullptr);
        EXPECT_NE(SupabaseManager::shared().client(), client);
    }
    EXPECT_EQ(SupabaseManager::shared().client(), nullptr);
}
