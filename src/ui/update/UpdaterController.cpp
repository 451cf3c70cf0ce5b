#include "ui/update/UpdaterController.h"

#include "core/log/Log.h"
#include "core/update/UpdateSchedule.h"
#include "core/update/VersionComparator.h"

#include <QNetworkReply>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>

#include <chrono>

namespace parlune {
namespace {

constexpr int transferTimeoutMs = 30'000;
constexpr qint64 maximumFeedBytes = 4 * 1024 * 1024;

}  // namespace

UpdaterController::UpdaterController(EventLoop& loop, SettingsStore& store, std::optional<QUrl> feed, QString currentVersion,
                                     QObject* parent)
    : QObject(parent), loop_(loop), store_(store), feed_(std::move(feed)), currentVersion_(std::move(currentVersion)) {}

UpdaterController::~UpdaterController() {
    nextCheck_.cancel();
    delete dialog_;
}

UpdateCheckResult UpdaterController::evaluate(const QByteArray& feed, const QString& currentVersion) {
    UpdateCheckResult result;
    QString error;
    const auto newest = Appcast::newest(Appcast::parse(feed, &error));
    if (!error.isEmpty()) {
        result.error = error;
        return result;
    }
    if (!newest) {
        result.error = QStringLiteral("the feed lists no release");
        return result;
    }
    result.newest = *newest;
    const bool newer = VersionComparator::compare(newest->version.toStdString(), currentVersion.toStdString()) > 0;
    result.kind = newer ? UpdateCheckResult::Kind::updateAvailable : UpdateCheckResult::Kind::upToDate;
    return result;
}

void UpdaterController::check(std::function<void(const UpdateCheckResult&)> done) {
    if (!feed_) {
        UpdateCheckResult result;
        result.error = QStringLiteral("no update feed is configured");
        loop_.post([done, result] { done(result); });
        return;
    }
    QNetworkRequest request(*feed_);
    request.setTransferTimeout(transferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    auto* reply = network_.get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > maximumFeedBytes) reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, done] {
        reply->deleteLater();
        UpdateCheckResult result;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError) {
            result.error = reply->errorString();
        } else if (status != 0 && (status < 200 || status > 299)) {
            result.error = QStringLiteral("the server answered HTTP %1").arg(status);
        } else {
            result = evaluate(reply->readAll(), currentVersion_);
        }
        done(result);
    });
}

void UpdaterController::startUpdater() {
    if (!feed_) {
        log::line("Update check: no update feed configured");
        return;
    }
    scheduleBackgroundCheck();
}

void UpdaterController::scheduleBackgroundCheck() {
    std::optional<UpdateSchedule::WallTime> last;
    if (auto seconds = store_.real(lastCheckKey)) {
        last = UpdateSchedule::WallTime(std::chrono::duration_cast<UpdateSchedule::WallTime::duration>(
            std::chrono::duration<double>(*seconds)));
    }
    const auto delay = UpdateSchedule::delayUntilNextCheck(last, std::chrono::system_clock::now());
    nextCheck_.cancel();
    nextCheck_ = loop_.postAfter(delay, [this] {
        const auto now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        store_.setReal(lastCheckKey, now);
        check([this](const UpdateCheckResult& result) {
            switch (result.kind) {
                case UpdateCheckResult::Kind::updateAvailable:
                    log::line("Update check: Parlune " + result.newest.displayVersion().toStdString() + " is available");
                    showDialog(&result);
                    break;
                case UpdateCheckResult::Kind::upToDate:
                    log::line("Update check: Parlune " + currentVersion_.toStdString() + " is up to date");
                    break;
                case UpdateCheckResult::Kind::failed:
                    log::line("⚠️ Update check failed: " + result.error.toStdString());
                    break;
            }
            emit checkFinished(result, false);
            scheduleBackgroundCheck();
        });
    });
}

void UpdaterController::checkForUpdates() {
    showDialog(nullptr);
    check([this](const UpdateCheckResult& result) {
        if (result.kind == UpdateCheckResult::Kind::failed) log::line("⚠️ Update check failed: " + result.error.toStdString());
        showDialog(&result);
        emit checkFinished(result, true);
    });
}

void UpdaterController::showDialog(const UpdateCheckResult* result) {
    if (engine_ == nullptr) return;
    if (!dialog_) {
        QQmlComponent component(engine_, QUrl(QStringLiteral("qrc:/qt/qml/Parlune/UpdateDialog.qml")));
        dialog_ = qobject_cast<QQuickWindow*>(component.create());
        if (!dialog_) {
            log::line("❌ Update dialog could not be created: " + component.errorString().toStdString());
            return;
        }
    }
    QString state = QStringLiteral("checking");
    if (result != nullptr) {
        switch (result->kind) {
            case UpdateCheckResult::Kind::upToDate: state = QStringLiteral("upToDate"); break;
            case UpdateCheckResult::Kind::updateAvailable: state = QStringLiteral("available"); break;
            case UpdateCheckResult::Kind::failed: state = QStringLiteral("failed"); break;
        }
        dialog_->setProperty("newVersion", result->newest.displayVersion());
        dialog_->setProperty("downloadUrl", result->newest.url);
        dialog_->setProperty("errorText", result->error);
    }
    dialog_->setProperty("currentVersion", currentVersion_);
    dialog_->setProperty("state", state);
    dialog_->show();
    dialog_->raise();
    dialog_->requestActivate();
}

}  // namespace parlune
