#include "ui/indicator/NotchPanel.h"

#include "core/log/Log.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QScreen>

namespace parlune {

NotchPanel::NotchPanel(QQmlEngine& engine, QUrl component, QVariantMap properties, HoverBehavior hover, QObject* parent)
    : QObject(parent), engine_(engine), component_(std::move(component)), properties_(std::move(properties)), hover_(hover) {
    autoHide_.setSingleShot(true);
    connect(&autoHide_, &QTimer::timeout, this, &NotchPanel::hide);
}

NotchPanel::~NotchPanel() { delete window_; }

bool NotchPanel::createWindow() {
    QQmlComponent component(&engine_, component_);
    QObject* object = component.createWithInitialProperties(properties_);
    window_ = qobject_cast<QQuickWindow*>(object);
    if (!window_) {
        delete object;
        log::line("❌ Panel " + component_.toString().toStdString() + " could not be created: " +
                  component.errorString().toStdString());
        return false;
    }
    // The QML root tells when the slide-out has ended and when the pointer enters or leaves.
    connect(window_, SIGNAL(hideAnimationFinished()), this, SLOT(closeWindow()));
    connect(window_, SIGNAL(hoveredChanged()), this, SLOT(hoverChanged()));
    connect(window_, &QWindow::widthChanged, this, &NotchPanel::place);
    return true;
}

void NotchPanel::warmUp() {
    if (state_ != State::hidden || QGuiApplication::primaryScreen() == nullptr || !createWindow()) return;
    window_->setProperty("progress", 1.0);
    window_->grabWindow();
    delete window_;
}

void NotchPanel::place() {
    if (!window_) return;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    window_->setScreen(screen);
    const QRect area = screen->geometry();
    window_->setPosition(area.x() + (area.width() - window_->width()) / 2, area.y());
}

void NotchPanel::show(std::chrono::milliseconds duration) {
    if (state_ == State::shown) return;
    if (QGuiApplication::primaryScreen() == nullptr) {
        log::line("⚠️ No screen to show the panel on");
        return;
    }
    hidePending_ = false;
    if (state_ == State::hidden) {
        if (!createWindow()) return;
        emit windowCreated();
    }
    state_ = State::shown;
    place();
    window_->show();
    QMetaObject::invokeMethod(window_, "animateIn");
    if (duration.count() > 0) autoHide_.start(static_cast<int>(duration.count()));
}

void NotchPanel::hide() {
    if (state_ != State::shown) return;
    autoHide_.stop();
    if (hover_ == HoverBehavior::keepVisible && window_->property("hovered").toBool()) {
        hidePending_ = true;
        return;
    }
    animateOut();
}

void NotchPanel::animateOut() {
    hidePending_ = false;
    state_ = State::hiding;
    QMetaObject::invokeMethod(window_, "animateOut");
    // Should the animation not report its end (a window that is never exposed), close anyway.
    QTimer::singleShot(2000, this, [this, window = window_] {
        if (window_ == window) closeWindow();
    });
}

void NotchPanel::hoverChanged() {
    if (hidePending_ && window_ && !window_->property("hovered").toBool()) animateOut();
}

void NotchPanel::closeWindow() {
    if (state_ != State::hiding) return;  // shown again meanwhile
    state_ = State::hidden;
    window_->close();
    window_->deleteLater();
    window_ = nullptr;
    emit windowClosed();
}

}  // namespace parlune
