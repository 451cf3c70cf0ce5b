#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include <chrono>

class QQmlEngine;

namespace parlune {

// A panel at the top centre of the primary screen, above every window, that never takes the
// keyboard focus. Its window is made from a QML component whose root is a NotchPanel window; it
// is created on show() and closed once the hide animation has run. The panel slides in and out
// along the curve (0.16, 1.0)-(0.3, 1.0) over 0.55 s.
class NotchPanel final : public QObject {
    Q_OBJECT
public:
    enum class HoverBehavior { none, keepVisible };

    NotchPanel(QQmlEngine& engine, QUrl component, QVariantMap properties, HoverBehavior hover, QObject* parent = nullptr);
    ~NotchPanel() override;

    // Shows the panel for `duration` (zero: until hide()). Showing a visible panel does nothing;
    // showing it while it slides out brings it back.
    void show(std::chrono::milliseconds duration = std::chrono::milliseconds(0));
    // Slides the panel out and closes its window; with keep-visible-while-hovered it first waits
    // until the pointer has left. Does nothing when the panel is not shown.
    void hide();

    // Makes the panel's window and draws it once off screen, fully slid in, then drops it, so that
    // the first show() finds the QML compiled and the renderer's shaders built instead of paying
    // for them while the user waits. Does nothing while the panel has a window.
    void warmUp();

    bool isShown() const { return state_ == State::shown; }
    // The window while it exists (from show() until the hide animation has finished).
    QQuickWindow* window() const { return window_; }

signals:
    void windowCreated();
    void windowClosed();

private:
    enum class State { hidden, shown, hiding };
    bool createWindow();
    void place();
    void animateOut();

private slots:
    void closeWindow();
    void hoverChanged();

private:

    QQmlEngine& engine_;
    QUrl component_;
    QVariantMap properties_;
    HoverBehavior hover_;
    State state_ = State::hidden;
    bool hidePending_ = false;
    QPointer<QQuickWindow> window_;
    QTimer autoHide_;
};

}  // namespace parlune
