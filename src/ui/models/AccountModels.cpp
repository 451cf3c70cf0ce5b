#include "ui/models/AccountModels.h"

#include "core/account/UserProfile.h"
#include "linux/account/AccountServices.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QThread>
#include <QFileDialog>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QQmlEngine>

#ifndef PARLUNE_ACCOUNT_PAGE_URL
#define PARLUNE_ACCOUNT_PAGE_URL ""
#endif

namespace parlune {

QImage resizeImage(const QImage& image, QSize size) {
    QImage resized(size, QImage::Format_ARGB32_Premultiplied);
    resized.fill(Qt::transparent);
    QPainter painter(&resized);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setOpacity(1.0);
    painter.drawImage(QRect(QPoint(0, 0), size), image, image.rect());
    return resized;
}

Bytes jpegData(const QImage& image) {
    if (image.isNull()) return {};
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    // JPEG has no alpha: a transparent picture is laid on white first.
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, image);
    if (!opaque.save(&buffer, "JPEG", 85)) return {};
    return Bytes(data.begin(), data.end());
}

SignUpPageModel::SignUpPageModel(std::shared_ptr<AppState> app, QObject* parent)
    : QObject(parent), page_(SignUpPage::create(std::move(app))) {
    subscriptions_.push_back(page_->isLoading().observe([this](bool) { emit isLoadingChanged(); }));
}

AccountPageModel::AccountPageModel(std::shared_ptr<AppState> app, QQmlEngine* engine, QObject* parent)
    : QObject(parent), app_(std::move(app)), page_(AccountPage::create(app_)),
      accountPageURL_(PARLUNE_ACCOUNT_PAGE_URL) {
    if (engine != nullptr) {
        if (auto* provider = dynamic_cast<ProfileImageProvider*>(engine->imageProvider(QStringLiteral("parlune")))) {
            provider->setApp(app_);
        } else {
            engine->addImageProvider(QStringLiteral("parlune"), new ProfileImageProvider(app_));
        }
    }
    const auto changedNow = [this](const auto&) { emit changed(); };
    subscriptions_.push_back(page_->userName().observe(changedNow));
    subscriptions_.push_back(page_->userEmail().observe(changedNow));
    subscriptions_.push_back(page_->isLoading().observe(changedNow));
    subscriptions_.push_back(page_->isUploading().observe(changedNow));
    subscriptions_.push_back(page_->isSignedIn().observe(changedNow));
    subscriptions_.push_back(app_->profileImage().observe([this](const std::optional<Bytes>&) {
        ++imageRevision_;
        emit profileImageChanged();
    }));
    chooseFile = []() -> std::optional<QString> {
        QFileDialog dialog;
        dialog.setWindowTitle(QStringLiteral("Choose a profile picture"));
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);  // keeps the prompt text
        QStringList patterns;
        for (const auto& format : QImageReader::supportedImageFormats()) patterns << "*." + QString::fromLatin1(format);
        dialog.setNameFilter(QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' '))));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().constFirst();
    };
    openURL = [loop = app_->platform().loop](const std::string& url) {
        spawn(*loop, [](std::string address) -> Task<void> {
            XdgBrowserOpener opener;
            co_await opener.open(std::move(address));
        }(url));
    };
}

QString AccountPageModel::initials() const { return QString::fromStdString(parlune::initials(page_->userName().get())); }

QString AccountPageModel::profileImageSource() const {
    return hasProfileImage() ? QStringLiteral("image://parlune/avatar/%1").arg(imageRevision_) : QString();
}

void AccountPageModel::pickProfileImage() {
    if (!chooseFile) return;
    if (auto path = chooseFile()) useProfileImageFile(*path);
}

bool AccountPageModel::useProfileImageFile(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) return false;
    page_->uploadProfileImage(jpegData(resizeImage(image, profileImageSize)));
    return true;
}

void AccountPageModel::openAccountWebPage() {
    if (!accountPageURL_.empty() && openURL) openURL(accountPageURL_);
}

ProfileImageProvider::ProfileImageProvider(std::weak_ptr<AppState> app)
    : QQuickImageProvider(QQuickImageProvider::Image), app_(std::move(app)) {}

void ProfileImageProvider::setApp(std::weak_ptr<AppState> app) {
    std::lock_guard lock(mutex_);
    app_ = std::move(app);
}

QImage ProfileImageProvider::requestImage(const QString&, QSize* size, const QSize& requestedSize) {
    // The picture's bytes are copied on the loop's thread; the provider may run on another.
    Bytes bytes;
    std::shared_ptr<AppState> app;
    {
        std::lock_guard lock(mutex_);
        app = app_.lock();
    }
    if (app) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] {
                if (app->profileImage()->has_value()) bytes = app->profileImage()->value();
            },
            QThread::currentThread() == QCoreApplication::instance()->thread() ? Qt::DirectConnection
                                                                               : Qt::BlockingQueuedConnection);
    }
    QImage source;
    if (!bytes.empty()) source.loadFromData(bytes.data(), static_cast<int>(bytes.size()));
    const int side = requestedSize.isValid() ? std::max(requestedSize.width(), requestedSize.height()) : 144;
    QImage circle(side, side, QImage::Format_ARGB32_Premultiplied);
    circle.fill(Qt::transparent);
    if (!source.isNull()) {
        // Scaled to fill the square, centred, then cut to the circle.
        const QSize filled = source.size().scaled(side, side, Qt::KeepAspectRatioByExpanding);
        QPainter painter(&circle);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        QPainterPath path;
        path.addEllipse(QRectF(0, 0, side, side));
        painter.setClipPath(path);
        painter.drawImage(QRect((side - filled.width()) / 2, (side - filled.height()) / 2, filled.width(), filled.height()),
                          source);
    }
    if (size != nullptr) *size = circle.size();
    return circle;
}

}  // namespace parlune
