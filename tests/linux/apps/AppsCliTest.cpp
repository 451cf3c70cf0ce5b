// parlune apps, style and frontmost over a private folder tree and display.

#include "Fixtures.h"
#include "PrivateDisplay.h"
#include "fakes/PrivateUserFolders.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace parlune::testing;
namespace fs = std::filesystem;

namespace {

class AppsCli : public ::testing::Test, protected PrivateUserFolders {
protected:
    AppsCli() {
        for (const char* name : {"Cursor", "Xcode", "Terminal", "Mail", "Zed", "Alacritty", "Vim", "Visual Studio Code"}) {
            writeFile(user / (std::string(name) + ".desktop"), applicationEntry(name));
        }
        writeFile(system / "Xcode.desktop", applicationEntry("Xcode Old"));  // the user's file of that name wins
        writeFile(system / "xcode-beta.desktop", applicationEntry("Xcode"));  // a second Xcode: dropped by name
        writeFile(system / "wireshark.desktop", applicationEntry("Wireshark"));
        writeFile(system / "hidden.desktop", applicationEntry("Cursor Helper", "NoDisplay=true\n"));
    }

    ProcessResult run(const std::vector<std::string>& arguments, std::map<std::string, std::string> environment = {}) {
        environment.insert({{"HOME", root / "home"}, {"XDG_DATA_DIRS", root / "share"}});
        return PrivateUserFolders::run(arguments, environment);
    }

    // The printed lines about applications of this tree (a system-wide Flatpak folder may add others).
    std::vector<std::string> treeLines(const std::string& output) const {
        std::vector<std::string> lines;
        std::istringstream stream(output);
        for (std::string line; std::getline(stream, line);) {
            if (line.starts_with(root.string() + "/")) lines.push_back(line.substr(root.string().size() + 1));
        }
        return lines;
    }

    fs::path root = path();
    fs::path user = root / "data/applications";
    fs::path system = root / "share/applications";
};

}  // namespace

TEST_F(AppsCli, ACategoryListsItsFavouritesFirstThenTheRestAlphabetically) {
    auto listed = run({"apps", "--category", "code"});
    ASSERT_EQ(listed.exitCode, 0) << listed.standardError;
    EXPECT_EQ(treeLines(listed.standardOutput), (std::vector<std::string>{
                                                    "data/applications/Cursor.desktop\tCursor\tCode\tCasual",
                                                    "data/applications/Xcode.desktop\tXcode\tCode\tCasual",
                                                    "data/applications/Terminal.desktop\tTerminal\tCode\tCasual",
                                                    "data/applications/Alacritty.desktop\tAlacritty\tCode\tCasual",
                                                    "data/applications/Visual Studio Code.desktop\tVisual Studio Code\tCode\tCasual",
                                                    "share/applications/wireshark.desktop\tWireshark\tSocial,Code\tCasual",
                                                    "data/applications/Zed.desktop\tZed\tCode\tCasual",
                                                }));

    const auto xcode = (user / "Xcode.desktop").string();
    auto styled = run({"style", xcode, "formal"});
    ASSERT_EQ(styled.exitCode, 0) << styled.standardError;
    EXPECT_EQ(styled.standardOutput, "");
    auto all = run({"apps"});
    ASSERT_EQ(all.exitCode, 0) << all.standardError;
    EXPECT_EQ(treeLines(all.standardOutput), (std::vector<std::string>{
                                                 "data/applications/Alacritty.desktop\tAlacritty\tCode\tCasual",
                                                 "data/applications/Cursor.desktop\tCursor\tCode\tCasual",
                                                 "data/applications/Mail.desktop\tMail\tWork\tCasual",
                                                 "data/applications/Terminal.desktop\tTerminal\tCode\tCasual",
                                                 "data/applications/Vim.desktop\tVim\t-\tCasual",
                                                 "data/applications/Visual Studio Code.desktop\tVisual Studio Code\tCode\tCasual",
                                                 "share/applications/wireshark.desktop\tWireshark\tSocial,Code\tCasual",
                                                 "data/applications/Xcode.desktop\tXcode\tCode\tFormal",
                                                 "data/applications/Zed.desktop\tZed\tCode\tCasual",
                                             }));
}

TEST_F(AppsCli, BadArgumentsAreUsageErrors) {
    const std::vector<std::string> cases[] = {
        {"apps", "--category"}, {"apps", "--category", "games"}, {"apps", "code"},       {"style", "/a.desktop"},
        {"style", "/a.desktop", "loud"}, {"style", "", "formal"}, {"frontmost", "now"},
    };
    for (const auto& arguments : cases) EXPECT_EQ(run(arguments).exitCode, 2) << arguments.back();
}

TEST_F(AppsCli, FrontmostNamesTheApplicationTheWindowManagerPutInFront) {
    writeFile(user / "editor.desktop", applicationEntry("Test Editor", "StartupWMClass=Parlune-editor\nIcon=test-editor\n"));
    writeFile(root / "data/icons/hicolor/index.theme", "[Icon Theme]\nDirectories=64x64/apps\n[64x64/apps]\nSize=64\n");
    const auto icon = writeFile(root / "data/icons/hicolor/64x64/apps/test-editor.png", "icon");
    PrivateDisplay display;
    ASSERT_TRUE(display.ok()) << "Xvfb did not start";
    ASSERT_TRUE(display.startWindowManager(root / "home")) << "openbox did not start";

    auto none = run({"frontmost"}, {{"DISPLAY", display.name()}});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.standardOutput, "No application in front\n");

    const auto window = display.createWindow("parlune-editor", "Parlune-editor", false);
    ASSERT_TRUE(display.bringToFront(window)) << "openbox did not put the window in front";
    auto front = run({"frontmost"}, {{"DISPLAY", display.name()}});
    EXPECT_EQ(front.exitCode, 0) << front.standardError;
    EXPECT_EQ(front.standardOutput,
              "key: " + (user / "editor.desktop").string() + "\nname: Test Editor\nicon: " + icon.string() +
                                         "\nterminal: no\n")
        << "the entry's icon comes before the one the window manager gave the window";
}
