#pragma once

#include "core/account/AccountPages.h"
#include "core/session/AppState.h"

#include <QImage>
#include <QObject>
#include <QQuickImageProvider>
#include <QString>

#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <vector>

class QQmlEngine;

namespace parlune {

// The picture drawn to fill `size` whole: stretched, its proportions not kept.
QImage resizeImage(const QImage& image, QSize size);
// JPEG data of the picture at quality 85 (compression factor 0.85); empty when it cannot be made.
Bytes jpegData(const QImage& image);

// The sign-in page for the views.
class SignUpPageModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
public:
    explicit SignUpPageModel(std::shared_ptr<AppState> app, QObject* parent = nullptr);
    bool isLoading() const { return page_->isLoading().get(); }
    Q_INVOKABLE void signInWithApple() { page_->signInWithApple(); }
    Q_INVOKABLE void handleOAuthCallback(const QString& url) { page_->handleOAuthCallback(url.toStdString()); }

signals:
    void isLoadingChanged();

private:
    std::shared_ptr<SignUpPage> page_;
    std::vector<Subscription> subscriptions_;
};

// The account page for the views. The profile picture is shown through the image provider
// "parlune" (profileImageSource), already cut to a circle.
class AccountPageModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString userName READ userName NOTIFY changed)
    Q_PROPERTY(QString userEmail READ userEmail NOTIFY changed)
    Q_PROPERTY(QString initials READ initials NOTIFY changed)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY changed)
    Q_PROPERTY(bool isUploading READ isUploading NOTIFY changed)
    Q_PROPERTY(bool isSignedIn READ isSignedIn NOTIFY changed)
    Q_PROPERTY(bool hasProfileImage READ hasProfileImage NOTIFY profileImageChanged)
    Q_PROPERTY(QString profileImageSource READ profileImageSource NOTIFY profileImageChanged)
    Q_PROPERTY(bool canOpenAccountWebPage READ canOpenAccountWebPage CONSTANT)
public:
    static constexpr QSize profileImageSize{256, 256};

    AccountPageModel(std::shared_ptr<AppState> app, QQmlEngine* engine, QObject* parent = nullptr);

    QString userName() const { return QString::fromStdString(page_->userName().get()); }
    QString userEmail() const { return QString::fromStdString(page_->userEmail().get()); }
    QString initials() const;
    bool isLoading() const { return page_->isLoading().get(); }
    bool isUploading() const { return page_->isUploading().get(); }
    bool isSignedIn() const { return page_->isSignedIn().get(); }
    bool hasProfileImage() const { return app_->profileImage()->has_value(); }
    QString profileImageSource() const;
    bool canOpenAccountWebPage() const { return !accountPageURL_.empty(); }

    Q_INVOKABLE void loadUserData() { page_->loadUserData(); }
    // The file dialog, then the picked picture resized, stored and uploaded.
    Q_INVOKABLE void pickProfileImage();
    // A picture file as if picked.
    Q_INVOKABLE bool useProfileImageFile(const QString& path);
    Q_INVOKABLE void logOut() { page_->logOut(); }
    Q_INVOKABLE void openAccountWebPage();

    // Shows the file dialog; none when cancelled. Tests replace it.
    std::function<std::optional<QString>()> chooseFile;
    // Opens an address in the browser. Tests replace it.
    std::function<void(const std::string&)> openURL;

signals:
    void changed();
    void profileImageChanged();

private:
    std::shared_ptr<AppState> app_;
    std::shared_ptr<AccountPage> page_;
    std::string accountPageURL_;
    int imageRevision_ = 0;
    std::vector<Subscription> subscriptions_;
};

// The profile picture of AppState as the views show it: "image://parlune/avatar/<revision>",
// scaled to fill a square and cut to a circle.
class ProfileImageProvider final : public QQuickImageProvider {
public:
    explicit ProfileImageProvider(std::weak_ptr<AppState> app);
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
    // The state whose picture is shown (the latest account page's; one in the application).
    void setApp(std::weak_ptr<AppState> app);

private:
    std::mutex mutex_;  // images may be requested from the renderer's thread
    std::weak_ptr<AppState> app_;
};

}  // namespace parlune
