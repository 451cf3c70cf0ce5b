#pragma once

#include "core/shell/AppDelegate.h"

#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QStringList>

#include <memory>
#include <vector>

namespace parlune {

// The running desktop application as the shell logic sees it: its Qt Quick windows (the main
// window first), activation, later launches and the tray panel's actions.
class ShellController final : public QObject, public IApplicationShell {
    Q_OBJECT
public:
    explicit ShellController(QObject* parent = nullptr);
    ~ShellController() override;

    void setMainWindow(QQuickWindow* window) { mainWindow_ = window; }
    QQuickWindow* mainWindow() const { return mainWindow_; }
    AppDelegate& delegate() { return delegate_; }

    // IApplicationShell
    void activate() override;
    std::vector<IShellWindow*> windows() override;

    // The arguments of a launch: none is a re-open request, otherwise URLs opened with the
    // application. The URLs then reach the main window's views (urlOpened).
    void handleLaunchArguments(const QStringList& arguments);

    // The tray panel's buttons.
    Q_INVOKABLE void openSettings();
    Q_INVOKABLE void checkForUpdates() { emit checkForUpdatesRequested(); }
    Q_INVOKABLE void quit();

signals:
    void urlOpened(const QString& url);
    void checkForUpdatesRequested();

private:
    bool hasVisibleWindows();

    AppDelegate delegate_{*this};
    QPointer<QQuickWindow> mainWindow_;
    std::vector<std::unique_ptr<IShellWindow>> windowViews_;
};

}  // namespace parlune
