#pragma once

#include "core/runtime/Property.h"
#include "core/runtime/Task.h"
#include "core/session/AppState.h"

#include <memory>
#include <string>

namespace parlune {

// The sign-in page's state and operations (the first onboarding step). Work outlives the page: a
// task that ends after the page has gone still updates this object and AppState.
class SignUpPage : public std::enable_shared_from_this<SignUpPage> {
public:
    static std::shared_ptr<SignUpPage> create(std::shared_ptr<AppState> app);

    const Property<bool>& isLoading() const { return isLoading_; }

    // "Continue With Apple": opens the provider's page in the browser and waits for the callback.
    void signInWithApple();
    // An address opened with the application: a sign-in callback completes the sign-in and moves
    // the onboarding on; other addresses are ignored.
    void handleOAuthCallback(const std::string& url);

private:
    explicit SignUpPage(std::shared_ptr<AppState> app) : app_(std::move(app)) {}
    Task<void> runSignIn(std::shared_ptr<SignUpPage> self);
    Task<void> runCallback(std::shared_ptr<SignUpPage> self, std::string url);

    std::shared_ptr<AppState> app_;
    Property<bool> isLoading_{false};
};

// The account page's state and operations.
class AccountPage : public std::enable_shared_from_this<AccountPage> {
public:
    static std::shared_ptr<AccountPage> create(std::shared_ptr<AppState> app);

    const Property<std::string>& userName() const { return userName_; }
    const Property<std::string>& userEmail() const { return userEmail_; }
    const Property<bool>& isUploading() const { return isUploading_; }
    const Property<bool>& isLoading() const { return isLoading_; }
    const Property<bool>& isSignedIn() const { return isSignedIn_; }

    // Asks the backend for the signed-in user: name and e-mail address.
    void loadUserData();
    // A picked picture (JPEG of the resized image): stored, shown and uploaded.
    void uploadProfileImage(Bytes jpeg);
    // Ends the session at the backend and here; the page then shows no user.
    void logOut();

private:
    explicit AccountPage(std::shared_ptr<AppState> app) : app_(std::move(app)) {}
    Task<void> runLoad(std::shared_ptr<AccountPage> self);
    Task<void> runUpload(std::shared_ptr<AccountPage> self, Bytes jpeg);
    Task<void> runLogOut(std::shared_ptr<AccountPage> self);

    std::shared_ptr<AppState> app_;
    Property<std::string> userName_;
    Property<std::string> userEmail_;
    Property<bool> isUploading_{false};
    Property<bool> isLoading_{true};
    Property<bool> isSignedIn_{false};
};

}  // namespace parlune
