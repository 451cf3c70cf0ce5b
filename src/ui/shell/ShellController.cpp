#include "ui/shell/ShellController.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace parlune {
namespace {

class QtShellWindow final : public IShellWindow {
public:
    explicit QtShellWindow(QQuickWindow* window) : window_(window) {}
    // A normal window that has the focus is both the main and the key window; panels and dialogs
    // (tool windows) can only be the key window.
    bool isMainWindow() const override { return window_->isActive() && window_->type() == Qt::Window; }
    bool isKeyWindow() const override { return window_->isActive(); }
    bool isVisible() const override { return window_->isVisible(); }
    std::string title() const override { return window_->title().toStdString(); }
    void makeKeyAndOrderFront() override {
        if (window_->visibility() == QWindow::Minimized) window_->showNormal();
        window_->show();
        window_->raise();
        window_->requestActivate();
    }

private:
    QQuickWindow* window_;
};

}  // namespace

ShellController::ShellController(QObject* parent) : QObject(parent) {}

ShellController::~ShellController() = default;

void ShellController::activate() {
    // On X11 an application is brought forward through one of its windows (requestActivate in
    // makeKeyAndOrderFront); there is nothing to do for the application as a whole.
}

std::vector<IShellWindow*> ShellController::windows() {
    windowViews_.clear();
    std::vector<QQuickWindow*> ordered;
    if (mainWindow_) ordered.push_back(mainWindow_);
    for (auto* window : QGuiApplication::topLevelWindows()) {
        auto* quick = qobject_cast<QQuickWindow*>(window);
        if (quick != nullptr && quick != mainWindow_) ordered.push_back(quick);
    }
    std::vector<IShellWindow*> list;
    for (auto* window : ordered) {
        windowViews_.push_back(std::make_unique<QtShellWindow>(window));
        list.push_back(windowViews_.back().get());
    }
    return list;
}

bool ShellController::hasVisibleWindows() {
    for (auto* window : windows()) {
        if (window->isVisible()) return true;
    }
    return false;
}

void ShellController::handleLaunchArguments(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        // Answering true lets the platform do its usual re-open: show the main window when no
        // window is on screen.
        if (delegate_.shouldHandleReopen(hasVisibleWindows()) && !hasVisibleWindows() && mainWindow_) {
            QtShellWindow(mainWindow_).makeKeyAndOrderFront();
        }
        return;
    }
    std::vector<std::string> urls;
    for (const auto& argument : arguments) urls.push_back(argument.toStdString());
    delegate_.openUrls(urls);
    // Opened URLs are delivered to the one main window (shown again if it was closed), never to a
    // new one.
    if (mainWindow_ && !mainWindow_->isVisible()) QtShellWindow(mainWindow_).makeKeyAndOrderFront();
    for (const auto& argument : arguments) emit urlOpened(argument);
}

void ShellController::openSettings() { delegate_.openSettings(); }

void ShellController::quit() { QCoreApplication::quit(); }

}  // namespace parlune
