// Application categories, the installed-application list and the per-application style rule.

#include "core/apps/AppCategoryMapping.h"
#include "core/apps/InstalledAppsProvider.h"
#include "core/runtime/BackgroundWorker.h"
#include "fakes/SessionHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace parlune;
namespace Mapping = parlune::AppCategoryMapping;

namespace {

using Categories = std::vector<AppCategory>;
constexpr auto work = AppCategory::work;
constexpr auto social = AppCategory::social;
constexpr auto code = AppCategory::code;

std::vector<InstalledApp> named(std::initializer_list<const char*> names) {
    std::vector<InstalledApp> apps;
    for (const char* name : names) apps.push_back({std::string("/apps/") + name + ".desktop", name, ""});
    return apps;
}

std::vector<std::string> namesOf(const std::vector<InstalledApp>& apps) {
    std::vector<std::string> names;
    for (const auto& app : apps) names.push_back(app.name);
    return names;
}

class FakeScanner final : public ApplicationScanner {
public:
    std::vector<InstalledApp> scanApplications() override {
        ++scans;
        scanThread = std::this_thread::get_id();
        return result;
    }
    std::vector<InstalledApp> result;
    int scans = 0;
    std::thread::id scanThread;
};

}  // namespace

TEST(AppCategoryMapping, TheSetsHoldEveryListedNameOnce) {
    EXPECT_EQ(Mapping::workApps().size(), 218u);
    EXPECT_EQ(Mapping::socialApps().size(), 63u);
    EXPECT_EQ(Mapping::codeApps().size(), 168u);
    for (const char* name : {"Microsoft Word", "Automator", "aText", "1Password", "Adobe Photoshop 2025"}) {
        EXPECT_TRUE(Mapping::workApps().contains(name)) << name;
    }
    for (const char* name : {"Messages", "500px", "X", "LINE", "HER"}) EXPECT_TRUE(Mapping::socialApps().contains(name)) << name;
    for (const char* name : {"Xcode", "Synalyze It!", "Forklift", "ForkLift", "K9s", "p5.js"}) {
        EXPECT_TRUE(Mapping::codeApps().contains(name)) << name;
    }
}

TEST(AppCategoryMapping, MembershipByEqualityOrByPrefixOfLongEntries) {
    const std::pair<const char*, Categories> cases[] = {
        {"Adobe Photoshop 2026", {work}},       // prefix of "Adobe Photoshop"
        {"Affinity Photo 3", {work}},
        {"X", {social}},
        {"x", {social}},                        // equality ignores case
        {"Xcode", {code}},                      // "X" is too short to be a prefix
        {"Linear", {work, social}},             // begins with "line"
        {"Wireshark", {social, code}},          // begins with "wire"
        {"Coda", {work, code}},
        {"Zoom", {work, social}},
        {"Microsoft Teams", {work, social}},
        {"  Slack  ", {social}},                // spaces around are ignored
        {"\tSlack\u00A0", {social}},            // so are tabs and other spaces
        {"\nSlack", {}},                        // line breaks are not
        {"X\n", {}},
        {"CodeRunner", {code}},
        {"Codex", {code}},                      // prefix "Code"
        {"Arcade", {}},                         // "Arc" matches only exactly
        {"arc", {work}},
        {"Things 3", {work}},
        {"Safari Technology Preview", {work}},
        {"VISUAL STUDIO CODE - INSIDERS", {code}},
        {"Mu", {code}},
        {"Mug", {}},
        {"", {}},
        {"Vim", {}},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(Mapping::categories(name), expected) << '"' << name << '"';
}

TEST(InstalledAppsProvider, TheFirstOfEachNameIsKeptAndTheListSortedByName) {
    std::vector<InstalledApp> scanned{
        {"/home/a/zed.desktop", "Zed", "/icons/zed.png"}, {"/home/a/b.desktop", "beta", ""},
        {"/usr/Beta.desktop", "Beta", ""},                {"/usr/zed.desktop", "Zed", ""},
        {"/usr/alpha.desktop", "Alpha", ""},              {"/usr/e.desktop", "Éclair", ""},
        {"/usr/echo.desktop", "echo", ""},
    };
    const auto apps = InstalledAppsProvider::collectApps(scanned);
    ASSERT_EQ(namesOf(apps), (std::vector<std::string>{"Alpha", "beta", "Beta", "echo", "Éclair", "Zed"}));
    EXPECT_EQ(apps[1].id, "/home/a/b.desktop") << "names equal but for case keep their scan order";
    EXPECT_EQ(apps[5].id, "/home/a/zed.desktop");
    EXPECT_EQ(apps[5].icon, "/icons/zed.png");
}

TEST(InstalledAppsProvider, ACategoryListsItsFavouritesFirstThenTheRestAlphabetically) {
    const auto apps = InstalledAppsProvider::collectApps(named(
        {"Terminal", "Visual Studio Code", "Xcode", "Alacritty", "Cursor", "Safari", "Slack", "Zed", "Wireshark"}));
    EXPECT_EQ(namesOf(InstalledAppsProvider::appsInCategory(apps, code)),
              (std::vector<std::string>{"Cursor", "Xcode", "Terminal", "Alacritty", "Visual Studio Code", "Wireshark",
                                        "Zed"}));
    EXPECT_EQ(namesOf(InstalledAppsProvider::appsInCategory(apps, social)),
              (std::vector<std::string>{"Slack", "Wireshark"}));

    // Names that begin with a favourite share its place, in alphabetical order.
    const auto chat = InstalledAppsProvider::collectApps(
        named({"Discord", "WhatsApp Messenger", "Beeper", "WhatsApp", "Messages", "Discord Canary"}));
    EXPECT_EQ(namesOf(InstalledAppsProvider::appsInCategory(chat, social)),
              (std::vector<std::string>{"Messages", "WhatsApp", "WhatsApp Messenger", "Discord", "Discord Canary",
                                        "Beeper"}));
    EXPECT_TRUE(InstalledAppsProvider::appsInCategory(chat, work).empty());
}

TEST(InstalledAppsProvider, ALoadScansOffTheLoopAndPublishesOnceOnTheLoop) {
    VirtualLoop loop;
    auto scanner = std::make_shared<FakeScanner>();
    scanner->result = named({"Xcode", "Cursor", "Mail"});
    std::vector<std::function<void()>> background;
    InstalledAppsProvider provider(loop, scanner, [&](std::function<void()> job) { background.push_back(std::move(job)); });
    int publications = 0;
    auto subscription = provider.apps().observe([&](const auto&) { ++publications; });

    provider.loadApps();
    EXPECT_EQ(scanner->scans, 0) << "the scan is handed to the background";
    ASSERT_EQ(background.size(), 1u);
    background[0]();
    EXPECT_TRUE(provider.apps()->empty()) << "nothing changes before the loop publishes";
    EXPECT_TRUE(provider.apps(code).empty()) << "apps(for:) reads the published list only";
    loop.runUntilIdle();
    EXPECT_EQ(publications, 1);
    EXPECT_EQ(namesOf(provider.apps().get()), (std::vector<std::string>{"Cursor", "Mail", "Xcode"}));
    EXPECT_EQ(namesOf(provider.apps(code)), (std::vector<std::string>{"Cursor", "Xcode"}));

    // Every load replaces the list, also with an unchanged one.
    provider.loadApps();
    background[1]();
    loop.runUntilIdle();
    EXPECT_EQ(publications, 2);
}

TEST(InstalledAppsProvider, AScanThatEndsAfterTheProviderIsGoneIsDropped) {
    VirtualLoop loop;
    auto scanner = std::make_shared<FakeScanner>();
    scanner->result = named({"Mail"});
    std::function<void()> pending;
    {
        InstalledAppsProvider provider(loop, scanner, [&](std::function<void()> job) { pending = std::move(job); });
        provider.loadApps();
    }
    pending();
    loop.runUntilIdle();
    EXPECT_EQ(scanner->scans, 1);
}

TEST(InstalledAppsProvider, WithoutARunnerItScansOnAThreadOfItsOwn) {
    VirtualLoop loop;
    auto scanner = std::make_shared<FakeScanner>();
    scanner->result = named({"Mail"});
    InstalledAppsProvider provider(loop, scanner);
    provider.loadApps();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (provider.apps()->empty() && std::chrono::steady_clock::now() < deadline) {
        loop.runUntilIdle();
        std::this_thread::yield();
    }
    EXPECT_EQ(namesOf(provider.apps().get()), (std::vector<std::string>{"Mail"}));
    EXPECT_NE(scanner->scanThread, std::this_thread::get_id());
}

TEST(BackgroundWorker, RunsJobsInOrderOnOneOtherThread) {
    std::vector<std::thread::id> threads;
    std::promise<void> secondDone;
    {
        BackgroundWorker worker;
        worker.submit([&] { threads.push_back(std::this_thread::get_id()); });
        worker.submit([&] {
            threads.push_back(std::this_thread::get_id());
            secondDone.set_value();
        });
        ASSERT_EQ(secondDone.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    }
    ASSERT_EQ(threads.size(), 2u);
    EXPECT_EQ(threads[0], threads[1]);
    EXPECT_NE(threads[0], std::this_thread::get_id());
}

TEST(WritingStyles, AnApplicationWithAnEntryKeepsItAndAllOthersFollowTheGlobalStyle) {
    fakes::SessionHarness h;
    auto app = h.start();
    EXPECT_EQ(app->styleForApp("/usr/share/applications/code.desktop"), WritingStyle::casual);
    app->setSelectedWritingStyle(WritingStyle::formal);
    EXPECT_EQ(app->styleForApp("/usr/share/applications/code.desktop"), WritingStyle::formal);

    app->setStyleForApp("/usr/share/applications/code.desktop", WritingStyle::casual);
    app->setSelectedWritingStyle(WritingStyle::standard);
    EXPECT_EQ(app->styleForApp("/usr/share/applications/code.desktop"), WritingStyle::casual);
    EXPECT_EQ(app->styleForApp("/usr/share/applications/Code.desktop"), WritingStyle::standard) << "keys are exact";
    EXPECT_EQ(app->styleForApp("/usr/share/applications/slack.desktop"), WritingStyle::standard)
        << "no category fallback";
}
