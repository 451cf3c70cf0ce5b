#pragma once

#include "core/account/SupabaseManager.h"
#include "core/session/AppState.h"
#include "ui/DesktopPlatform.h"
#include "ui/models/AppStateModel.h"
#include "ui/runtime/QtEventLoop.h"
#include "ui/shell/ShellController.h"
#include "ui/shell/SingleInstance.h"
#include "ui/tray/TrayIcon.h"
#include "ui/update/UpdaterController.h"

#include <QQmlEngine>
#include <QQuickWindow>

#include <memory>

namespace parlune {

// Everything the running desktop application holds, built in order inside a QApplication: the
// main loop, the QML engine, the platform, the one AppState, the main window, the tray item and
// its panel, and the updater.
class DesktopApplication {
public:
    // Needs the QApplication; `instance` (may be null) delivers later launches.
    explicit DesktopApplication(std::unique_ptr<SingleInstance> instance);
    ~DesktopApplication();

    QtEventLoop& loop() { return loop_; }
    QQmlEngine& engine() { return engine_; }
    AppState& appState() { return *appState_; }
    AppStateModel& model() { return *model_; }
    ShellController& shell() { return shell_; }
    QQuickWindow* mainWindow() const { return mainWindow_.get(); }
    QQuickWindow* trayPanel() const { return trayPanel_.get(); }
    UpdaterController& updater() { return *updater_; }
    DesktopPlatform& platform() { return platform_; }

    // Creates a window from a QML file of the Parlune module with the models as initial properties.
    std::unique_ptr<QQuickWindow> createWindow(const QString& file);

    // Sets the application-wide face; logs once when it is missing.
    static void loadFonts();

private:
    void reportSpeechReadiness();

    QtEventLoop loop_;
    QQmlEngine engine_;
    DesktopPlatform platform_;
    SupabaseManager::Installation backend_;
    std::shared_ptr<AppState> appState_;
    std::unique_ptr<AppStateModel> model_;
    ShellController shell_;
    std::unique_ptr<UpdaterController> updater_;
    std::unique_ptr<QQuickWindow> mainWindow_;
    std::unique_ptr<QQuickWindow> trayPanel_;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<SingleInstance> instance_;
    Subscription speechReadiness_;
};

}  // namespace parlune
