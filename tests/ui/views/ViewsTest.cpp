// The views rendered offscreen: checked on layout facts and colours at chosen points; each state is
// also written out as a PNG.

#include "ui/UiTest.h"
#include "ui/indicator/StatusIndicatorController.h"
#include "ui/indicator/SuggestionPanel.h"
#include "ui/models/AppStateModel.h"
#include "ui/shell/ShellController.h"

#include "fakes/PermissionWorkers.h"
#include "fakes/SessionHarness.h"

#include <QMouseEvent>
#include <QScreen>

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

const QColor red("#ff453a");
const QColor green("#30d158");

using ControllableDictation = fakes::PermissionDictation;
using ControllableMonitor = fakes::PermissionMonitor;

struct TrayPanelFixture {
    TrayPanelFixture() {
        uiApplication();
        auto bundle = harness.bundle();
        bundle.dictationManager = dictation;
        bundle.keyboardMonitor = monitor;
        app = AppState::create(bundle);
        model = std::make_unique<AppStateModel>(app);
        window = createWindow("TrayPanel.qml", {{"appState", QVariant::fromValue<QObject*>(model.get())},
                                                {"shell", QVariant::fromValue<QObject*>(&shell)}});
        window->show();
    }
    void settle() {
        harness.loop.runUntilIdle();
        pump(20ms);
    }
    fakes::SessionHarness harness;
    std::shared_ptr<ControllableDictation> dictation = std::make_shared<ControllableDictation>();
    std::shared_ptr<ControllableMonitor> monitor = std::make_shared<ControllableMonitor>();
    std::shared_ptr<AppState> app;
    std::unique_ptr<AppStateModel> model;
    ShellController shell;
    std::unique_ptr<QQuickWindow> window;
};

QPointF centre(QQuickItem* item) { return sceneRect(item).center(); }

// The colour of a permission icon's circle (above its glyph).
QColor permissionColour(const QImage& image, QQuickWindow* window, const char* line) {
    auto* row = findItem(window, line);
    const QRectF icon = sceneRect(row->childItems().at(0));
    return colorAt(image, QPointF(icon.center().x(), icon.top() + 2));
}

}  // namespace

TEST(TrayPanelView, FollowsRecordingPermissionsAndTheLastTranscription) {
    TrayPanelFixture panel;
    QQuickWindow* window = panel.window.get();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->width(), 250);

    // Ready, permissions missing, nothing transcribed yet.
    panel.settle();
    QImage image = grab(window);
    saveScreenshot(image, "tray-panel-ready-missing-permissions");
    EXPECT_EQ(findItem(window, "statusText")->property("text").toString(), "Ready");
    EXPECT_TRUE(near(colorAt(image, centre(findItem(window, "statusDot"))), green));
    EXPECT_TRUE(near(permissionColour(image, window, "speechLine"), red));
    EXPECT_TRUE(near(permissionColour(image, window, "accessibilityLine"), red));
    EXPECT_FALSE(findItem(window, "lastBlock")->isVisible()) << "no \"Last:\" block and no extra divider";
    const int heightWithoutLast = window->height();

    // Recording, both permissions granted, a short last transcription.
    panel.dictation->recording.set(true);
    panel.dictation->status.set(SpeechAuthorizationStatus::authorized);
    panel.monitor->permission.set(true);
    panel.app->setLastTranscription("Ship it on Friday.");
    panel.settle();
    image = grab(window);
    saveScreenshot(image, "tray-panel-recording-granted-last");
    EXPECT_EQ(findItem(window, "statusText")->property("text").toString(), "Recording...");
    EXPECT_TRUE(near(colorAt(image, centre(findItem(window, "statusDot"))), red));
    EXPECT_TRUE(near(permissionColour(image, window, "speechLine"), green));
    EXPECT_TRUE(near(permissionColour(image, window, "accessibilityLine"), green));
    EXPECT_TRUE(findItem(window, "lastBlock")->isVisible());
    EXPECT_GT(window->height(), heightWithoutLast);

    // Only "authorized" gives the check mark.
    for (auto status : {SpeechAuthorizationStatus::denied, SpeechAuthorizationStatus::restricted}) {
        panel.dictation->status.set(status);
        panel.settle();
        EXPECT_TRUE(near(permissionColour(grab(window), window, "speechLine"), red));
    }

    // A long transcription is cut at three lines.
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "dictated words keep coming ";
    panel.dictation->recording.set(false);
    panel.app->setLastTranscription(longText);
    panel.settle();
    image = grab(window);
    saveScreenshot(image, "tray-panel-ready-long-last");
    auto* last = findItem(window, "lastText");
    EXPECT_EQ(last->property("lineCount").toInt(), 3);
    EXPECT_TRUE(last->property("truncated").toBool());
}

namespace {

QImage appIcon() {
    QImage icon(64, 64, QImage::Format_ARGB32);
    icon.fill(QColor("#1e6bff"));
    return icon;
}

struct IndicatorFixture {
    IndicatorFixture() : controller(uiEngine(), [this] { return next; }) {}
    QQuickWindow* shownWindow() {
        controller.show();
        QQuickWindow* window = controller.panel().window();
        if (window == nullptr) return nullptr;
        waitUntil([window] { return window->property("progress").toDouble() >= 1.0; });
        return window;
    }
    std::optional<QImage> next;
    StatusIndicatorController controller;
};

int countWindowsTitled(const QString& title) {
    int count = 0;
    for (auto* window : QGuiApplication::topLevelWindows()) count += window->title() == title && window->isVisible();
    return count;
}

}  // namespace

TEST(IndicatorView, SitsAtTheTopCentreWithTheIconLeftAndTheMarkRight) {
    uiApplication();
    IndicatorFixture indicator;
    indicator.next = appIcon();
    QQuickWindow* window = indicator.shownWindow();
    ASSERT_NE(window, nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->y(), screen.y());
    EXPECT_NEAR(window->x() + window->width() / 2.0, screen.center().x() + 0.5, 1.0);
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowStaysOnTopHint));

    auto* dots = findItem(window, "dots");
    auto* icon = findItem(window, "appIcon");
    auto* row = dots->parentItem();
    EXPECT_EQ(row->width(), 258) << "a row of at least 250 points with 4 points on either side";
    const QRectF iconRect = sceneRect(icon);
    const QRectF dotsRect = sceneRect(dots);
    EXPECT_EQ(iconRect.size(), QSizeF(20, 20));
    EXPECT_EQ(dotsRect.size(), QSizeF(20, 20));
    EXPECT_EQ(iconRect.left() - sceneRect(row).left(), 4);
    EXPECT_EQ(sceneRect(row).right() - dotsRect.right(), 4);
    EXPECT_EQ(iconRect.center().y(), dotsRect.center().y());
    EXPECT_NEAR(sceneRect(findItem(window, "dotsImage")).width(), 20.0 * 40 / 49, 0.01);

    for (double breath : {0.7, 1.3}) {
        dots->setProperty("breathing", false);
        dots->setProperty("breathScale", breath);
        const QImage image = grab(window);
        saveScreenshot(image, "indicator-icon-breath-" + std::to_string(static_cast<int>(breath * 10)));
        EXPECT_TRUE(near(colorAt(image, iconRect.center()), QColor("#1e6bff")));
        EXPECT_TRUE(near(colorAt(image, QPointF(iconRect.left() + 0.5, iconRect.top() + 0.5)), Qt::black, 40))
            << "the icon's corners are rounded off";
        EXPECT_TRUE(near(colorAt(image, QPointF(sceneRect(row).center().x(), dotsRect.center().y())), Qt::black, 8))
            << "flexible space between icon and mark";
    }
}

TEST(IndicatorView, ShowTwiceIsOnePanelAndAbsentAppsKeepOrDropTheIcon) {
    uiApplication();
    IndicatorFixture indicator;
    ASSERT_NE(indicator.shownWindow(), nullptr) << "first show without a frontmost application";
    EXPECT_FALSE(findItem(indicator.controller.panel().window(), "appIcon")->isVisible()) << "no icon at the very first show";
    const QImage image = grab(indicator.controller.panel().window());
    saveScreenshot(image, "indicator-no-icon");

    indicator.next = appIcon();
    indicator.shownWindow();
    indicator.next = std::nullopt;  // no frontmost application: the previous icon stays
    indicator.shownWindow();
    EXPECT_EQ(countWindowsTitled("Parlune Indicator"), 1);
    EXPECT_TRUE(indicator.controller.hasFocusedAppIcon());

    indicator.next = QImage();  // an application without an icon
    indicator.shownWindow();
    EXPECT_FALSE(indicator.controller.hasFocusedAppIcon());
}

TEST(IndicatorView, HideSlidesOutAndClosesTheWindowButWaitsWhileHovered) {
    uiApplication();
    IndicatorFixture indicator;
    indicator.controller.hide();  // not shown: nothing happens
    EXPECT_EQ(indicator.controller.panel().window(), nullptr);

    QQuickWindow* window = indicator.shownWindow();
    ASSERT_NE(window, nullptr);
    const QPointF inside(window->width() / 2.0, window->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, inside, window->mapToGlobal(inside), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    ASSERT_TRUE(waitUntil([&] { return window->property("hovered").toBool(); }));
    indicator.controller.hide();
    pump(800ms);
    EXPECT_TRUE(indicator.controller.panel().isShown()) << "kept while the pointer rests on it";
    EXPECT_NE(indicator.controller.panel().window(), nullptr);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(window, &leave);
    EXPECT_TRUE(waitUntil([&] { return indicator.controller.panel().window() == nullptr; }, 3s))
        << "hidden and its window closed after the pointer left";
}

TEST(SuggestionView, ShowsTheWordBelowTheHousingWithRingAndTrash) {
    uiApplication();
    SuggestionPanel suggestions(uiEngine());
    int trashed = 0;
    suggestions.show("Kubernetes", 4.0, [&] { ++trashed; });
    ASSERT_NE(suggestions.current(), nullptr);
    QQuickWindow* window = suggestions.current()->window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return window->property("progress").toDouble() >= 1.0; }));

    auto* ring = findItem(window, "ring");
    auto* word = findItem(window, "word");
    auto* row = findItem(window, "row");
    auto* trash = findItem(window, "trashButton");
    auto* view = row->parentItem();
    ring->setProperty("running", false);
    ring->setProperty("trimEnd", 0.75);
    const QImage image = grab(window);
    saveScreenshot(image, "suggestion-panel");

    EXPECT_EQ(sceneRect(row).top() - sceneRect(view).top(), 37) << "the row sits 37 points below the content's top";
    EXPECT_GE(row->width(), 160);
    EXPECT_EQ(sceneRect(row).left() - sceneRect(view).left(), 4);
    EXPECT_EQ(sceneRect(ring).size(), QSizeF(12, 12));
    EXPECT_EQ(sceneRect(trash).size(), QSizeF(12, 12));
    EXPECT_EQ(sceneRect(word).left() - sceneRect(ring).right(), 10);
    EXPECT_EQ(word->property("text").toString(), "Kubernetes");
    EXPECT_EQ(sceneRect(row).height(), word->height() + 16) << "8 points above and below";

    // A quarter of the ring has run out: the white arc covers the top-right to the left, and the
    // top-left quarter shows only the faint track.
    const QRectF ringRect = sceneRect(ring);
    const QColor arc = colorAt(image, QPointF(ringRect.right(), ringRect.center().y()));
    const QColor track = colorAt(image, QPointF(ringRect.left() + 1.8, ringRect.top() + 1.8));
    EXPECT_GT(arc.lightness(), 150) << "white arc at three o'clock";
    EXPECT_LT(track.lightness(), 90) << "faint track where the arc has gone";

    const QPointF trashCentre = sceneRect(trash).center();
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, trashCentre, window->mapToGlobal(trashCentre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &click);
    }
    EXPECT_EQ(trashed, 1);

    suggestions.hide();
    EXPECT_TRUE(waitUntil([&] { return countWindowsTitled("Parlune Suggestion") == 0; }, 3s));
}
