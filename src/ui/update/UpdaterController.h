#pragma once

#include "core/runtime/EventLoop.h"
#include "platform/SettingsStore.h"
#include "ui/update/Appcast.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <optional>

class QQmlEngine;
class QQuickWindow;

namespace parlune {

struct UpdateCheckResult {
    enum class Kind { upToDate, updateAvailable, failed };
    Kind kind = Kind::failed;
    AppcastItem newest;  // the feed's newest release (upToDate, updateAvailable)
    QString error;       // failed
};

// The self-update component: reads the update feed, picks its newest release and compares it with
// the running version. Started at launch it checks in the background at most once a day (the last
// check's time is kept in the settings store); the tray panel's "Check for Updates..." runs a check
// at once and shows the answer in a small dialog.
class UpdaterController final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* lastCheckKey = "lastUpdateCheckTime";

    UpdaterController(EventLoop& loop, SettingsStore& store, std::optional<QUrl> feed, QString currentVersion,
                      QObject* parent = nullptr);
    ~UpdaterController() override;

    // Schedules the background checks (the first one now when a day has passed since the last).
    void startUpdater();
    // A user-initiated check; its answer goes to the dialog (when an engine was given).
    void checkForUpdates();

    void setDialogEngine(QQmlEngine* engine) { engine_ = engine; }
    QQuickWindow* dialog() const { return dialog_; }

    // One check of the feed; `done` receives the answer on the loop.
    void check(std::function<void(const UpdateCheckResult&)> done);
    static UpdateCheckResult evaluate(const QByteArray& feed, const QString& currentVersion);

signals:
    void checkFinished(const parlune::UpdateCheckResult& result, bool userInitiated);

private:
    void scheduleBackgroundCheck();
    void showDialog(const UpdateCheckResult* result);

    EventLoop& loop_;
    SettingsStore& store_;
    std::optional<QUrl> feed_;
    QString currentVersion_;
    QNetworkAccessManager network_;
    TimerHandle nextCheck_;
    QQmlEngine* engine_ = nullptr;
    QPointer<QQuickWindow> dialog_;
};

}  // namespace parlune
