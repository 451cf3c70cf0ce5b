#include "ui/DesktopApplication.h"

#include "core/log/Log.h"
#include "linux/account/AccountServices.h"
#include "linux/platform/DeploymentConfigFile.h"
#include "ui/DesktopMain.h"
#include "ui/update/FeedAddress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QFontDatabase>
#include <QQmlComponent>
#include <QScreen>

#include <cstdio>

namespace parlune {
namespace {

constexpr auto uiFontFile = "/usr/share/fonts/opentype/inter/Inter-Medium.otf";
constexpr auto uiFontFamily = "Inter";

}  // namespace

void DesktopApplication::loadFonts() {
    if (QFontDatabase::addApplicationFont(QString::fromLatin1(uiFontFile)) < 0 &&
        !QFontDatabase::families().contains(QString::fromLatin1(uiFontFamily))) {
        log::line(std::string("⚠️ Font ") + uiFontFile + " not found; the views use the default sans-serif face");
    }
    QFont font(QString::fromLatin1(uiFontFamily));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    QGuiApplication::setFont(font);
}

DesktopApplication::DesktopApplication(std::unique_ptr<SingleInstance> instance)
    : platform_(makeDesktopPlatform(loop_, engine_)), instance_(std::move(instance)) {
    engine_.addImportPath(QStringLiteral("qrc:/qt/qml"));
    backend_ = SupabaseManager::shared().install(
        [this] { return makeSupabaseClient(loadDeploymentConfig(), makeBackendServices(loop_)); });
    appState_ = AppState::create(platform_.bundle);
    model_ = std::make_unique<AppStateModel>(appState_, platform_.keyboardEvents);
    updater_ = std::make_unique<UpdaterController>(loop_, *platform_.bundle.store, updateFeedAddress(),
                                                   QStringLiteral(PARLUNE_VERSION));
    updater_->setDialogEngine(&engine_);

    mainWindow_ = createWindow(QStringLiteral("MainWindow.qml"));
    trayPanel_ = createWindow(QStringLiteral("TrayPanel.qml"));
    if (mainWindow_) {
        shell_.setMainWindow(mainWindow_.get());
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            mainWindow_->setPosition(area.center() - QPoint(mainWindow_->width() / 2, mainWindow_->height() / 2));
        }
        if (qEnvironmentVariableIsSet("PARLUNE_REPORT_FIRST_FRAME")) {
            QObject::connect(mainWindow_.get(), &QQuickWindow::frameSwapped, mainWindow_.get(), [] {
                static bool reported = false;
                if (!reported) std::fputs("first frame\n", stderr);
                reported = true;
            }, Qt::DirectConnection);
        }
        // Once the window is on screen, the recording indicator is drawn once out of sight, so
        // that the first press does not wait for its first drawing; start-up is then over.
        QObject::connect(
            mainWindow_.get(), &QQuickWindow::frameSwapped, &shell_,
            [this] {
                platform_.indicator->panel().warmUp();
                if (qEnvironmentVariableIsSet("PARLUNE_REPORT_SPEECH_READY")) reportSpeechReadiness();
            },
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
        mainWindow_->show();
    }
    tray_ = std::make_unique<TrayIcon>(*model_, trayPanel_.get());

    QObject::connect(&shell_, &ShellController::checkForUpdatesRequested, &shell_, [this] { updater_->checkForUpdates(); });
    if (instance_ && instance_->listen()) {
        QObject::connect(instance_.get(), &SingleInstance::argumentsReceived, &shell_,
                         [this](const QStringList& arguments) { shell_.handleLaunchArguments(arguments); });
    }
    updater_->startUpdater();
}

DesktopApplication::~DesktopApplication() {
    tray_.reset();
    trayPanel_.reset();
    mainWindow_.reset();
}

// For tests and benchmarks that drive the application from outside: one line on standard error
// once start-up is over and the recogniser has answered (a hotkey press before that would find it
// still loading, or wait for the start-up drawing).
void DesktopApplication::reportSpeechReadiness() {
    auto& manager = *platform_.bundle.dictationManager;
    auto report = [](SpeechAuthorizationStatus status) {
        if (status == SpeechAuthorizationStatus::notDetermined) return false;
        std::fputs(status == SpeechAuthorizationStatus::authorized ? "speech ready\n" : "speech unavailable\n", stderr);
        return true;
    };
    if (report(manager.authorizationStatus())) return;
    speechReadiness_ = manager.observeAuthorizationStatus([this, report](SpeechAuthorizationStatus status) {
        if (report(status)) loop_.post([this] { speechReadiness_.reset(); });
    });
}

std::unique_ptr<QQuickWindow> DesktopApplication::createWindow(const QString& file) {
    QQmlComponent component(&engine_, QUrl(QStringLiteral("qrc:/qt/qml/Parlune/") + file));
    QObject* object = component.createWithInitialProperties(
        {{QStringLiteral("appState"), QVariant::fromValue<QObject*>(model_.get())},
         {QStringLiteral("shell"), QVariant::fromValue<QObject*>(&shell_)}});
    auto* window = qobject_cast<QQuickWindow*>(object);
    if (window == nullptr) {
        delete object;
        log::line("❌ " + file.toStdString() + " could not be created: " + component.errorString().toStdString());
    }
    return std::unique_ptr<QQuickWindow>(window);
}

int runDesktopApplication(int argc, char** argv, const std::vector<std::string>& arguments) {
    QStringList forwarded;
    for (const auto& argument : arguments) forwarded << QString::fromStdString(argument);

    bool heldByAnother = false;
    const QString folder = SingleInstance::defaultFolder();
    auto instance = SingleInstance::claim(folder, heldByAnother);
    if (heldByAnother) {
        QCoreApplication forwarding(argc, argv);
        return SingleInstance::forward(folder, forwarded) ? 0 : 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("parlune"));
    QApplication::setApplicationDisplayName(QStringLiteral("Parlune"));
    QApplication::setApplicationVersion(QStringLiteral(PARLUNE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("parlune"));
    // Closing the window leaves the application running in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    DesktopApplication::loadFonts();

    DesktopApplication desktop(std::move(instance));
    if (desktop.mainWindow() == nullptr) return 1;
    if (!forwarded.isEmpty()) {
        desktop.loop().post([&desktop, forwarded] { desktop.shell().handleLaunchArguments(forwarded); });
    }
    return QApplication::exec();
}

}  // namespace parlune
