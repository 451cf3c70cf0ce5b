#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QRect>
#include <QSystemTrayIcon>

namespace parlune {

class AppStateModel;

// The system tray item titled "Parlune": a microphone that is filled while recording; activating
// it opens the status panel (MenuBarView) in a small window next to it. The desktop's
// StatusNotifierItem host is used where there is one, the XEmbed tray otherwise.
class TrayIcon final : public QObject {
    Q_OBJECT
public:
    TrayIcon(AppStateModel& model, QQuickWindow* panel, QObject* parent = nullptr);

    // Where the panel goes: centred under (or above, for a tray at the bottom) the icon, inside the
    // screen's free area; at the top-right corner of that area when the icon's place is unknown.
    static QRect placePanel(QSize panel, QRect icon, QRect available);

    QSystemTrayIcon& icon() { return tray_; }
    void togglePanel();

private:
    void updateIcon();

    AppStateModel& model_;
    QPointer<QQuickWindow> panel_;
    QSystemTrayIcon tray_;
    QElapsedTimer sinceAutoHide_;
};

}  // namespace parlune
