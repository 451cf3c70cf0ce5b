#include "ui/tray/TrayIcon.h"

#include "core/log/Log.h"
#include "ui/models/AppStateModel.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <algorithm>

namespace parlune {
namespace {

constexpr int gap = 4;
constexpr int margin = 8;

}  // namespace

TrayIcon::TrayIcon(AppStateModel& model, QQuickWindow* panel, QObject* parent) : QObject(parent), model_(model), panel_(panel) {
    tray_.setToolTip(QStringLiteral("Parlune"));
    updateIcon();
    connect(&model_, &AppStateModel::isRecordingChanged, this, &TrayIcon::updateIcon);
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context || reason == QSystemTrayIcon::DoubleClick) {
            togglePanel();
        }
    });
    if (panel_) {
        // The panel closes when the user turns to another window.
        connect(panel_, &QWindow::activeChanged, this, [this] {
            if (panel_ && panel_->isVisible() && !panel_->isActive()) {
                panel_->hide();
                sinceAutoHide_.start();
            }
        });
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        log::line("⚠️ No system tray on this desktop: launch parlune again to bring its window forward");
    }
    tray_.show();
}

void TrayIcon::updateIcon() {
    tray_.setIcon(QIcon(model_.isRecording() ? QStringLiteral(":/qt/qml/Parlune/images/mic.fill.svg")
                                            : QStringLiteral(":/qt/qml/Parlune/images/mic.svg")));
}

QRect TrayIcon::placePanel(QSize panel, QRect icon, QRect available) {
    QPoint origin;
    if (icon.isValid() && !icon.isEmpty()) {
        origin.setX(icon.center().x() - panel.width() / 2);
        const bool trayAtTop = icon.center().y() < available.center().y();
        origin.setY(trayAtTop ? icon.bottom() + 1 + gap : icon.top() - gap - panel.height());
    } else {
        origin = QPoint(available.right() + 1 - margin - panel.width(), available.top() + margin);
    }
    origin.setX(std::clamp(origin.x(), available.left(), std::max(available.left(), available.right() + 1 - panel.width())));
    origin.setY(std::clamp(origin.y(), available.top(), std::max(available.top(), available.bottom() + 1 - panel.height())));
    return QRect(origin, panel);
}

void TrayIcon::togglePanel() {
    if (!panel_) return;
    if (panel_->isVisible()) {
        panel_->hide();
        return;
    }
    // A click on the icon first takes the focus from the open panel, which hides it; that same
    // click must not open it again.
    if (sinceAutoHide_.isValid() && sinceAutoHide_.elapsed() < 300) return;
    QScreen* screen = QGuiApplication::screenAt(tray_.geometry().center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    panel_->setScreen(screen);
    panel_->setGeometry(placePanel(panel_->size(), tray_.geometry(), screen->availableGeometry()));
    panel_->show();
    panel_->raise();
    panel_->requestActivate();
}

}  // namespace parlune
