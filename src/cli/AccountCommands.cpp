// parlune account

#include "cli/Command.h"
#include "core/account/AuthURL.h"
#include "core/account/SupabaseClient.h"
#include "core/log/Log.h"
#include "core/account/UserProfile.h"
#include "linux/account/AccountServices.h"
#include "linux/platform/DeploymentConfigFile.h"
#include "linux/runtime/StdLoop.h"

#include <nlohmann/json.hpp>

#include <iostream>

namespace parlune::cli {
namespace {

// Runs one backend call on a loop of its own, bounded.
template <class T>
std::optional<BackendResult<T>> await(StdLoop& loop, Task<BackendResult<T>> task) {
    std::optional<BackendResult<T>> result;
    auto handle = spawn(loop, [](Task<BackendResult<T>> inner, std::optional<BackendResult<T>>& into) -> Task<void> {
        into.emplace(co_await std::move(inner));
    }(std::move(task), result));
    if (!loop.runUntil([&] { return result.has_value(); }, std::chrono::minutes(3))) {
        handle.cancel();
        loop.runUntil([&] { return handle.isDone(); }, std::chrono::seconds(5));
        return std::nullopt;
    }
    return result;
}

int runAccount(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("account takes status, sign-in, finish URL or sign-out");
    log::setStream(log::Stream::standardError);
    StdLoop loop;
    auto client = makeSupabaseClient(loadDeploymentConfig(), makeBackendServices(loop));
    const auto& command = args[0];
    if (command == "status" && args.size() == 1) {
        const auto user = await(loop, client->user());
        if (!user) return 1;
        nlohmann::json status{{"signedIn", user->value.has_value()}};
        if (user->value) {
            status["userId"] = user->value->id;
            status["email"] = user->value->email.value_or("");
            status["name"] = displayName(user->value->userMetadata).value_or("");
        } else {
            status["reason"] = user->error;
        }
        std::cout << status.dump(2) << std::endl;
        return 0;
    }
    if (command == "sign-in" && args.size() == 1) {
        const auto opened = await(loop, client->signInWithOAuth(std::string("apple"), std::string(auth::callbackURL)));
        if (!opened || !*opened) {
            log::line("Sign in with Apple failed: " + (opened ? opened->error : std::string("timed out")));
            return 1;
        }
        std::cout << "Continue in the browser. The address it opens at the end (parlune://auth/callback?...) completes\n"
                     "the sign-in in the running application, or here with: parlune account finish URL"
                  << std::endl;
        return 0;
    }
    if (command == "finish" && args.size() == 2) {
        if (!auth::isAuthCallback(args[1])) return usageError("finish takes the parlune://auth/callback address");
        const auto session = await(loop, client->sessionFromURL(args[1]));
        if (!session || !*session) {
            log::line("OAuth callback failed: " + (session ? session->error : std::string("timed out")));
            return 1;
        }
        log::line("Sign in with Apple successful!");
        return 0;
    }
    if (command == "sign-out" && args.size() == 1) {
        const auto done = await(loop, client->signOut());
        if (!done) return 1;
        log::line(*done ? "✅ Signed out" : "⚠️ Sign out reached only this computer: " + done->error);
        return 0;
    }
    return usageError("account takes status, sign-in, finish URL or sign-out");
}

const bool registered = registerCommand(
    {"account",
     "  account status             print whether a user is signed in, and who (asks the backend)\n"
     "  account sign-in            open the sign-in page in the browser\n"
     "  account finish URL         complete a sign-in with the parlune://auth/callback address\n"
     "  account sign-out           end the session at the backend and on this computer\n",
     runAccount});

}  // namespace
}  // namespace parlune::cli
