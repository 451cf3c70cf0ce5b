#include "linux/settings/FileSettingsStore.h"

#include "core/log/Log.h"
#include "fakes/Process.h"
#include "fakes/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace parlune {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;
using Names = std::set<std::string>;

using testing::readFile;

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

Names namesIn(const fs::path& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

unsigned modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

const std::regex asideName(R"(settings\.json\.unreadable-\d{8}-\d{6}(-\d+)?)");

Names asideNamesIn(const fs::path& folder) {
    Names found;
    for (const auto& name : namesIn(folder)) {
        if (std::regex_match(name, asideName)) found.insert(name);
    }
    return found;
}

// Each test works in its own folder under /tmp and sees the lines the store logs.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/parlune-settings-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        path_ = folder_ / "settings.json";
        log::setSink([this](std::string_view text) { lines_.emplace_back(text); });
    }

    void TearDown() override {
        log::setSink({});
        // Tests take permissions away; give them back so everything can be removed.
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(folder_, ignored); it != fs::recursive_directory_iterator();
             it.increment(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
    }

    // Root ignores permission bits, so permission cases cannot fail for it.
    bool permissionsApply() {
        const fs::path probe = folder_ / "probe";
        fs::create_directory(probe);
        fs::permissions(probe, fs::perms::owner_read | fs::perms::owner_exec);
        const bool denied = !std::ofstream(probe / "file").is_open();
        fs::permissions(probe, fs::perms::owner_all);
        fs::remove_all(probe);
        return denied;
    }

    std::vector<std::string> warnings() const {
        std::vector<std::string> found;
        for (const auto& text : lines_) {
            if (text.rfind("⚠️ ", 0) == 0) found.push_back(text);
        }
        return found;
    }

    fs::path folder_;
    fs::path path_;
    std::vector<std::string> lines_;
};

TEST_F(SettingsFileTest, ValuesSurviveARestart) {
    const Bytes binary = {0x00, 0xFF, 0x0A, 0x22, 0x5C};
    {
        FileSettingsStore first(path_);
        first.setString("name", "Zoë");
        first.setInteger("count", -42);
        first.setReal("ratio", 0.75);
        first.setBoolean("enabled", true);
        first.setData("blob", binary);
        first.setStringArray("list", {"a", "", "c"});
        first.setDictionary("nested", {{"k", json::array({1, 2})}});
        first.setString("gone", "soon");
        first.remove("gone");
    }
    FileSettingsStore second(path_);

    EXPECT_EQ(second.string("name"), "Zoë");
    EXPECT_EQ(second.integer("count"), -42);
    EXPECT_EQ(second.real("ratio"), 0.75);
    EXPECT_TRUE(second.boolean("enabled"));
    EXPECT_EQ(second.data("blob"), binary);
    EXPECT_EQ(second.stringArray("list"), (std::vector<std::string>{"a", "", "c"}));
    EXPECT_EQ(second.value("nested"), json({{"k", {1, 2}}}));
    EXPECT_EQ(second.value("gone"), std::nullopt);
    EXPECT_TRUE(lines_.empty());
}

TEST_F(SettingsFileTest, FileIsSortedPrettyPrintedUtf8) {
    FileSettingsStore store(path_);
    store.setInteger("zeta", 1);
    store.setValue("alpha", json{{"b", true}, {"a", "⚠️ é"}});

    EXPECT_EQ(readFile(path_),
              "{\n"
              "  \"alpha\": {\n"
              "    \"a\": \"⚠️ é\",\n"
              "    \"b\": true\n"
              "  },\n"
              "  \"zeta\": 1\n"
              "}\n");
}

TEST_F(SettingsFileTest, MissingFileReadsEmptyAndNothingIsWrittenUntilTheFirstSet) {
    const fs::path config = folder_ / "config";
    FileSettingsStore store(config / "parlune" / "settings.json");
    EXPECT_EQ(store.snapshot(), json::object());
    EXPECT_EQ(store.string("anything"), std::nullopt);
    EXPECT_FALSE(fs::exists(config));

    store.setBoolean("enabled", true);

    EXPECT_EQ(modeOf(config), 0700u);
    EXPECT_EQ(modeOf(config / "parlune"), 0700u);
    EXPECT_EQ(modeOf(config / "parlune" / "settings.json"), 0600u);
    EXPECT_EQ(json::parse(readFile(config / "parlune" / "settings.json")), json({{"enabled", true}}));
}

TEST_F(SettingsFileTest, WritingMakesTheFilePrivate) {
    writeFile(path_, R"({"kept": 1})");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::others_read);
    FileSettingsStore store(path_);

    store.setInteger("added", 2);

    EXPECT_EQ(modeOf(path_), 0600u);
    EXPECT_EQ(json::parse(readFile(path_)), json({{"kept", 1}, {"added", 2}}));
}

TEST_F(SettingsFileTest, WritesLeaveNoTemporaryFilesBehind) {
    FileSettingsStore store(path_);
    for (int i = 0; i < 5; ++i) {
        store.setInteger("key" + std::to_string(i), i);
        store.remove("key" + std::to_string(i - 1));
    }

    EXPECT_EQ(namesIn(folder_), (Names{"settings.json", "settings.json.lock"}));
    EXPECT_EQ(json::parse(readFile(path_)), json({{"key4", 4}}));
}

struct UnreadableCase {
    std::string name;
    std::string contents;
};

// Test names in listings show the case name rather than its bytes.
void PrintTo(const UnreadableCase& c, std::ostream* out) { *out << c.name; }

class UnreadableFile : public SettingsFileTest, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableFile, IsMovedAsideIntactAndTheStoreStartsFromDefaults) {
    const std::string& contents = GetParam().contents;
    writeFile(path_, contents);

    FileSettingsStore store(path_);

    EXPECT_EQ(store.snapshot(), json::object());
    const Names aside = asideNamesIn(folder_);
    ASSERT_EQ(aside.size(), 1u) << ::testing::PrintToString(namesIn(folder_));
    const fs::path asidePath = folder_ / *aside.begin();
    EXPECT_EQ(readFile(asidePath), contents);
    EXPECT_FALSE(fs::exists(path_));
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(warnings().size(), 1u) << lines_[0];
    EXPECT_NE(lines_[0].find(path_.string() + " "), std::string::npos) << lines_[0];
    EXPECT_NE(lines_[0].find(asidePath.string()), std::string::npos) << lines_[0];

    store.setString("fresh", "start");

    EXPECT_EQ(json::parse(readFile(path_)), json({{"fresh", "start"}}));
    EXPECT_EQ(readFile(asidePath), contents);
    EXPECT_EQ(lines_.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, UnreadableFile,
    ::testing::Values(UnreadableCase{"Garbage", "this is not json\n\x01\x02"},
                      UnreadableCase{"TopLevelArray", R"([{"a": 1}])"},
                      UnreadableCase{"TopLevelString", R"("settings")"},
                      UnreadableCase{"Truncated", R"({"a": 1, "b": )"},
                      UnreadableCase{"TrailingGarbage", R"({"a": 1} x)"},
                      UnreadableCase{"InvalidUtf8", "{\"a\": \"\xC3\x28\"}"},
                      UnreadableCase{"Empty", ""}),
    [](const ::testing::TestParamInfo<UnreadableCase>& param) { return param.param.name; });

TEST_F(SettingsFileTest, UnreadableFilesInTheSameSecondKeepTheirOwnNames) {
    const auto fixedNow = [] { return std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000)); };
    writeFile(path_, "first garbage");
    FileSettingsStore store(path_, fixedNow);
    // Another process leaves garbage again; the next read finds it.
    writeFile(path_, "second garbage");

    EXPECT_EQ(store.value("key"), std::nullopt);

    std::multiset<std::string> asideContents;
    for (const auto& name : asideNamesIn(folder_)) asideContents.insert(readFile(folder_ / name));
    EXPECT_EQ(asideContents, (std::multiset<std::string>{"first garbage", "second garbage"}));
    ASSERT_EQ(warnings().size(), 2u);
    EXPECT_NE(warnings()[0], warnings()[1]);
}

TEST_F(SettingsFileTest, AnotherWritersChangesAreNotLost) {
    FileSettingsStore app(path_);
    FileSettingsStore commandLine(path_);

    app.setString("fromApp", "a");
    commandLine.setInteger("fromCommandLine", 2);
    app.setBoolean("laterFromApp", true);
    commandLine.remove("fromApp");
    app.setInteger("lastFromApp", 3);

    const json expected = {{"fromCommandLine", 2}, {"laterFromApp", true}, {"lastFromApp", 3}};
    EXPECT_EQ(FileSettingsStore(path_).snapshot(), expected);
    EXPECT_EQ(app.snapshot(), expected);
    EXPECT_EQ(commandLine.snapshot(), expected);
}

TEST_F(SettingsFileTest, ReadsSeeEditsMadeOutsideTheStore) {
    FileSettingsStore store(path_);
    store.setString("mode", "old");

    // Rewritten in place, the way an editor or shell redirection might.
    writeFile(path_, R"({"mode": "edited", "extra": [1]})");

    EXPECT_EQ(store.string("mode"), "edited");
    EXPECT_EQ(store.snapshot(), json({{"mode", "edited"}, {"extra", {1}}}));
}

TEST_F(SettingsFileTest, ConcurrentWritersInTwoInstancesKeepEveryKey) {
    constexpr int keysPerWriter = 25;
    const auto writeKeys = [this](const std::string& prefix) {
        FileSettingsStore store(path_);
        for (int i = 0; i < keysPerWriter; ++i) store.setInteger(prefix + std::to_string(i), i);
    };
    std::thread first(writeKeys, "first");
    std::thread second(writeKeys, "second");
    first.join();
    second.join();

    json expected = json::object();
    for (int i = 0; i < keysPerWriter; ++i) {
        expected["first" + std::to_string(i)] = i;
        expected["second" + std::to_string(i)] = i;
    }
    EXPECT_EQ(json::parse(readFile(path_)), expected);
    EXPECT_TRUE(lines_.empty()) << lines_.front();
}

// A folder the store cannot write to; `repair` makes it writable again.
struct WriteFailureCase {
    std::string name;
    bool needsPermissions;
    std::function<fs::path(const fs::path& folder)> setUp;  // returns the settings path
    std::function<void(const fs::path& folder)> repair;
};

void PrintTo(const WriteFailureCase& c, std::ostream* out) { *out << c.name; }

class WriteFailure : public SettingsFileTest, public ::testing::WithParamInterface<WriteFailureCase> {};

TEST_P(WriteFailure, IsLoggedAndTheValueIsKeptUntilALaterWriteSavesIt) {
    const WriteFailureCase& c = GetParam();
    if (c.needsPermissions && !permissionsApply()) GTEST_SKIP() << "permission bits are not enforced for this user";
    const fs::path path = c.setUp(folder_);
    const std::string before = readFile(path);
    FileSettingsStore store(path);

    EXPECT_NO_THROW(store.setString("voice", "calm"));

    EXPECT_EQ(store.string("voice"), "calm");
    EXPECT_EQ(readFile(path), before);
    ASSERT_EQ(warnings().size(), 1u) << ::testing::PrintToString(lines_);
    EXPECT_NE(warnings()[0].find("\"voice\""), std::string::npos) << warnings()[0];

    c.repair(folder_);
    store.setInteger("volume", 3);

    EXPECT_EQ(json::parse(readFile(path)).value("voice", ""), "calm");
    EXPECT_EQ(warnings().size(), 1u) << ::testing::PrintToString(lines_);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, WriteFailure,
    ::testing::Values(
        WriteFailureCase{"FolderPathIsAFile", false,
                         [](const fs::path& folder) {
                             writeFile(folder / "blocker", "a file where the folder should be");
                             return folder / "blocker" / "settings.json";
                         },
                         [](const fs::path& folder) { fs::remove(folder / "blocker"); }},
        WriteFailureCase{"ReadOnlyFolder", true,
                         [](const fs::path& folder) {
                             writeFile(folder / "settings.json", R"({"kept": true})");
                             fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
                             return folder / "settings.json";
                         },
                         [](const fs::path& folder) { fs::permissions(folder, fs::perms::owner_all); }}),
    [](const ::testing::TestParamInfo<WriteFailureCase>& param) { return param.param.name; });

// A settings file the store can neither read nor move aside.
struct UntouchableCase {
    std::string name;
    bool needsPermissions;
    std::function<void(const fs::path& folder)> setUp;
    std::optional<std::string> fileBytes;  // what the file holds; nothing when it is a folder
};

void PrintTo(const UntouchableCase& c, std::ostream* out) { *out << c.name; }

class UntouchableFile : public SettingsFileTest, public ::testing::WithParamInterface<UntouchableCase> {};

TEST_P(UntouchableFile, IsLeftAloneWhileTheStoreRunsInMemory) {
    const UntouchableCase& c = GetParam();
    if (c.needsPermissions && !permissionsApply()) GTEST_SKIP() << "permission bits are not enforced for this user";
    c.setUp(folder_);
    const Names namesBefore = namesIn(folder_);

    FileSettingsStore store(path_);
    ASSERT_EQ(warnings().size(), 1u) << ::testing::PrintToString(lines_);
    EXPECT_NE(warnings()[0].find(path_.string()), std::string::npos) << warnings()[0];
    EXPECT_EQ(store.snapshot(), json::object());

    store.setInteger("volume", 7);

    EXPECT_EQ(store.integer("volume"), 7);
    EXPECT_EQ(store.snapshot(), json({{"volume", 7}}));
    ASSERT_EQ(warnings().size(), 2u) << ::testing::PrintToString(lines_);
    EXPECT_NE(warnings()[1].find("\"volume\""), std::string::npos) << warnings()[1];
    Names namesAfter = namesIn(folder_);
    namesAfter.erase("settings.json.lock");
    EXPECT_EQ(namesAfter, namesBefore);
    if (c.fileBytes) {
        fs::permissions(folder_, fs::perms::owner_all);
        fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(readFile(path_), *c.fileBytes);
    } else {
        EXPECT_EQ(readFile(path_ / "inside"), "kept");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, UntouchableFile,
    ::testing::Values(UntouchableCase{"IsAFolder", false,
                                      [](const fs::path& folder) {
                                          fs::create_directory(folder / "settings.json");
                                          writeFile(folder / "settings.json" / "inside", "kept");
                                      },
                                      std::nullopt},
                      UntouchableCase{"NotReadable", true,
                                      [](const fs::path& folder) {
                                          writeFile(folder / "settings.json", R"({"secret": 1})");
                                          fs::permissions(folder / "settings.json", fs::perms::none);
                                      },
                                      R"({"secret": 1})"},
                      UntouchableCase{"GarbageInReadOnlyFolder", true,
                                      [](const fs::path& folder) {
                                          writeFile(folder / "settings.json", "garbage that cannot move");
                                          fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
                                      },
                                      "garbage that cannot move"}),
    [](const ::testing::TestParamInfo<UntouchableCase>& param) { return param.param.name; });

struct DefaultPathCase {
    std::string name;
    std::optional<std::string> xdgConfigHome;
    std::string expected;
};

void PrintTo(const DefaultPathCase& c, std::ostream* out) { *out << c.name; }

class DefaultPath : public ::testing::TestWithParam<DefaultPathCase> {};

TEST_P(DefaultPath, FollowsXdgConfigHome) {
    const auto& xdgConfigHome = GetParam().xdgConfigHome;
    testing::ScopedEnvironment home("HOME", "/home/tester");
    testing::ScopedEnvironment configHome("XDG_CONFIG_HOME", xdgConfigHome ? xdgConfigHome->c_str() : nullptr);

    EXPECT_EQ(FileSettingsStore::defaultPath(), fs::path(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Environment, DefaultPath,
    ::testing::Values(DefaultPathCase{"Set", "/xdg/config", "/xdg/config/parlune/settings.json"},
                      DefaultPathCase{"Unset", std::nullopt, "/home/tester/.config/parlune/settings.json"},
                      DefaultPathCase{"Empty", "", "/home/tester/.config/parlune/settings.json"},
                      DefaultPathCase{"Relative", "relative/config", "/home/tester/.config/parlune/settings.json"}),
    [](const ::testing::TestParamInfo<DefaultPathCase>& param) { return param.param.name; });

}  // namespace
}  // namespace parlune
