// The dictionary proposals of the auto-dictionary in the desktop's notch panels.

#include "core/insertion/AutoDictionaryNotifier.h"
#include "ui/UiTest.h"
#include "ui/indicator/SuggestionPanels.h"
#include "ui/runtime/QtEventLoop.h"

#include "fakes/SessionHarness.h"

#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

TEST(SuggestionPanels, EachProposalGetsAFreshPanelThatTheTrashButtonWithdraws) {
    uiApplication();
    fakes::CapturedLog log;
    QtEventLoop loop;
    auto panels = std::make_shared<SuggestionPanel>(uiEngine());
    auto notifier = AutoDictionaryNotifier::create(loop, std::make_shared<QtSuggestionPanels>(panels));
    auto word = [&] {
        QQuickWindow* window = panels->current() != nullptr ? panels->current()->window() : nullptr;
        return window != nullptr ? findItem(window, "word")->property("text").toString() : QString();
    };

    notifier->suggest("Kubernetes", [] {});
    ASSERT_TRUE(waitUntil([&] { return word() == "Kubernetes"; }));
    QPointer<NotchPanel> first = panels->current();
    notifier->suggest("Jonh", [] {});
    ASSERT_TRUE(waitUntil([&] { return word() == "Jonh"; }));
    EXPECT_NE(panels->current(), first.data()) << "a fresh panel for the second word";
    EXPECT_TRUE(waitUntil([&] { return first.isNull(); }, 3s)) << "the first word's panel slid out and went away";

    // The trash button of the panel on screen withdraws it.
    QQuickWindow* window = panels->current()->window();
    ASSERT_TRUE(waitUntil([&] { return window->property("progress").toDouble() >= 1.0; })) << "slid in";
    const QPointF trash = sceneRect(findItem(window, "trashButton")).center();
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, trash, window->mapToGlobal(trash), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &click);
    }
    EXPECT_TRUE(waitUntil([&] { return panels->current() == nullptr; }, 3s));
    EXPECT_EQ(log.lines().back(), "📖 AutoDictionary: 'Jonh' rejected by user");
}
