#include "core/shell/AppDelegate.h"
#include "fakes/SessionHarness.h"

#include <gtest/gtest.h>

#include <memory>

using namespace parlune;

namespace {

struct FakeWindow final : IShellWindow {
    FakeWindow(std::string name, std::string windowTitle, bool visibleNow, std::vector<std::string>& journal)
        : name_(std::move(name)), title_(std::move(windowTitle)), visible(visibleNow), journal_(journal) {}
    bool isMainWindow() const override { return main; }
    bool isKeyWindow() const override { return key; }
    bool isVisible() const override { return visible; }
    std::string title() const override { return title_; }
    void makeKeyAndOrderFront() override {
        visible = true;
        journal_.push_back("front " + name_);
    }
    std::string name_, title_;
    bool main = false, key = false, visible;
    std::vector<std::string>& journal_;
};

struct FakeShell final : IApplicationShell {
    void activate() override { journal.push_back("activate"); }
    std::vector<IShellWindow*> windows() override {
        std::vector<IShellWindow*> list;
        for (auto& window : owned) list.push_back(window.get());
        return list;
    }
    FakeWindow& add(std::string name, std::string title, bool visible) {
        owned.push_back(std::make_unique<FakeWindow>(std::move(name), std::move(title), visible, journal));
        return *owned.back();
    }
    std::vector<std::string> journal;
    std::vector<std::unique_ptr<FakeWindow>> owned;
};

}  // namespace

TEST(AppDelegate, ChoosesTheMainOrKeyWindowElseTheFirstVisibleOne) {
    FakeShell shell;
    auto& panel = shell.add("panel", "Parlune", true);
    auto& main = shell.add("main", "", false);
    EXPECT_EQ(AppDelegate::chooseWindow(shell.windows()), &panel) << "nothing main or key: first visible";
    main.key = true;
    EXPECT_EQ(AppDelegate::chooseWindow(shell.windows()), &main);
    main.key = false;
    panel.visible = false;
    EXPECT_EQ(AppDelegate::chooseWindow(shell.windows()), nullptr);
}

TEST(AppDelegate, OpenedUrlsActivateRaiseOneWindowAndLogOnlyParluneUrls) {
    fakes::CapturedLog log;
    FakeShell shell;
    shell.add("main", "", true);
    shell.add("other", "", true);
    AppDelegate delegate(shell);
    delegate.openUrls({"parlune://auth/callback?code=1", "https://example.org/", "PARLUNE://x", "no-scheme", "parlune:plain",
                       "parlune://auth/callback#access_token=a.b.c&expires_in=3600&refresh_token=r&type=x",
                       "parlune://auth/callback?error=access_denied&error_description=Denied+by+user&codex=1"});
    EXPECT_EQ(shell.journal, (std::vector<std::string>{"activate", "front main"}));
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "Deep link opened: parlune://auth/callback?code=<hidden>", "Deep link opened: parlune:plain",
                  "Deep link opened: parlune://auth/callback#access_token=<hidden>&expires_in=3600&refresh_token=<hidden>&type=x",
                  "Deep link opened: parlune://auth/callback?error=access_denied&error_description=Denied+by+user&codex=1"}));
}

TEST(AppDelegate, ReopenBringsAWindowForwardWhenThereIsOneAndAlwaysAnswersTrue) {
    FakeShell shell;
    AppDelegate delegate(shell);
    EXPECT_TRUE(delegate.shouldHandleReopen(false));
    EXPECT_EQ(shell.journal, (std::vector<std::string>{"activate"}));
    shell.add("main", "", true).main = true;
    EXPECT_TRUE(delegate.shouldHandleReopen(true));
    EXPECT_EQ(shell.journal.back(), "front main");
}

TEST(AppDelegate, OpenSettingsRaisesTheFirstWindowTitledEmptyOrParluneMacosEvenWhenHidden) {
    FakeShell shell;
    AppDelegate delegate(shell);
    shell.add("panel", "Parlune", true);
    delegate.openSettings();
    EXPECT_EQ(shell.journal, (std::vector<std::string>{"activate"})) << "no match: nothing else happens";
    auto& main = shell.add("main", "parlune-macos", false);
    shell.add("untitled", "", true);
    delegate.openSettings();
    EXPECT_EQ(shell.journal.back(), "front main");
    EXPECT_TRUE(main.visible);
}

TEST(AppDelegate, SchemeOfFollowsTheUrlGrammar) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"parlune://auth/callback", "parlune"}, {"Parlune://x", "Parlune"}, {"web+app:x", "web+app"},
        {"/home/user/file", std::nullopt},      {"://x", std::nullopt},     {"1abc:x", std::nullopt},
        {"has space:x", std::nullopt},          {"", std::nullopt},
    };
    for (const auto& [url, scheme] : cases) EXPECT_EQ(AppDelegate::schemeOf(url), scheme) << url;
}
