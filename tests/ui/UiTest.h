#pragma once

#include "fakes/Process.h"

// Support for the view tests: one QApplication per test binary (offscreen unless a test set up a
// display first), bounded waits that keep the event loop turning, grabs and screenshots, and a
// private Xvfb with a window manager for what the offscreen platform cannot draw.

#include "ui/DesktopApplication.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QThread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace parlune::testing {

inline QApplication& uiApplication() {
    static int argc = 1;
    static char name[] = "parlune-ui-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        if (!qEnvironmentVariableIsSet("PARLUNE_TEST_DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* app = new QApplication(argc, argv);
        DesktopApplication::loadFonts();
        return app;
    }();
    return *application;
}

// Turns the event loop until `done()` or the bound; true when done.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const QDeadlineTimer deadline(bound.count());
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

inline void pump(std::chrono::milliseconds time) {
    waitUntil([] { return false; }, time);
}

inline QQmlEngine& uiEngine() {
    uiApplication();
    static QQmlEngine* engine = [] {
        auto* created = new QQmlEngine;
        created->addImportPath(QStringLiteral("qrc:/qt/qml"));
        return created;
    }();
    return *engine;
}

// A window from a QML file of the Parlune module.
inline std::unique_ptr<QQuickWindow> createWindow(const QString& file, const QVariantMap& properties) {
    QQmlComponent component(&uiEngine(), QUrl(QStringLiteral("qrc:/qt/qml/Parlune/") + file));
    auto* window = qobject_cast<QQuickWindow*>(component.createWithInitialProperties(properties));
    if (window == nullptr) qWarning() << component.errorString();
    return std::unique_ptr<QQuickWindow>(window);
}

template <class T = QQuickItem>
T* findItem(QQuickWindow* window, const char* name) {
    // Items declared in a Window belong (as QObjects) to the window, not to its content item.
    if (auto* item = window->findChild<T*>(QString::fromLatin1(name))) return item;
    return window->contentItem()->findChild<T*>(QString::fromLatin1(name));
}

// The first item of that name, searched through the visual tree, that shows.
inline QQuickItem* visibleIn(QQuickItem* item, const QString& name) {
    if (!item->isVisible() || item->opacity() <= 0) return nullptr;
    if (item->objectName() == name) return item;
    for (auto* child : item->childItems()) {
        if (auto* found = visibleIn(child, name)) return found;
    }
    return nullptr;
}

inline QQuickItem* visibleItem(QQuickWindow* window, const QString& name) { return visibleIn(window->contentItem(), name); }

// The item's rectangle in window coordinates.
inline QRectF sceneRect(QQuickItem* item) { return item->mapRectToScene(QRectF(0, 0, item->width(), item->height())); }

inline QImage grab(QQuickWindow* window) {
    waitUntil([window] { return window->isExposed(); }, std::chrono::seconds(5));
    pump(std::chrono::milliseconds(30));
    return window->grabWindow();
}

// Writes the image as PARLUNE_SCREENSHOT_DIR/NAME.png and returns the path.
inline std::string saveScreenshot(const QImage& image, const std::string& name) {
    QDir().mkpath(QStringLiteral(PARLUNE_SCREENSHOT_DIR));
    const std::string path = std::string(PARLUNE_SCREENSHOT_DIR) + "/" + name + ".png";
    image.save(QString::fromStdString(path));
    return path;
}

// The colour at a point given in window coordinates (the image may be at a higher pixel ratio).
inline QColor colorAt(const QImage& image, QPointF point) {
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>(point.x() * ratio), static_cast<int>(point.y() * ratio));
}

inline bool near(QColor actual, QColor expected, int tolerance = 24) {
    return std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

// A private X server (display number chosen by the server) with openbox as window manager.
class XvfbDisplay {
public:
    XvfbDisplay() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        server_ = std::make_unique<BackgroundProcess>(
            std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"},
            std::map<std::string, std::string>{}, fds[1]);
        ::close(fds[1]);
        std::string number;
        char c;
        // Bounded: the server writes its number within a few seconds or is taken as failed.
        const QDeadlineTimer deadline(10'000);
        ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
        while (!deadline.hasExpired()) {
            const auto n = ::read(fds[0], &c, 1);
            if (n == 1) {
                if (c == '\n') break;
                number += c;
            } else if (n == 0) {
                break;
            } else {
                ::usleep(10'000);
            }
        }
        ::close(fds[0]);
        if (number.empty()) return;
        name_ = ":" + number;
        ::setenv("DISPLAY", name_.c_str(), 1);
        windowManager_ = std::make_unique<BackgroundProcess>(std::vector<std::string>{"openbox", "--sm-disable"});
    }
    ~XvfbDisplay() {
        windowManager_.reset();
        server_.reset();
    }
    bool ok() const { return !name_.empty(); }
    const std::string& name() const { return name_; }

private:
    std::unique_ptr<BackgroundProcess> server_;
    std::unique_ptr<BackgroundProcess> windowManager_;
    std::string name_;
};

}  // namespace parlune::testing
