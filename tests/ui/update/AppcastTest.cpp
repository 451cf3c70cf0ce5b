#include "ui/UiTest.h"
#include "ui/update/Appcast.h"
#include "ui/update/UpdaterController.h"

#include "core/runtime/VirtualLoop.h"
#include "core/settings/MemorySettingsStore.h"
#include "fakes/Process.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace parlune;
using namespace parlune::testing;

namespace {

const QByteArray feed = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Parlune</title>
    <item>
      <title>Version 0.9</title>
      <enclosure url="https://example.org/parlune-0.9.tar.gz" sparkle:version="0.9" sparkle:shortVersionString="0.9" length="1" type="application/octet-stream"/>
    </item>
    <item>
      <title>Version 1.2 beta</title>
      <sparkle:version>1.2b1</sparkle:version>
      <sparkle:shortVersionString>1.2 beta 1</sparkle:shortVersionString>
      <enclosure url="https://example.org/parlune-1.2b1.tar.gz" length="1" type="application/octet-stream"/>
    </item>
    <item>
      <title>Version 1.10</title>
      <sparkle:version>1.10</sparkle:version>
      <enclosure url="https://example.org/parlune-1.10.tar.gz" length="1" type="application/octet-stream"/>
    </item>
    <item><title>No version</title><enclosure url="https://example.org/x"/></item>
  </channel>
</rss>)";

// The feed as a file in `folder`, fetched through a file: URL.
QUrl writeFeed(const TemporaryFolder& folder) {
    const std::string path = folder.path() + "/appcast.xml";
    std::ofstream(path) << feed.toStdString();
    return QUrl::fromLocalFile(QString::fromStdString(path));
}

}  // namespace

TEST(Appcast, ReadsVersionsFromItemElementsAndEnclosureAttributesAndPicksTheNewest) {
    QString error;
    const auto items = Appcast::parse(feed, &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(items.size(), 3u) << "the item without a version is left out";
    EXPECT_EQ(items[0].version, "0.9");
    EXPECT_EQ(items[0].url, "https://example.org/parlune-0.9.tar.gz");
    EXPECT_EQ(items[1].displayVersion(), "1.2 beta 1");
    const auto newest = Appcast::newest(items);
    ASSERT_TRUE(newest.has_value());
    EXPECT_EQ(newest->version, "1.10") << "1.10 is newer than 1.2b1 and 0.9";
    EXPECT_EQ(newest->displayVersion(), "1.10") << "no short version: the version is shown";
}

TEST(Appcast, MalformedOrForeignDocumentsGiveAnErrorAndNoItems) {
    for (const QByteArray& text : {QByteArray("<rss><channel><item><sparkle:version>1"), QByteArray("<html><body/></html>"),
                                   QByteArray(""), QByteArray("\x00\xff garbage", 10)}) {
        QString error;
        EXPECT_TRUE(Appcast::parse(text, &error).empty());
        EXPECT_FALSE(error.isEmpty()) << text.toStdString();
    }
}

TEST(UpdaterController, ComparesTheFeedsNewestReleaseWithTheRunningVersion) {
    using Kind = UpdateCheckResult::Kind;
    EXPECT_EQ(UpdaterController::evaluate(feed, "1.10").kind, Kind::upToDate);
    EXPECT_EQ(UpdaterController::evaluate(feed, "2.0").kind, Kind::upToDate);
    const auto available = UpdaterController::evaluate(feed, "1.9");
    EXPECT_EQ(available.kind, Kind::updateAvailable);
    EXPECT_EQ(available.newest.url, "https://example.org/parlune-1.10.tar.gz");
    EXPECT_EQ(UpdaterController::evaluate("<rss version=\"2.0\"><channel/></rss>", "1.0").kind, Kind::failed);
}

TEST(UpdaterController, FetchesTheFeedAndReportsAnUnreachableOneAsFailed) {
    uiApplication();
    TemporaryFolder folder;
    VirtualLoop loop;
    MemorySettingsStore store;
    const struct {
        QUrl url;
        UpdateCheckResult::Kind expected;
    } cases[] = {{writeFeed(folder), UpdateCheckResult::Kind::updateAvailable},
                 {QUrl::fromLocalFile(QString::fromStdString(folder.path() + "/missing.xml")), UpdateCheckResult::Kind::failed}};
    for (const auto& c : cases) {
        UpdaterController updater(loop, store, c.url, "0.1.0");
        std::optional<UpdateCheckResult> result;
        updater.check([&](const UpdateCheckResult& answer) { result = answer; });
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
        EXPECT_EQ(result->kind, c.expected) << c.url.toString().toStdString() << ": " << result->error.toStdString();
    }
}

TEST(UpdaterController, BackgroundChecksRunAtLaunchAtMostOnceADay) {
    uiApplication();
    TemporaryFolder folder;
    VirtualLoop loop;
    MemorySettingsStore store;
    const auto now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    store.setReal(UpdaterController::lastCheckKey, now - 3600);  // an hour ago
    UpdaterController updater(loop, store, writeFeed(folder), "0.1.0");
    int checks = 0;
    QObject::connect(&updater, &UpdaterController::checkFinished, [&](const UpdateCheckResult&, bool) { ++checks; });
    updater.startUpdater();
    loop.advance(std::chrono::hours(22));
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(checks, 0) << "the day since the last check has not passed";
    loop.advance(std::chrono::hours(2));
    ASSERT_TRUE(waitUntil([&] { return checks == 1; }));
    EXPECT_GE(*store.real(UpdaterController::lastCheckKey), now);
}
