// Icon files found by name through the icon theme folders.

#include "Fixtures.h"
#include "fakes/Process.h"
#include "linux/apps/IconTheme.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::testing;
namespace fs = std::filesystem;

namespace {

struct IconTree {
    IconTree() {
        writeFile(share / "hicolor/index.theme",
                  "[Icon Theme]\nName=Hicolor\nDirectories=16x16/apps,48x48/apps,64x64/apps,256x256/apps,scalable/apps,"
                  "64x64@2/apps\n"
                  "[16x16/apps]\nSize=16\n[48x48/apps]\nSize=48\nType=Fixed\n[64x64/apps]\nSize=64\nType=Fixed\n"
                  "[256x256/apps]\nSize=256\nType=Fixed\n[scalable/apps]\nSize=128\nMinSize=8\nMaxSize=512\nType=Scalable\n"
                  "[64x64@2/apps]\nSize=64\nScale=2\nType=Fixed\n");
        writeFile(share / "Custom/index.theme",
                  "[Icon Theme]\nName=Custom\nInherits=Middle,hicolor\nDirectories=64x64/apps\n[64x64/apps]\nSize=64\n");
        writeFile(share / "Middle/index.theme",
                  "[Icon Theme]\nName=Middle\nInherits=Custom\nDirectories=apps/64\n[apps/64]\nSize=64\n");
        for (const char* file : {"hicolor/48x48/apps/exact.png", "hicolor/64x64/apps/exact.png",
                                 "hicolor/64x64@2/apps/exact.png", "hicolor/16x16/apps/near.png",
                                 "hicolor/48x48/apps/near.png", "hicolor/256x256/apps/near.png",
                                 "hicolor/16x16/apps/vector.png", "hicolor/scalable/apps/vector.svg",
                                 "hicolor/64x64/apps/themed.png", "Custom/64x64/apps/themed.png",
                                 "Middle/apps/64/inherited.png", "hicolor/64x64/apps/user.png"}) {
            writeFile(share / file, "icon");
        }
        writeFile(home / "hicolor/64x64/apps/user.png", "icon");
        writeFile(pixmaps / "legacy.xpm", "icon");
    }
    IconTheme theme(const std::string& name) const { return IconTheme({name, {home, share, pixmaps}}); }

    TemporaryFolder folder;
    fs::path home = fs::path(folder.path()) / "home/.icons";
    fs::path share = fs::path(folder.path()) / "share/icons";
    fs::path pixmaps = fs::path(folder.path()) / "pixmaps";
};

}  // namespace

TEST(IconTheme, FindsTheExactSizeElseTheNearestThroughTheThemeItsParentsAndHicolor) {
    IconTree tree;
    auto icons = tree.theme("Custom");
    const fs::path absolute = tree.share / "hicolor/48x48/apps/exact.png";
    const std::pair<std::string, std::string> cases[] = {
        {"exact", (tree.share / "hicolor/64x64/apps/exact.png").string()},
        {"exact.png", (tree.share / "hicolor/64x64/apps/exact.png").string()},  // a file name is taken as its icon
        {"near", (tree.share / "hicolor/48x48/apps/near.png").string()},
        {"vector", (tree.share / "hicolor/scalable/apps/vector.svg").string()},
        {"themed", (tree.share / "Custom/64x64/apps/themed.png").string()},
        {"inherited", (tree.share / "Middle/apps/64/inherited.png").string()},
        {"user", (tree.home / "hicolor/64x64/apps/user.png").string()},         // the first base folder first
        {"legacy", (tree.pixmaps / "legacy.xpm").string()},
        {absolute.string(), absolute.string()},
        {(tree.share / "nothing.png").string(), ""},
        {"missing", ""},
        {"", ""},
        {"apps/exact", ""},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(icons.lookup(name, 64), expected) << name;
    EXPECT_EQ(icons.lookup("near", 16), (tree.share / "hicolor/16x16/apps/near.png").string());
    EXPECT_EQ(icons.lookup("near", 200), (tree.share / "hicolor/256x256/apps/near.png").string());
}

TEST(IconTheme, AnUnknownThemeFallsBackToHicolorAndTheUsersChoiceComesFromGtkSettings) {
    IconTree tree;
    EXPECT_EQ(tree.theme("Nope").lookup("themed"), (tree.share / "hicolor/64x64/apps/themed.png").string());

    ScopedEnvironment config("XDG_CONFIG_HOME", (fs::path(tree.folder.path()) / "config").c_str());
    EXPECT_EQ(IconTheme::Settings::forCurrentUser().themeName, "hicolor");
    writeFile(fs::path(tree.folder.path()) / "config/gtk-4.0/settings.ini", "[Settings]\ngtk-icon-theme-name=Four\n");
    EXPECT_EQ(IconTheme::Settings::forCurrentUser().themeName, "Four");
    writeFile(fs::path(tree.folder.path()) / "config/gtk-3.0/settings.ini",
              "[Settings]\ngtk-theme-name=Adwaita\ngtk-icon-theme-name=Custom\n");
    EXPECT_EQ(IconTheme::Settings::forCurrentUser().themeName, "Custom");
}
