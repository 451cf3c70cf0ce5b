// The backend client against a stand-in of the Auth and Storage endpoints on 127.0.0.1, over the
// real HTTP client, the session file and OpenSSL.

#include "SimulatedBrowser.h"
#include "StandInBackend.h"

#include "core/account/AccountPages.h"
#include "core/account/AuthURL.h"
#include "core/account/SupabaseManager.h"
#include "fakes/Process.h"
#include "fakes/SessionHarness.h"
#include "linux/account/AccountServices.h"
#include "linux/http/CurlHttpClient.h"
#include "linux/runtime/StdLoop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>


using namespace parlune;
using namespace parlune::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

unsigned modeOf(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return 0;
    return status.st_mode & 07777;
}

struct Stack {
    Stack() {
        services.loop = &loop;
        services.http = std::make_shared<CurlHttpClient>(loop);
        services.storage = storage;
        services.browser = browser;
        services.crypto = std::make_shared<OpenSslPkceCrypto>();
        services.unixTime = [this] {
            return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count() +
                   clockOffset;
        };
    }
    std::shared_ptr<SupabaseClient> client() {
        return std::make_shared<SupabaseClient>(backend.baseURL(), backend.publishableKey, services);
    }
    template <class T>
    BackendResult<T> await(Task<BackendResult<T>> task) {
        std::optional<BackendResult<T>> result;
        spawn(loop, [](Task<BackendResult<T>> inner, std::optional<BackendResult<T>>& into) -> Task<void> {
            into.emplace(co_await std::move(inner));
        }(std::move(task), result));
        EXPECT_TRUE(loop.runUntil([&] { return result.has_value(); }, std::chrono::seconds(20)));
        return result.value_or(BackendResult<T>::failure("no answer"));
    }
    // Signs in through the browser; the callback address is returned for the caller to deliver.
    std::string authorize(SupabaseClient& c) {
        const auto opened = await(c.signInWithOAuth("apple", "parlune://auth/callback"));
        EXPECT_TRUE(opened) << opened.error;
        return browser->delivered.empty() ? std::string() : browser->delivered.back();
    }

    StandInBackend backend;
    TemporaryFolder folder;
    StdLoop loop;
    std::shared_ptr<FileSessionStorage> storage = std::make_shared<FileSessionStorage>(std::filesystem::path(folder.path()) / "parlune");
    std::shared_ptr<SimulatedBrowser> browser = std::make_shared<SimulatedBrowser>();
    std::int64_t clockOffset = 0;
    BackendServices services;
};

}  // namespace

TEST(Pkce, OpenSslGivesTheChallengeOfTheStandardExample) {
    // The example of the proof-key standard (RFC 7636, appendix B).
    OpenSslPkceCrypto crypto;
    EXPECT_EQ(auth::base64Url(crypto.sha256("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    EXPECT_EQ(crypto.randomBytes(64).size(), 64u);
    EXPECT_NE(crypto.randomBytes(16), crypto.randomBytes(16));
}

TEST(FileSessionStorage, FilesAre0600InA0700FolderAndReplacedWhole) {
    TemporaryFolder folder;
    const auto base = std::filesystem::path(folder.path()) / "data" / "parlune";
    FileSessionStorage storage(base);
    EXPECT_FALSE(storage.read("session"));
    ASSERT_TRUE(storage.write("session", "{\"a\":1}"));
    ASSERT_TRUE(storage.write("session", "{\"b\":2}"));
    EXPECT_EQ(storage.read("session"), "{\"b\":2}");
    EXPECT_EQ(modeOf(storage.fileFor("session")), 0600u);
    EXPECT_EQ(modeOf(base), 0700u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base), {}), 1);  // no temporary file left
    storage.remove("session");
    EXPECT_FALSE(storage.read("session"));
}

TEST(AccountBackend, TheWholeSignInThroughTheBrowserThenUserRefreshAndSignOut) {
    Stack s;
    auto client = s.client();
    const auto callback = s.authorize(*client);
    ASSERT_THAT(callback, ::testing::StartsWith("parlune://auth/callback?code="));
    auto session = s.await(client->sessionFromURL(callback));
    ASSERT_TRUE(session) << session.error;
    EXPECT_EQ(modeOf(s.storage->fileFor(SupabaseClient::sessionKey)), 0600u);
    EXPECT_FALSE(s.storage->read(SupabaseClient::codeVerifierKey));

    // A second client over the same folder sees the same user.
    auto user = s.await(s.client()->user());
    ASSERT_TRUE(user) << user.error;
    EXPECT_EQ(user.value->email, "ada@example.com");
    EXPECT_EQ(user.value->userMetadata["full_name"], "Ada Lovelace");
    EXPECT_EQ(s.backend.refreshCount(), 0);

    // 30 s before expiry: the session is refreshed first.
    s.clockOffset = 3600 - 30;
    auto refreshed = s.await(client->session());
    ASSERT_TRUE(refreshed) << refreshed.error;
    EXPECT_NE(refreshed.value->accessToken, session.value->accessToken);
    EXPECT_EQ(s.backend.refreshCount(), 1);

    ASSERT_TRUE(s.await(client->signOut()));
    EXPECT_FALSE(s.storage->read(SupabaseClient::sessionKey));
    auto after = s.await(client->user());
    EXPECT_EQ(after.error, "Auth session missing!");

    for (const auto& request : s.backend.received()) {
        if (request.target.starts_with("/auth/v1/authorize")) continue;  // the browser's request
        EXPECT_EQ(request.header("apikey"), "pk_stand_in") << request.target;
        EXPECT_THAT(request.header("Authorization"), ::testing::StartsWith("Bearer ")) << request.target;
    }
}

TEST(AccountBackend, AnExpiredOrUnknownCodeFailsWithTheBackendsDescription) {
    Stack s;
    auto client = s.client();
    s.backend.expireCodes();
    auto expired = s.await(client->sessionFromURL(s.authorize(*client)));
    EXPECT_EQ(expired.error, "invalid flow state, flow state has expired");
    EXPECT_EQ(expired.status, 400);
    auto unknown = s.await(client->sessionFromURL("parlune://auth/callback?code=never-issued"));
    EXPECT_EQ(unknown.error, "invalid flow state, no valid flow state found");
    EXPECT_EQ(unknown.status, 404);
    EXPECT_FALSE(s.storage->read(SupabaseClient::sessionKey));
}

TEST(AccountBackend, UploadsReplaceTheObjectAndTwoAtOnceEndWithTheOneThatFinishedLast) {
    Stack s;
    auto client = s.client();
    ASSERT_TRUE(s.await(client->sessionFromURL(s.authorize(*client))));
    UploadOptions options;
    options.contentType = "image/jpeg";
    options.upsert = true;
    ASSERT_TRUE(s.await(client->upload("avatars", "U/avatar.jpg", "first", options)));
    auto replaced = s.await(client->upload("avatars", "U/avatar.jpg", "second", options));
    ASSERT_TRUE(replaced) << replaced.error;
    EXPECT_EQ(*replaced.value, "avatars/U/avatar.jpg");
    EXPECT_EQ(s.backend.objects().at("U/avatar.jpg").bytes, "second");

    // Without upsert an existing object stays.
    options.upsert = false;
    auto duplicate = s.await(client->upload("avatars", "U/avatar.jpg", "third", options));
    EXPECT_EQ(duplicate.error, "The resource already exists");

    // Two at once: both succeed; the object is the one whose upload finished last.
    options.upsert = true;
    s.backend.holdFirstUploadOf("U/avatar.jpg");
    std::vector<BackendResult<std::string>> results;
    for (const char* bytes : {"quick-pick-1", "quick-pick-two"}) {
        spawn(s.loop, [](std::shared_ptr<SupabaseClient> c, std::string body, UploadOptions o,
                         std::vector<BackendResult<std::string>>& into) -> Task<void> {
            into.push_back(co_await c->upload("avatars", "U/avatar.jpg", std::move(body), o));
        }(client, bytes, options, results));
    }
    ASSERT_TRUE(s.loop.runUntil([&] { return results.size() == 2; }, std::chrono::seconds(20)));
    for (const auto& result : results) EXPECT_TRUE(result) << result.error;
    // Which one the stand-in took first (and held) is up to the connections.
    const auto finished = s.backend.finishedUploads();
    ASSERT_GE(finished.size(), 2u);
    const auto stored = s.backend.objects().at("U/avatar.jpg").bytes;
    EXPECT_THAT(stored, ::testing::AnyOf("quick-pick-1", "quick-pick-two"));
    EXPECT_EQ(finished.back(), "U/avatar.jpg#" + std::to_string(stored.size()));
    EXPECT_NE(finished[finished.size() - 2], finished.back());
}

TEST(AccountBackend, StorageAndAuthErrorBodiesBecomeTheDescription) {
    struct Case {
        const char* what;
        const char* storedSession;  // none: signed out
        const char* key;
        const char* bucket;
        bool upload;  // else: the current user
        const char* description;
        int status;
    };
    const Case cases[] = {
        {"signed out, the bucket's rule refuses", nullptr, "pk_stand_in", "avatars", true,
         "new row violates row-level security policy", 403},
        {"no such bucket", nullptr, "pk_stand_in", "pictures", true, "Bucket not found", 404},
        {"a wrong key", nullptr, "pk_wrong", "avatars", true, "No API key found in request", 401},
        {"a token the backend does not accept", R"({"access_token":"forged","expires_at":99999999999,"refresh_token":"r","user":{"id":"u"}})",
         "pk_stand_in", "", false, "invalid JWT: unable to parse or verify signature, token is malformed", 403},
        {"an expiring session with an unknown refresh token", R"({"access_token":"a","expires_at":1,"refresh_token":"unknown","user":{"id":"u"}})",
         "pk_stand_in", "", false, "The session could not be refreshed: Invalid Refresh Token: Refresh Token Not Found", 400},
    };
    for (const auto& c : cases) {
        Stack s;
        if (c.storedSession) {
            ASSERT_TRUE(s.storage->write(SupabaseClient::sessionKey, c.storedSession));
        }
        auto client = std::make_shared<SupabaseClient>(s.backend.baseURL(), c.key, s.services);
        std::string error;
        int status = 0;
        if (c.upload) {
            auto result = s.await(client->upload(c.bucket, "U/avatar.jpg", "x", {}));
            error = result.error;
            status = result.status;
        } else {
            auto result = s.await(client->user());
            error = result.error;
            status = result.status;
        }
        EXPECT_EQ(error, c.description) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
    }
}

TEST(AccountBackend, TheSignUpPageCompletesWhenTheBrowserDeliversTheCallback) {
    Stack s;
    fakes::SessionHarness harness;
    auto& log = harness.log;
    auto bundle = harness.bundle();
    bundle.loop = &s.loop;
    auto app = AppState::create(bundle);
    auto installation = SupabaseManager::shared().install([&s] { return s.client(); });
    auto page = SignUpPage::create(app);
    s.browser->deliver = [&s, page](const std::string& url) { s.loop.post([page, url] { page->handleOAuthCallback(url); }); };
    page->signInWithApple();
    ASSERT_TRUE(s.loop.runUntil([&] { return app->onboardingStep().get() == 1; }, std::chrono::seconds(20)));
    EXPECT_FALSE(page->isLoading().get());
    EXPECT_THAT(log.lines(), ElementsAre("Sign in with Apple successful!"));
    EXPECT_TRUE(s.storage->read(SupabaseClient::sessionKey));
    for (const auto& line : log.lines()) EXPECT_THAT(line, ::testing::Not(HasSubstr("access-")));
}
