#include "e2e/dictation/DictationDesktop.h"

#include "core/runtime/Task.h"
#include "core/values/Values.h"
#include "linux/insertion/X11Clipboard.h"
#include "platform/SettingsStore.h"

#include <nlohmann/json.hpp>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace parlune::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The key the stand-in gateway expects; not a secret, nothing else accepts it.
constexpr const char* gatewayKey = "stand-in-gateway-key";

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

bool holdsWithin(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    for (const auto deadline = Clock::now() + bound; !done();) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// ---- LineWatcher ----------------------------------------------------------------------------------

LineWatcher::~LineWatcher() { stopRunning(); }

void LineWatcher::run(std::function<void()> poll) {
    thread_ = std::thread([this, poll = std::move(poll)] {
        while (!stopping_) poll();
    });
}

void LineWatcher::stopRunning() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

void LineWatcher::add(std::string text) {
    std::lock_guard lock(mutex_);
    lines_.push_back({Clock::now(), std::move(text)});
}

std::vector<SeenLine> LineWatcher::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::size_t LineWatcher::count() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::optional<std::size_t> LineWatcher::waitFor(const std::function<bool(const std::string&)>& accept,
                                                 std::chrono::milliseconds bound, std::size_t from) const {
    std::optional<std::size_t> found;
    holdsWithin(
        [&] {
            std::lock_guard lock(mutex_);
            for (; from < lines_.size(); ++from) {
                if (accept(lines_[from].text)) {
                    found = from;
                    return true;
                }
            }
            return false;
        },
        bound);
    return found;
}

// ---- FileFollower ---------------------------------------------------------------------------------

FileFollower::FileFollower(std::string path) : path_(std::move(path)) {
    run([this] {
        std::ifstream file(path_, std::ios::binary);
        if (file) {
            file.seekg(static_cast<std::streamoff>(offset_));
            std::string fresh((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            offset_ += fresh.size();
            partial_ += fresh;
            for (auto end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n')) {
                add(partial_.substr(0, end));
                partial_.erase(0, end + 1);
            }
        }
        std::this_thread::sleep_for(2ms);
    });
}

FileFollower::~FileFollower() { stopRunning(); }

// ---- CaptureStreamWatcher -------------------------------------------------------------------------

CaptureStreamWatcher::CaptureStreamWatcher(const std::string& server)
    : subscription_(std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/pactl", "--server", server, "subscribe"})) {
    run([this] {
        if (auto line = subscription_->readLine(ChildProcess::standardOutput, 50ms)) {
            if (line->find("source-output") != std::string::npos) add(std::move(*line));
        }
    });
}

CaptureStreamWatcher::~CaptureStreamWatcher() { stopRunning(); }

// ---- PanelWatcher ---------------------------------------------------------------------------------

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    auto* reply = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::string windowName(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t nameAtom, xcb_atom_t utf8) {
    auto* reply = xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, nameAtom, utf8, 0, 256), nullptr);
    std::string name;
    if (reply != nullptr) {
        name.assign(static_cast<const char*>(xcb_get_property_value(reply)), static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
    }
    return name;
}

// The titles of the viewable windows at most three levels below `window` (a window manager's frame
// holds the client).
void viewableTitles(xcb_connection_t* connection, xcb_window_t window, int depth, xcb_atom_t nameAtom, xcb_atom_t utf8,
                    std::vector<std::string>& titles) {
    auto* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
    if (tree == nullptr) return;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    for (int i = 0; i < count; ++i) {
        auto* attributes = xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, children[i]), nullptr);
        const bool viewable = attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        if (!viewable) continue;
        if (auto name = windowName(connection, children[i], nameAtom, utf8); !name.empty()) titles.push_back(std::move(name));
        if (depth < 3) viewableTitles(connection, children[i], depth + 1, nameAtom, utf8, titles);
    }
    std::free(tree);
}

}  // namespace

PanelWatcher::PanelWatcher(std::vector<std::string> titles) : titles_(std::move(titles)), visible_(titles_.size(), false) {
    auto* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t nameAtom = internAtom(connection, "_NET_WM_NAME");
    const xcb_atom_t utf8 = internAtom(connection, "UTF8_STRING");
    run([this, connection, root, nameAtom, utf8] {
        std::vector<std::string> shown;
        viewableTitles(connection, root, 1, nameAtom, utf8, shown);
        for (std::size_t i = 0; i < titles_.size(); ++i) {
            // The toolkit may add the application's name to the title.
            const bool now = std::any_of(shown.begin(), shown.end(), [&](const std::string& name) { return name.starts_with(titles_[i]); });
            if (now != visible_[i]) add((now ? "shown " : "hidden ") + titles_[i]);
            visible_[i] = now;
        }
        std::this_thread::sleep_for(5ms);
    });
}

PanelWatcher::~PanelWatcher() {
    stopRunning();
    if (connection_ != nullptr) xcb_disconnect(static_cast<xcb_connection_t*>(connection_));
}

// ---- DictationDesktop -----------------------------------------------------------------------------

DictationDesktop::DictationDesktop(Options options) : options_(std::move(options)) {
    session_ = DesktopSession::shared();
    if (session_ == nullptr) {
        problem_ = "the private desktop (X server, window manager, buses) did not start";
        return;
    }
    sound_ = std::make_unique<PrivateSoundServer>();
    if (!sound_->isServing()) {
        problem_ = "the PulseAudio daemon did not start";
        return;
    }
    // The application records from the default source, as it would on a user's desktop.
    if (runProcess({"/usr/bin/pactl", "--server", sound_->address(), "set-default-source", "vmic.monitor"}).exitCode != 0) {
        problem_ = "the null sink's monitor could not be made the default source";
        return;
    }
    if (options_.playerPlaying) {
        player_ = std::make_unique<StandInPlayer>(environmentValue("DBUS_SESSION_BUS_ADDRESS"),
                                                  StandInPlayer::Options{playerName, "Playing"});
    }
    if (options_.gatewayListens) {
        const nlohmann::json reply = {
            {"id", "stand-in"},
            {"object", "chat.completion"},
            {"choices", {{{"index", 0}, {"message", {{"role", "assistant"}, {"content", options_.cleanedText}}}, {"finish_reason", "stop"}}}},
        };
        gateway_ = std::make_unique<LocalHttpServer>(LocalHttpServer::replying(200, reply.dump()));
    }
    writeSettings();
    keys_ = std::make_unique<Keys>();
    captures_ = std::make_unique<CaptureStreamWatcher>(sound_->address());
    panels_ = std::make_unique<PanelWatcher>(std::vector<std::string>{indicatorTitle, suggestionTitle});
}

DictationDesktop::~DictationDesktop() {
    field_.reset();
    application_.reset();
    log_.reset();
    panels_.reset();
    captures_.reset();
    clipboard_.reset();
}

// A fresh settings folder: onboarding done, the "Fast" provider, Right Control as the hotkey, and a
// deployment file pointing "Fast" at the stand-in (or at a port nothing listens on).
void DictationDesktop::writeSettings() {
    const fs::path folder = fs::path(environmentValue("XDG_CONFIG_HOME")) / "parlune";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string rightControl = RecordedHotkey{62, 0, "Right Control"}.encode();
    const nlohmann::json settings = {
        {"hasCompletedOnboarding", true},
        {"selectedModelProvider", "Fast"},
        {"selectedHotkey", SettingsStore::encodeData(Bytes(rightControl.begin(), rightControl.end()))},
    };
    std::ofstream(folder / "settings.json") << settings.dump(2);
    const std::string gateway = gateway_ ? gateway_->baseURL() : "http://127.0.0.1:" + std::to_string(unusedPort());
    const nlohmann::json deployment = {
        {"gatewayBaseURL", gateway},
        {"gatewayAPIKey", gatewayKey},
        {"localModelBaseURL", "http://127.0.0.1:" + std::to_string(unusedPort())},
    };
    std::ofstream(folder / "deployment.json") << deployment.dump(2);
    fs::permissions(folder / "deployment.json", fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
}

bool DictationDesktop::startApplication() {
    logFile_ = session_->home() + "/parlune.log";
    application_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{PARLUNE_BINARY},
        std::map<std::string, std::string>{
            {"PULSE_SERVER", sound_->address()}, {"QT_QPA_PLATFORM", "xcb"}, {"PARLUNE_REPORT_SPEECH_READY", "1"}},
        -1, logFile_);
    log_ = std::make_unique<FileFollower>(logFile_);
    const auto answer = log_->waitFor([](const std::string& line) { return line.starts_with("speech "); }, 60s);
    return answer && log_->lines()[*answer].text == "speech ready";
}

bool DictationDesktop::startField(const std::string& text) {
    field_ = session_->start({PARLUNE_QT_FIELD, text, std::to_string(text.size())},
                             {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_QPA_PLATFORM", "xcb"}});
    if (!field_ || !waitUntilFocused(*session_, *field_, *keys_)) return false;
    // Ready once the application sees the field focused, with the caret at its end.
    return holdsWithin(
        [&] {
            const auto printed = parlune({"field"});
            if (printed.exitCode != 0) return false;
            const auto field = nlohmann::json::parse(printed.standardOutput, nullptr, false);
            return field.is_object() && field.value("application", "") == "insertion_qt_field" &&
                   field.value("precedingText", "") == text;
        },
        30s);
}

std::optional<DictationDesktop::Dictated> DictationDesktop::dictate(const std::string& wav) {
    const std::size_t mark = captures_->count();
    Dictated times;
    times.pressed = Clock::now();
    keys_->hold(hotkey);
    const auto opened = captures_->waitForOpened(20s, mark);
    if (!opened) {
        keys_->letGo(hotkey);
        return std::nullopt;
    }
    times.microphoneOpened = captures_->lines()[*opened].at;
    const auto played = sound_->play(wav);
    keys_->letGo(hotkey);
    times.released = Clock::now();
    if (played.exitCode != 0) return std::nullopt;
    return times;
}

std::optional<std::string> DictationDesktop::fieldText() {
    if (!field_) return std::nullopt;
    field_->poll();
    return lastReportedText(*field_);
}

bool DictationDesktop::waitForFieldText(const std::string& expected, std::chrono::milliseconds bound) {
    return holdsWithin([&] { return fieldText() == expected; }, bound);
}

void DictationDesktop::offerClipboardText(const std::string& text) {
    if (!clipboard_) clipboard_ = X11Clipboard::open(loop_, true);
    clipboard_->offerText(text);
    holdsWithin([&] { return clipboardText() == text; }, 5s);
}

std::optional<std::string> DictationDesktop::clipboardText() {
    if (!clipboard_) clipboard_ = X11Clipboard::open(loop_, true);
    std::optional<std::optional<std::string>> text;
    spawn(loop_, [](std::shared_ptr<X11Clipboard> clipboard, std::optional<std::optional<std::string>>& out) -> Task<void> {
        out = co_await clipboard->readText();
    }(clipboard_, text));
    loop_.runUntil([&] { return text.has_value(); }, 5s);
    return text ? *text : std::nullopt;
}

ProcessResult DictationDesktop::parlune(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), PARLUNE_BINARY);
    return runProcess(arguments, {{"PULSE_SERVER", sound_->address()}}, 30s);
}

std::vector<LocalHttpServer::Received> DictationDesktop::gatewayRequests() const {
    return gateway_ ? gateway_->received() : std::vector<LocalHttpServer::Received>{};
}

}  // namespace parlune::testing
