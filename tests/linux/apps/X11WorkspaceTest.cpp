// The application in front on a private X display.

#include "Fixtures.h"
#include "PrivateDisplay.h"
#include "fakes/SessionHarness.h"
#include "linux/apps/X11Workspace.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::testing;
namespace fs = std::filesystem;

namespace {

class X11WorkspaceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { display = new PrivateDisplay(); }
    static void TearDownTestSuite() {
        delete display;
        display = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(display->ok()) << "Xvfb did not start";
        writeFile(apps / "editor.desktop", applicationEntry("Test Editor", "StartupWMClass=Parlune-editor\nIcon=test-editor\n"));
        writeFile(apps / "parlune-term.desktop",
                  applicationEntry("Test Terminal", "Icon=no-such-icon\nCategories=System;TerminalEmulator;\n"));
        writeFile(apps / "test-runner.desktop",
                  "[Desktop Entry]\nType=Application\nName=Test Runner\nExec=" + fs::read_symlink("/proc/self/exe").string() +
                      " --flag\n");
        writeFile(icons / "hicolor/index.theme", "[Icon Theme]\nDirectories=64x64/apps\n[64x64/apps]\nSize=64\n");
        writeFile(icons / "hicolor/64x64/apps/test-editor.png", "icon");
    }
    X11Workspace workspace() const { return X11Workspace({apps}, IconTheme::Settings{"hicolor", {icons}}); }

    static PrivateDisplay* display;
    ScopedEnvironment displayVariable{"DISPLAY", display != nullptr ? display->name().c_str() : ""};
    TemporaryFolder folder;
    fs::path apps = fs::path(folder.path()) / "applications";
    fs::path icons = fs::path(folder.path()) / "icons";
};

PrivateDisplay* X11WorkspaceTest::display = nullptr;

}  // namespace

TEST_F(X11WorkspaceTest, TheWindowInFrontIsMatchedToItsDesktopFile) {
    auto front = workspace();
    struct Case {
        std::uint32_t window;
        std::optional<std::string> key;
        std::string name;
        std::string iconFile;
        int windowIconWidth;  // 0: none
        bool terminal;
    };
    const Case cases[] = {
        {display->createWindow("parlune-editor", "Parlune-editor"), (apps / "editor.desktop").string(), "Test Editor",
         (icons / "hicolor/64x64/apps/test-editor.png").string(), 0, false},
        {display->createWindow("parlune-term", "Parlune-term", true, {{16, 16}, {96, 96}, {64, 64}, {32, 32}}),
         (apps / "parlune-term.desktop").string(), "Test Terminal", "", 64, true},
        // Known by its process alone: the entry runs this test's executable.
        {display->createWindow("anonymous", "Anonymous"), (apps / "test-runner.desktop").string(), "Test Runner", "", 0,
         false},
        {display->createWindow("stranger", "Stranger", false, {{16, 16}, {32, 32}}), std::nullopt, "Stranger", "", 32,
         false},
    };
    for (const auto& c : cases) {
        display->setActiveWindow(c.window);
        EXPECT_EQ(front.frontmostApplicationPath(), c.key) << c.name;
        const auto application = front.frontmostApplication();
        ASSERT_TRUE(application) << c.name;
        EXPECT_EQ(application->key, c.key);
        EXPECT_EQ(application->name, c.name);
        EXPECT_EQ(application->iconFile, c.iconFile) << c.name;
        EXPECT_EQ(application->windowIcon ? application->windowIcon->width : 0, c.windowIconWidth) << c.name;
        if (application->windowIcon) {
            EXPECT_EQ(application->windowIcon->argb.size(), std::size_t(c.windowIconWidth * c.windowIconWidth));
        }
        EXPECT_EQ(application->isTerminalEmulator, c.terminal) << c.name;
    }
}

TEST_F(X11WorkspaceTest, NoWindowInFrontOrNoDisplayMeansNoApplication) {
    auto front = workspace();
    display->setActiveWindow(0);
    EXPECT_EQ(front.frontmostApplication(), std::nullopt);
    EXPECT_EQ(front.frontmostApplicationPath(), std::nullopt);

    fakes::CapturedLog log;
    ScopedEnvironment noDisplay("DISPLAY", nullptr);
    auto without = workspace();
    EXPECT_EQ(without.frontmostApplicationPath(), std::nullopt);
    EXPECT_EQ(without.frontmostApplication(), std::nullopt);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"⚠️ Cannot connect to the X11 display — no application in front"}));
}

TEST_F(X11WorkspaceTest, AnApplicationInstalledLaterIsFoundWithoutARestart) {
    auto front = workspace();
    display->setActiveWindow(display->createWindow("newcomer", "Newcomer", false));
    EXPECT_EQ(front.frontmostApplicationPath(), std::nullopt);
    writeFile(apps / "newcomer.desktop", applicationEntry("Newcomer"));
    EXPECT_EQ(front.frontmostApplicationPath(), (apps / "newcomer.desktop").string());
}
