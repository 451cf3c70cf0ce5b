#include "ui/models/AppStateModel.h"

#include "ui/models/AccountModels.h"

#include <QQmlEngine>

namespace parlune {

AppStateModel::AppStateModel(std::shared_ptr<AppState> app, std::shared_ptr<KeyboardEvents> recorderEvents, QObject* parent)
    : QObject(parent),
      app_(std::move(app)),
      speechStatus_(app_->platform().dictationManager->authorizationStatus()),
      accessibility_(app_->platform().keyboardMonitor->hasAccessibilityPermission()),
      pages_(new PagesModel(app_, std::move(recorderEvents), this)) {
    auto& state = *app_;
    subscriptions_.push_back(state.isRecording().observe([this](bool) { emit isRecordingChanged(); }));
    subscriptions_.push_back(state.lastTranscription().observe([this](const std::string&) { emit lastTranscriptionChanged(); }));
    subscriptions_.push_back(state.hasCompletedOnboarding().observe([this](bool) { emit hasCompletedOnboardingChanged(); }));
    subscriptions_.push_back(state.onboardingStep().observe([this](int) { emit onboardingStepChanged(); }));
    subscriptions_.push_back(state.totalWords().observe([this](std::int64_t) { emit totalWordsChanged(); }));
    subscriptions_.push_back(state.platform().dictationManager->observeAuthorizationStatus([this](SpeechAuthorizationStatus status) {
        speechStatus_ = status;
        emit speechAuthorizedChanged();
    }));
    subscriptions_.push_back(state.platform().keyboardMonitor->observeAccessibilityPermission([this](bool granted) {
        accessibility_ = granted;
        emit hasAccessibilityPermissionChanged();
    }));
}

QObject* AppStateModel::makeSignUpPage() {
    auto* page = new SignUpPageModel(app_);
    QQmlEngine::setObjectOwnership(page, QQmlEngine::JavaScriptOwnership);
    return page;
}

QObject* AppStateModel::makeAccountPage(QObject* view) {
    auto* page = new AccountPageModel(app_, view != nullptr ? qmlEngine(view) : nullptr);
    QQmlEngine::setObjectOwnership(page, QQmlEngine::JavaScriptOwnership);
    return page;
}

}  // namespace parlune
