#include "core/account/AccountPages.h"

#include "core/account/AuthURL.h"
#include "core/account/SupabaseManager.h"
#include "core/account/UserProfile.h"
#include "core/log/Log.h"

namespace parlune {
namespace {

constexpr const char* noBackend = "no backend is configured";

}  // namespace

std::shared_ptr<SignUpPage> SignUpPage::create(std::shared_ptr<AppState> app) {
    return std::shared_ptr<SignUpPage>(new SignUpPage(std::move(app)));
}

void SignUpPage::signInWithApple() {
    isLoading_.set(true);
    spawn(*app_->platform().loop, runSignIn(shared_from_this()));
}

Task<void> SignUpPage::runSignIn(std::shared_ptr<SignUpPage> self) {
    auto client = SupabaseManager::shared().client();
    auto result = BackendResult<Done>::failure(noBackend);
    if (client) result = co_await client->signInWithOAuth(std::string("apple"), std::string(auth::callbackURL));
    // Success leaves the page waiting: the callback moves it on.
    if (!result) {
        log::line("Sign in with Apple failed: " + result.error);
        self->isLoading_.set(false);
    }
}

void SignUpPage::handleOAuthCallback(const std::string& url) {
    if (!auth::isAuthCallback(url)) return;
    spawn(*app_->platform().loop, runCallback(shared_from_this(), url));
}

Task<void> SignUpPage::runCallback(std::shared_ptr<SignUpPage> self, std::string url) {
    auto client = SupabaseManager::shared().client();
    auto result = BackendResult<BackendSession>::failure(noBackend);
    if (client) result = co_await client->sessionFromURL(std::move(url));
    if (result) {
        log::line("Sign in with Apple successful!");
        self->isLoading_.set(false);
        self->app_->setOnboardingStep(self->app_->onboardingStep().get() + 1);
    } else {
        log::line("OAuth callback failed: " + result.error);
        self->isLoading_.set(false);
    }
}

std::shared_ptr<AccountPage> AccountPage::create(std::shared_ptr<AppState> app) {
    return std::shared_ptr<AccountPage>(new AccountPage(std::move(app)));
}

void AccountPage::loadUserData() { spawn(*app_->platform().loop, runLoad(shared_from_this())); }

Task<void> AccountPage::runLoad(std::shared_ptr<AccountPage> self) {
    auto client = SupabaseManager::shared().client();
    auto result = BackendResult<BackendUser>::failure(noBackend);
    if (client) result = co_await client->user();
    if (!result) {
        log::line("Failed to load user data: " + result.error);
        self->isSignedIn_.set(false);
        self->isLoading_.set(false);
        co_return;
    }
    self->userEmail_.set(result.value->email.value_or(""));
    if (auto name = displayName(result.value->userMetadata)) self->userName_.set(*name);
    self->isSignedIn_.set(true);
    self->isLoading_.set(false);
}

void AccountPage::uploadProfileImage(Bytes jpeg) {
    isUploading_.set(true);
    spawn(*app_->platform().loop, runUpload(shared_from_this(), std::move(jpeg)));
}

Task<void> AccountPage::runUpload(std::shared_ptr<AccountPage> self, Bytes jpeg) {
    co_await self->app_->uploadProfileImage(std::move(jpeg));
    self->isUploading_.set(false);
}

void AccountPage::logOut() { spawn(*app_->platform().loop, runLogOut(shared_from_this())); }

Task<void> AccountPage::runLogOut(std::shared_ptr<AccountPage> self) {
    auto client = SupabaseManager::shared().client();
    auto result = BackendResult<Done>::failure(noBackend);
    if (client) result = co_await client->signOut();
    if (result) {
        log::line("✅ Signed out");
    } else {
        log::line("⚠️ Sign out reached only this computer: " + result.error);
    }
    self->userName_.set("");
    self->userEmail_.set("");
    self->isSignedIn_.set(false);
    self->isLoading_.set(false);
}

}  // namespace parlune
