// parlune account, as a user runs it, against the stand-in backend; the browser is a stand-in
// xdg-open on PATH that loads the authorization page and keeps the address it is sent back to.

#include "StandInBackend.h"

#include "fakes/PrivateUserFolders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

using namespace parlune;
using namespace parlune::testing;
namespace fs = std::filesystem;

namespace {

// Loads the page without following the redirect and writes the Location to $HOME/callback.
constexpr const char* fakeBrowser = R"(#!/usr/bin/python3
import http.client, os, sys, urllib.parse
url = urllib.parse.urlsplit(sys.argv[1])
connection = http.client.HTTPConnection(url.netloc, timeout=10)
connection.request("GET", url.path + "?" + url.query)
reply = connection.getresponse()
with open(os.path.join(os.environ["HOME"], "callback"), "w") as out:
    out.write(reply.getheader("Location") or "status %d" % reply.status)
)";

class AccountCli : public ::testing::Test, protected PrivateUserFolders {
protected:
    AccountCli() {
        writeFile(fs::path(path()) / "bin" / "xdg-open", fakeBrowser);
        fs::permissions(fs::path(path()) / "bin" / "xdg-open", fs::perms::owner_all);
        writeDeployment("config", {{"backendURL", backend.baseURL()}, {"backendPublishableKey", backend.publishableKey}});
    }
    ProcessResult run(const std::vector<std::string>& arguments) {
        return PrivateUserFolders::run(arguments, {{"HOME", path()}, {"PATH", path() + "/bin:" + std::getenv("PATH")}});
    }
    std::string callback() {
        // Bounded: xdg-open runs on its own, the page answers at once.
        for (int tries = 0; tries < 500; ++tries) {
            const std::string text = readFile(path() + "/callback");
            if (!text.empty()) return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

    StandInBackend backend;
};

}  // namespace

TEST_F(AccountCli, SignInFinishStatusAndSignOut) {
    const auto before = run({"account", "status"});
    ASSERT_EQ(before.exitCode, 0) << before.standardError;
    EXPECT_EQ(nlohmann::json::parse(before.standardOutput),
              (nlohmann::json{{"signedIn", false}, {"reason", "Auth session missing!"}}));

    const auto signIn = run({"account", "sign-in"});
    ASSERT_EQ(signIn.exitCode, 0) << signIn.standardError;
    const auto address = callback();
    ASSERT_THAT(address, ::testing::StartsWith("parlune://auth/callback?code="));

    const auto finish = run({"account", "finish", address});
    ASSERT_EQ(finish.exitCode, 0) << finish.standardError;
    EXPECT_EQ(finish.standardError, "Sign in with Apple successful!\n");
    const auto sessionFile = (dataFolder() / "auth-session.json").string();
    struct stat status {};
    ASSERT_EQ(::stat(sessionFile.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_THAT(finish.standardError + finish.standardOutput, ::testing::Not(::testing::HasSubstr("access-")));

    const auto after = run({"account", "status"});
    ASSERT_EQ(after.exitCode, 0) << after.standardError;
    EXPECT_EQ(nlohmann::json::parse(after.standardOutput),
              (nlohmann::json{{"signedIn", true}, {"userId", backend.userId}, {"email", "ada@example.com"}, {"name", "Ada Lovelace"}}));

    // The same code a second time: the backend no longer knows it.
    const auto again = run({"account", "finish", address});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.standardError, "OAuth callback failed: No sign-in is waiting for this callback (the code verifier is missing); sign in again\n");

    std::cout << "$ ls -l " << sessionFile << "\n" << runProcess({"/bin/ls", "-l", sessionFile}).standardOutput;
    const auto signOut = run({"account", "sign-out"});
    EXPECT_EQ(signOut.exitCode, 0);
    EXPECT_EQ(signOut.standardError, "✅ Signed out\n");
    EXPECT_FALSE(fs::exists(sessionFile));
}

TEST_F(AccountCli, ACallbackWithAnErrorOrAnUnusableAddressFails) {
    const auto denied = run({"account", "finish", "parlune://auth/callback#error=access_denied&error_description=The+user+cancelled"});
    EXPECT_EQ(denied.exitCode, 1);
    EXPECT_EQ(denied.standardError, "OAuth callback failed: The user cancelled\n");
    const auto other = run({"account", "finish", "https://example.com/?code=1"});
    EXPECT_EQ(other.exitCode, 2);
}
