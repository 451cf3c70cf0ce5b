#pragma once

#include "core/runtime/Property.h"
#include "core/session/AppState.h"
#include "ui/models/PagesModel.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace parlune {

// What the views read from AppState and its workers, as Qt properties that follow every change.
class AppStateModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(QString lastTranscription READ lastTranscription NOTIFY lastTranscriptionChanged)
    Q_PROPERTY(bool hasCompletedOnboarding READ hasCompletedOnboarding NOTIFY hasCompletedOnboardingChanged)
    Q_PROPERTY(int onboardingStep READ onboardingStep NOTIFY onboardingStepChanged)
    Q_PROPERTY(qint64 totalWords READ totalWords NOTIFY totalWordsChanged)
    Q_PROPERTY(bool speechAuthorized READ speechAuthorized NOTIFY speechAuthorizedChanged)
    Q_PROPERTY(bool hasAccessibilityPermission READ hasAccessibilityPermission NOTIFY hasAccessibilityPermissionChanged)
    Q_PROPERTY(QObject* pages READ pages CONSTANT)

public:
    // `recorderEvents`: the keyboard the hotkey recorder listens to (none: focused keys only).
    explicit AppStateModel(std::shared_ptr<AppState> app, std::shared_ptr<KeyboardEvents> recorderEvents = {},
                           QObject* parent = nullptr);

    bool isRecording() const { return app_->isRecording().get(); }
    QString lastTranscription() const { return QString::fromStdString(app_->lastTranscription().get()); }
    bool hasCompletedOnboarding() const { return app_->hasCompletedOnboarding().get(); }
    int onboardingStep() const { return app_->onboardingStep().get(); }
    qint64 totalWords() const { return app_->totalWords().get(); }
    bool speechAuthorized() const { return speechStatus_ == SpeechAuthorizationStatus::authorized; }
    bool hasAccessibilityPermission() const { return accessibility_; }

    Q_INVOKABLE void setHasCompletedOnboarding(bool completed) { app_->setHasCompletedOnboarding(completed); }

    // The sign-in and account pages' own state, one object per shown page (owned by the caller's
    // JavaScript; the account page registers its image provider with the view's engine).
    Q_INVOKABLE QObject* makeSignUpPage();
    Q_INVOKABLE QObject* makeAccountPage(QObject* view);

    AppState& app() const { return *app_; }
    PagesModel* pages() const { return pages_; }

signals:
    void isRecordingChanged();
    void lastTranscriptionChanged();
    void hasCompletedOnboardingChanged();
    void onboardingStepChanged();
    void totalWordsChanged();
    void speechAuthorizedChanged();
    void hasAccessibilityPermissionChanged();

private:
    std::shared_ptr<AppState> app_;
    SpeechAuthorizationStatus speechStatus_;
    bool accessibility_;
    std::vector<Subscription> subscriptions_;
    PagesModel* pages_;  // a child
};

}  // namespace parlune
