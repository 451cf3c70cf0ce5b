#include "ui/UiTest.h"
#include "ui/shell/ShellController.h"
#include "ui/shell/SingleInstance.h"
#include "ui/tray/TrayIcon.h"

#include "fakes/Process.h"
#include "fakes/SessionHarness.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

// A main window and a tray panel, as the application makes them.
struct Windows {
    Windows() {
        main = createWindow("MainWindow.qml", {{"appState", QVariant()}, {"shell", QVariant::fromValue<QObject*>(&shell)}});
        panel = createWindow("TrayPanel.qml", {{"appState", QVariant()}, {"shell", QVariant::fromValue<QObject*>(&shell)}});
        shell.setMainWindow(main.get());
    }
    ShellController shell;
    std::unique_ptr<QQuickWindow> main;
    std::unique_ptr<QQuickWindow> panel;
};

}  // namespace

TEST(ShellController, AReopenShowsTheClosedMainWindowAgain) {
    uiApplication();
    Windows windows;
    ASSERT_TRUE(windows.main && windows.panel);
    EXPECT_EQ(windows.main->title(), "") << "\"Open Settings...\" finds the main window by its empty title";
    windows.main->show();
    ASSERT_TRUE(waitUntil([&] { return windows.main->isExposed(); }));
    windows.main->close();
    ASSERT_FALSE(windows.main->isVisible());
    windows.shell.handleLaunchArguments({});
    EXPECT_TRUE(windows.main->isVisible());
}

TEST(ShellController, OpenedUrlsReachTheViewsAndOnlyParluneUrlsAreLogged) {
    uiApplication();
    fakes::CapturedLog log;
    Windows windows;
    QStringList delivered;
    QObject::connect(&windows.shell, &ShellController::urlOpened, [&](const QString& url) { delivered << url; });
    const auto windowsBefore = QGuiApplication::topLevelWindows().size();
    windows.shell.handleLaunchArguments({"parlune://auth/callback?code=abc", "https://example.org/"});
    EXPECT_TRUE(windows.main->isVisible()) << "the one main window is brought back";
    EXPECT_EQ(QGuiApplication::topLevelWindows().size(), windowsBefore) << "no second window";
    EXPECT_EQ(delivered, (QStringList{"parlune://auth/callback?code=abc", "https://example.org/"}));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Deep link opened: parlune://auth/callback?code=<hidden>"}));
}

TEST(ShellController, OpenSettingsBringsTheMainWindowNotThePanelForward) {
    uiApplication();
    Windows windows;
    windows.panel->show();
    windows.shell.openSettings();
    EXPECT_TRUE(windows.main->isVisible());
    const auto list = windows.shell.windows();
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[0]->title(), "") << "the main window comes first";
}

TEST(SingleInstance, ASecondClaimForwardsItsArgumentsToTheFirst) {
    uiApplication();
    TemporaryFolder folder;
    const QString path = QString::fromStdString(folder.path()) + "/parlune";
    bool held = true;
    auto first = SingleInstance::claim(path, held);
    ASSERT_TRUE(first);
    EXPECT_FALSE(held);
    ASSERT_TRUE(first->listen());
    auto second = SingleInstance::claim(path, held);
    EXPECT_FALSE(second);
    EXPECT_TRUE(held);

    std::vector<QStringList> received;
    QObject::connect(first.get(), &SingleInstance::argumentsReceived, [&](const QStringList& arguments) { received.push_back(arguments); });
    for (const QStringList& arguments : {QStringList{"parlune://auth/callback"}, QStringList{}}) {
        bool delivered = false;
        std::unique_ptr<QThread> sender(QThread::create([&] { delivered = SingleInstance::forward(path, arguments); }));
        sender->start();
        ASSERT_TRUE(waitUntil([&] { return sender->isFinished(); }));
        EXPECT_TRUE(delivered);
    }
    ASSERT_TRUE(waitUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received[0], QStringList{"parlune://auth/callback"});
    EXPECT_EQ(received[1], QStringList{}) << "no arguments: a re-open";

    first.reset();
    auto again = SingleInstance::claim(path, held);
    EXPECT_TRUE(again) << "the lock goes with the process that held it";
}

TEST(SingleInstance, ForwardingGivesUpWhenNothingAnswers) {
    uiApplication();
    TemporaryFolder folder;
    EXPECT_FALSE(SingleInstance::forward(QString::fromStdString(folder.path()), {"parlune://x"}));
}

TEST(TrayIcon, ThePanelOpensNextToTheIconInsideTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QSize panel(250, 300);
    const struct {
        QRect icon;
        QRect expected;
    } cases[] = {
        {QRect(600, 0, 24, 24), QRect(486, 28, 250, 300)},     // tray at the top: below the icon
        {QRect(600, 776, 24, 24), QRect(486, 472, 250, 300)},  // at the bottom: above it
        {QRect(1260, 0, 20, 24), QRect(1030, 28, 250, 300)},   // at the right edge: kept on screen
        {QRect(), QRect(1022, 8, 250, 300)},                   // place unknown: top-right corner
    };
    for (const auto& c : cases) EXPECT_EQ(TrayIcon::placePanel(panel, c.icon, screen), c.expected) << c.icon.x();
}
