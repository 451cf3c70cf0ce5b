// .desktop files: reading one, scanning the application folders, and matching a window to one.

#include "Fixtures.h"
#include "core/apps/InstalledAppsProvider.h"
#include "fakes/Process.h"
#include "fakes/SessionHarness.h"
#include "linux/apps/DesktopApplicationScanner.h"
#include "linux/apps/DesktopEntries.h"
#include "linux/runtime/StdLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace parlune;
using namespace parlune::testing;
namespace fs = std::filesystem;

TEST(DesktopEntry, ReadingOneFileDecodesTheFormatAndRejectsBrokenFiles) {
    TemporaryFolder folder;
    struct Case {
        const char* label;
        std::string content;
        std::optional<std::string> name;  // none: no application
        bool broken;
    };
    const Case cases[] = {
        {"plain", "# comment\n[Desktop Entry]\nType=Application\nName=Mail\nName[de]=Post\nExec=mail %U\n", "Mail", false},
        {"byte-order mark and CRLF", "\xEF\xBB\xBF[Desktop Entry]\r\nType=Application\r\nName=Bom\r\n", "Bom", false},
        {"Latin-1", "[Desktop Entry]\nType=Application\nName=Caf\xE9\n", "Caf\uFFFD", false},
        {"escapes", "[Desktop Entry]\nType=Application\nName=Tab\\tSpace\\s\n", "Tab\tSpace ", false},
        {"later group", "[Desktop Entry]\nType=Application\nName=Main\n[Desktop Action new]\nName=New\n", "Main", false},
        {"link", "[Desktop Entry]\nType=Link\nName=Site\nURL=https://example.org\n", std::nullopt, false},
        {"hidden only", "[Desktop Entry]\nHidden=true\n", "", false},
        {"garbage line", "garbage\n[Desktop Entry]\nType=Application\nName=X\n", std::nullopt, true},
        {"no group", "[Other]\nType=Application\nName=X\n", std::nullopt, true},
        {"empty", "", std::nullopt, true},
        {"binary", std::string("\0\x01\x02\xFF", 4), std::nullopt, true},
        {"no name", "[Desktop Entry]\nType=Application\nExec=x\n", std::nullopt, true},
        {"no type", "[Desktop Entry]\nName=X\n", std::nullopt, true},
    };
    for (const auto& c : cases) {
        const auto read = desktop::readDesktopEntry(writeFile(fs::path(folder.path()) / "case.desktop", c.content));
        EXPECT_EQ(!read.problem.empty(), c.broken) << c.label << ": " << read.problem;
        EXPECT_EQ(read.entry ? std::optional(read.entry->name) : std::nullopt, c.name) << c.label;
    }

    const auto full = desktop::readDesktopEntry(writeFile(
        fs::path(folder.path()) / "org.example.Term.desktop",
        "[Desktop Entry]\nType=Application\nName=Term\nIcon=utilities-terminal\nExec=env LANG=C \"/opt/my term/term\" -e %U\n"
        "StartupWMClass=MyTerm\nCategories=System;TerminalEmulator;\nNoDisplay=false\n"));
    ASSERT_TRUE(full.entry);
    EXPECT_EQ(full.entry->path, folder.path() + "/org.example.Term.desktop");
    EXPECT_EQ(full.entry->id, "org.example.Term");
    EXPECT_EQ(full.entry->icon, "utilities-terminal");
    EXPECT_EQ(full.entry->exec, (std::vector<std::string>{"env", "LANG=C", "/opt/my term/term", "-e", "%U"}));
    EXPECT_EQ(full.entry->startupWmClass, "MyTerm");
    EXPECT_TRUE(full.entry->isTerminalEmulator());
    EXPECT_FALSE(full.entry->noDisplay);
}

TEST(DesktopEntry, TheFoldersFollowTheDataDirectoriesThenFlatpak) {
    ScopedEnvironment dataHome("XDG_DATA_HOME", "/home/u/data");
    {
        ScopedEnvironment dataDirs("XDG_DATA_DIRS", "/opt/share:relative/share:/usr//share/::/opt/share");
        EXPECT_EQ(desktop::applicationFolders(),
                  (std::vector<fs::path>{"/home/u/data/applications", "/opt/share/applications", "/usr/share/applications",
                                         "/home/u/data/flatpak/exports/share/applications",
                                         "/var/lib/flatpak/exports/share/applications"}));
    }
    ScopedEnvironment noDataDirs("XDG_DATA_DIRS", nullptr);
    EXPECT_EQ(desktop::applicationFolders()[1], "/usr/local/share/applications");
    EXPECT_EQ(desktop::applicationFolders()[2], "/usr/share/applications");
}

namespace {

// Two application folders: the user's, which overrides, and the system's.
struct FolderTree {
    FolderTree() {
        writeFile(user / "mail.desktop", applicationEntry("Mail"));
        writeFile(user / "player.desktop", applicationEntry("Player", "NoDisplay=true\n"));  // hides the system's
        writeFile(user / "broken.desktop", "garbage\n");                                     // hides nothing
        writeFile(user / "notes.txt", applicationEntry("Not An Entry"));
        writeFile(user / "shout.DESKTOP", applicationEntry("Shout"));
        writeFile(user / "nested/inner.desktop", applicationEntry("Inner"));
        fs::create_directories(user / "folder.desktop");
        writeFile(system / "mail.desktop", applicationEntry("System Mail"));
        writeFile(system / "player.desktop", applicationEntry("Player"));
        writeFile(system / "broken.desktop", applicationEntry("Mended"));
        writeFile(system / "mail2.desktop", applicationEntry("Mail"));  // same name as the user's
        writeFile(system / "secret.desktop", applicationEntry("Secret", "Hidden=true\n"));
        writeFile(system / "latin.desktop", applicationEntry("Caf\xE9"));
        writeFile(system / "link.desktop", "[Desktop Entry]\nType=Link\nName=Site\n");
    }
    std::vector<fs::path> folders() const { return {user, root / "missing/applications", system}; }

    TemporaryFolder folder;
    fs::path root = folder.path();
    fs::path user = root / "home/applications";
    fs::path system = root / "share/applications";
};

}  // namespace

TEST(DesktopEntry, AScanTakesTheFirstFileOfEachNameAndSkipsHiddenAndBrokenOnes) {
    FolderTree tree;
    fakes::CapturedLog log;
    const auto entries = desktop::scanApplicationEntries(tree.folders());
    std::vector<std::string> paths;
    for (const auto& entry : entries) paths.push_back(entry.path);
    ASSERT_EQ(paths.size(), 4u);
    EXPECT_EQ(paths[0], (tree.user / "mail.desktop").string()) << "the user's folder comes first";
    EXPECT_EQ(std::set(paths.begin() + 1, paths.end()),
              (std::set<std::string>{(tree.system / "broken.desktop").string(), (tree.system / "mail2.desktop").string(),
                                     (tree.system / "latin.desktop").string()}));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"⚠️ Skipping application entry " + (tree.user / "broken.desktop").string() +
                                                     ": Key file contains line “garbage” which is not a key-value pair, "
                                                     "group, or comment"}));
}

TEST(DesktopEntry, LoadingAppsOverTheTreePublishesOneEntryPerName) {
    FolderTree tree;
    fakes::CapturedLog log;
    StdLoop loop;
    InstalledAppsProvider provider(loop, std::make_shared<DesktopApplicationScanner>(tree.folders(), IconTheme::Settings{}));
    provider.loadApps();
    ASSERT_TRUE(loop.runUntil([&] { return !provider.apps()->empty(); }, std::chrono::seconds(30)));
    std::vector<std::pair<std::string, std::string>> apps;
    for (const auto& app : provider.apps().get()) apps.emplace_back(app.name, app.id);
    EXPECT_EQ(apps, (std::vector<std::pair<std::string, std::string>>{
                        {"Caf\uFFFD", (tree.system / "latin.desktop").string()},
                        {"Mail", (tree.user / "mail.desktop").string()},
                        {"Mended", (tree.system / "broken.desktop").string()}}));
}

TEST(DesktopEntry, AWindowIsMatchedByItsClassThenByFileNameThenByAProgramOnlyOneEntryRuns) {
    auto entry = [](std::string id, std::string wmClass, std::vector<std::string> exec) {
        desktop::DesktopEntry e;
        e.path = "/apps/" + id + ".desktop";
        e.id = std::move(id);
        e.startupWmClass = std::move(wmClass);
        e.exec = std::move(exec);
        return e;
    };
    const std::vector<desktop::DesktopEntry> entries{
        entry("fancy-editor", "", {"fancy"}),
        entry("org.example.Editor", "Fancy-editor", {"/opt/editor/bin/editor", "%F"}),
        entry("gimp", "", {"gimp-2.10", "%U"}),
        entry("tool", "", {"env", "LANG=C", "-u", "X", "/usr/bin/mytool", "--flag"}),
        entry("script", "", {"python3", "/usr/share/script.py"}),
        entry("one", "", {"shared-bin"}),
        entry("two", "", {"shared-bin", "--other"}),
    };
    struct Case {
        desktop::WindowIdentity window;
        const char* expected;  // the id, or nullptr for no match
    };
    const Case cases[] = {
        {{"fancy-editor", "Fancy-editor", ""}, "org.example.Editor"},  // StartupWMClass before the file name
        {{"FANCY-EDITOR", "", ""}, "org.example.Editor"},
        {{"gimp", "Gimp-2.10", ""}, "gimp"},                             // file name = instance
        {{"x", "Gimp", ""}, "gimp"},                                     // file name = class
        {{"w", "W", "/opt/editor/bin/editor"}, "org.example.Editor"},    // the process's executable
        {{"gimp-2.10", "Other", ""}, "gimp"},                            // the program = instance
        {{"w", "W", "/usr/bin/mytool"}, "tool"},                         // past env and its settings
        {{"python3", "Python3", "/usr/bin/python3"}, nullptr},           // interpreters tell nothing
        {{"w", "W", "/usr/bin/shared-bin"}, nullptr},                    // two entries run it
        {{"", "", ""}, nullptr},
    };
    for (const auto& c : cases) {
        const auto* found = desktop::findEntryForWindow(entries, c.window);
        EXPECT_EQ(found != nullptr ? found->id : std::string("(none)"), c.expected != nullptr ? c.expected : "(none)")
            << c.window.instanceName << " / " << c.window.className << " / " << c.window.executable;
    }
}
