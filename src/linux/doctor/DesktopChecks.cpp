#include "linux/doctor/DesktopChecks.h"

#include "core/runtime/Task.h"
#include "linux/hotkey/LinuxAccessibilityTrust.h"
#include "linux/hotkey/X11KeyboardEvents.h"
#include "linux/http/CurlHttpClient.h"
#include "linux/media/LinuxMediaController.h"
#include "linux/media/SessionBus.h"
#include "linux/platform/XdgPaths.h"
#include "linux/runtime/StdLoop.h"
#include "linux/speech/PulseAudioEngine.h"
#include "linux/speech/SphinxDecoder.h"
#include "linux/spelling/HunspellSpellChecker.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <thread>

namespace parlune::doctor {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Each call or request below is bounded by its own timeout; these are the outer guards.
constexpr auto busCallTimeout = 2000ms;
constexpr auto httpTimeout = 2s;
constexpr Duration loopGuard = 3s;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

constexpr const char* noDisplay = "no X11 display";
constexpr const char* seeDisplay = "see Display above";

// The answer of one D-Bus call on a private connection, waited for on a loop of its own.
std::optional<SessionBus::Reply> busCall(SessionBus::Call call) {
    StdLoop loop;
    std::optional<SessionBus::Reply> reply;
    {
        SessionBus bus(loop);
        spawn(loop, [](SessionBus& session, SessionBus::Call request, std::optional<SessionBus::Reply>& out) -> Task<void> {
            out = co_await session.call(std::move(request));
        }(bus, std::move(call), reply));
        loop.runUntil([&] { return reply.has_value(); }, loopGuard);
    }
    // Ending the bus ends a call still in flight; its task then finishes on the loop.
    loop.runUntil([] { return false; }, 0ms);
    return reply;
}

SessionBus::Call busDaemonCall(const char* method, GVariant* parameters, const char* replyType) {
    SessionBus::Call call;
    call.destination = "org.freedesktop.DBus";
    call.objectPath = "/org/freedesktop/DBus";
    call.interface = "org.freedesktop.DBus";
    call.method = method;
    call.parameters = parameters;
    call.replyType = replyType;
    call.timeout = busCallTimeout;
    return call;
}

// --- X11 ---

Check probeDisplay() {
    StdLoop loop;
    const std::string display = environment("DISPLAY");
    const bool opened = !display.empty() && X11Connection::open(loop) != nullptr;
    return displayCheck(display, environment("WAYLAND_DISPLAY"), environment("XDG_SESSION_TYPE"), opened);
}

Check probeExtensions() {
    const std::string name = "XInput2 and XTest";
    StdLoop loop;
    auto connection = X11Connection::open(loop);
    if (!connection) return failed(name, Need::dictation, noDisplay, seeDisplay);
    const bool xinput = connection->hasXInput2();
    const bool xtest = connection->hasXTest();
    if (xinput && xtest) return passed(name, Need::dictation, "both present");
    const std::string missing = !xinput && !xtest ? "XInput2 and XTest missing" : !xinput ? "XInput2 missing" : "XTest missing";
    return failed(name, Need::dictation, missing, "use an X server that offers them (Xorg and Xwayland do)");
}

// Whether the desktop application runs for this user: it holds the lock of its single-instance
// folder ($XDG_RUNTIME_DIR/parlune, else parlune-UID in the temporary folder) for its lifetime.
bool applicationRunning() {
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    const std::string temporary = environment("TMPDIR");
    const fs::path folder = !runtime.empty() && runtime.front() == '/'
                                ? fs::path(runtime) / "parlune"
                                : fs::path(temporary.empty() ? "/tmp" : temporary) / ("parlune-" + std::to_string(::getuid()));
    const int fd = ::open((folder / "instance.lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // releases a shared lock taken just now
    return held;
}

Check probeHotkey(const RecordedHotkey& hotkey) {
    const std::string name = "Hotkey";
    StdLoop loop;
    auto connection = X11Connection::open(loop);
    if (!connection) return failed(name, Need::dictation, hotkey.displayName + ": " + noDisplay, seeDisplay);
    X11KeyboardEvents events(connection);
    if (!events.canSee(hotkey.keyCode, hotkey.modifierFlags)) {
        return failed(name, Need::dictation, hotkey.displayName + " never reaches X11",
                      "choose another hotkey: parlune hotkey record");
    }
    EventTapOptions options;
    options.eventMask = KeyEventMask::keyDown | KeyEventMask::keyUp | KeyEventMask::flagsChanged;
    options.keyCode = hotkey.keyCode;
    options.modifierFlags = hotkey.modifierFlags;
    options.modifierOnly = hotkey.isModifierOnly();
    auto tap = events.createEventTap(
        options, [](KeyEventType, const KeyEvent&, void*) { return TapDecision::pass; }, nullptr);
    if (!tap) {
        if (applicationRunning()) return passed(name, Need::dictation, hotkey.displayName + " is held by the running Parlune");
        return failed(name, Need::dictation, hotkey.displayName + " is grabbed by another program",
                      "quit the program that holds it (or a running Parlune), or choose another: parlune hotkey record");
    }
    tap.reset();  // gives the grab back
    connection->sync();
    return passed(name, Need::dictation, hotkey.displayName + " can be grabbed");
}

// --- D-Bus ---

Check probeAccessibility() {
    const std::string name = "Accessibility bus";
    std::string error;
    const auto enabled = LinuxAccessibilityTrust::accessibilityBusEnabled(&error);
    if (!enabled) {
        return failed(name, Need::dictation, "cannot be asked (" + error + ")",
                      "log in to a desktop session with the accessibility bus (at-spi2-core)");
    }
    if (!*enabled) {
        return failed(name, Need::dictation, "off",
                      std::string("run: ") + LinuxAccessibilityTrust::permanentCommand +
                          " (Parlune switches it on for the session at start; applications started before keep "
                          "their fields hidden)");
    }
    return passed(name, Need::dictation, "on");
}

std::optional<std::vector<std::string>> busNames(std::string& error) {
    auto reply = busCall(busDaemonCall("ListNames", nullptr, "(as)"));
    if (!reply || !reply->ok()) {
        error = reply ? reply->error : "no answer";
        return std::nullopt;
    }
    std::vector<std::string> names;
    GVariantIter* iterator = nullptr;
    g_variant_get(reply->body.get(), "(as)", &iterator);
    const gchar* item = nullptr;
    while (g_variant_iter_next(iterator, "&s", &item)) names.emplace_back(item);
    g_variant_iter_free(iterator);
    return names;
}

Check probeMediaPlayers() {
    const std::string name = "Media players";
    std::string error;
    const auto names = busNames(error);
    if (!names) return failed(name, Need::optional, "the session bus cannot be asked (" + error + ")");
    constexpr std::string_view prefix = "org.mpris.MediaPlayer2.";
    std::string players;
    for (const auto& busName : *names) {
        if (busName.starts_with(prefix)) players += (players.empty() ? "" : ", ") + busName.substr(prefix.size());
    }
    return passed(name, Need::optional, players.empty() ? "none running" : players);
}

bool nameHasOwner(const char* busName) {
    auto reply = busCall(busDaemonCall("NameHasOwner", g_variant_new("(s)", busName), "(b)"));
    if (!reply || !reply->ok()) return false;
    gboolean owned = FALSE;
    g_variant_get(reply->body.get(), "(b)", &owned);
    return owned != FALSE;
}

bool xembedTrayPresent() {
    StdLoop loop;
    auto connection = X11Connection::open(loop);
    if (!connection) return false;
    Display* display = connection->display();
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.c_str(), False);
    return XGetSelectionOwner(display, atom) != None;
}

Check probeTray() {
    const std::string name = "Tray host";
    if (nameHasOwner("org.kde.StatusNotifierWatcher")) return passed(name, Need::optional, "StatusNotifierWatcher");
    if (xembedTrayPresent()) return passed(name, Need::optional, "XEmbed system tray");
    return failed(name, Need::optional, "none",
                  "the tray item needs a StatusNotifier host or an XEmbed tray (GNOME: the AppIndicator extension); "
                  "the main window works without it");
}

// --- sound, speech, spelling ---

Check probeCapture() {
    const std::string name = "Capture source";
    PulseAudioEngine engine(PulseAudioOptions{{}, {}, 3000ms});
    if (auto error = engine.start()) {
        return failed(name, Need::dictation, *error,
                      "start PulseAudio or PipeWire (pipewire-pulse) and choose a microphone: pactl set-default-source NAME");
    }
    engine.stop();
    const std::string source = environment("PULSE_SOURCE");
    return passed(name, Need::dictation, source.empty() ? "the default source records" : source + " records");
}

Check probeRecogniser() {
    const std::string name = "Speech model";
    const auto folder = SphinxDecoder::defaultModelFolder();
    std::string error;
    if (!SphinxDecoder::load(folder, {}, error)) {
        return failed(name, Need::dictation, "PocketSphinx US English cannot be loaded (" + error + ")",
                      "run: sudo apt-get install pocketsphinx-en-us");
    }
    return passed(name, Need::dictation, "PocketSphinx US English (" + folder.string() + ")");
}

Check probeSpelling() {
    const std::string name = "Spell checker";
    HunspellSpellChecker checker;
    if (!checker.isAvailable()) {
        return failed(name, Need::optional, "no Hunspell en_US dictionary; corrections are not learned",
                      "run: sudo apt-get install hunspell-en-us");
    }
    return passed(name, Need::optional, "Hunspell en_US");
}

// --- media adapter, services ---

Check probeMediaAdapter() {
    const std::string name = "Media adapter";
    StdLoop loop;
    auto media = makeLinuxMediaController(loop);
    if (!media->isAdapterAvailable()) {
        return failed(name, Need::optional, "not found; only Spotify is paused while dictating",
                      "reinstall Parlune (share/parlune/mediaremote-adapter.pl and MediaRemoteAdapter.framework)");
    }
    if (!fs::exists("/usr/bin/perl")) {
        return failed(name, Need::optional, *media->adapterScriptPath() + " found, /usr/bin/perl missing",
                      "run: sudo apt-get install perl libnet-dbus-perl");
    }
    return passed(name, Need::optional, *media->adapterScriptPath());
}

Check probeLocalModel(const DeploymentConfig& deployment) {
    const std::string name = "Local model server";
    if (deployment.localModelBaseURL.empty()) {
        return failed(name, Need::optional, "no localModelBaseURL; \"Local\" inserts the raw transcript",
                      "set localModelBaseURL in ~/.config/parlune/deployment.json");
    }
    std::string base = deployment.localModelBaseURL;
    while (!base.empty() && base.back() == '/') base.pop_back();
    StdLoop loop;
    std::optional<HttpResult> result;
    {
        CurlHttpClient client(loop);
        spawn(loop, [](CurlHttpClient& http, std::string url, std::optional<HttpResult>& out) -> Task<void> {
            HttpRequest request;
            request.url = std::move(url);
            request.timeout = httpTimeout;
            out = co_await http.send(std::move(request));
        }(client, base + "/v1/models", result));
        loop.runUntil([&] { return result.has_value(); }, loopGuard);
    }
    loop.runUntil([] { return false; }, 0ms);
    if (!result || result->error) {
        return failed(name, Need::optional,
                      "not answering at " + deployment.localModelBaseURL + " (" +
                          (result ? *result->error : std::string("no answer")) + "); \"Local\" inserts the raw transcript",
                      "start one (llama-server -m MODEL.gguf --host 127.0.0.1 --port 8080) or set localModelBaseURL");
    }
    return passed(name, Need::optional,
                  "answering at " + deployment.localModelBaseURL + " (HTTP " + std::to_string(result->status) + ")");
}

// mimeapps.list in the order the desktop reads them: the user's configuration, the system's, then
// the applications folders.
std::vector<fs::path> mimeappsFiles() {
    std::vector<fs::path> folders{xdg::configHome()};
    for (const auto& folder : xdg::configDirs()) folders.push_back(folder);
    folders.push_back(xdg::dataHome() / "applications");
    for (const auto& folder : xdg::dataDirs()) folders.push_back(folder / "applications");
    std::vector<fs::path> files;
    const std::string desktops = environment("XDG_CURRENT_DESKTOP");
    for (const auto& folder : folders) {
        std::istringstream names(desktops);
        std::string desktop;
        while (std::getline(names, desktop, ':')) {
            if (!desktop.empty()) files.push_back(folder / (asciiLower(desktop) + "-mimeapps.list"));
        }
        files.push_back(folder / "mimeapps.list");
    }
    return files;
}

std::optional<fs::path> findDesktopFile(const std::string& id) {
    std::vector<fs::path> folders{xdg::dataHome() / "applications"};
    for (const auto& folder : xdg::dataDirs()) folders.push_back(folder / "applications");
    for (const auto& folder : folders) {
        std::error_code error;
        if (fs::is_regular_file(folder / id, error)) return folder / id;
    }
    return std::nullopt;
}

Check probeSchemeHandler() {
    const std::string name = "parlune:// handler";
    std::vector<std::string> texts;
    for (const auto& file : mimeappsFiles()) {
        std::ifstream in(file);
        if (!in) continue;
        std::ostringstream text;
        text << in.rdbuf();
        texts.push_back(text.str());
    }
    const auto handler = defaultApplication(texts, "x-scheme-handler/parlune");
    const std::string remedy = "run: scripts/install-desktop-entry (signing in needs it)";
    if (!handler) return failed(name, Need::optional, "not registered", remedy);
    if (!findDesktopFile(*handler)) return failed(name, Need::optional, *handler + " is registered but not installed", remedy);
    return passed(name, Need::optional, *handler);
}

}  // namespace

std::vector<Probe> desktopProbes(const RecordedHotkey& hotkey, const DeploymentConfig& deployment) {
    return {
        {"Display", Need::dictation, probeDisplay, Probe::Display::checks},
        {"XInput2 and XTest", Need::dictation, probeExtensions, Probe::Display::needs},
        {"Hotkey", Need::dictation, [hotkey] { return probeHotkey(hotkey); }, Probe::Display::needs},
        {"Accessibility bus", Need::dictation, probeAccessibility},
        {"Capture source", Need::dictation, probeCapture},
        {"Speech model", Need::dictation, probeRecogniser},
        {"Spell checker", Need::optional, probeSpelling},
        {"Media players", Need::optional, probeMediaPlayers},
        {"Media adapter", Need::optional, probeMediaAdapter},
        {"Local model server", Need::optional, [deployment] { return probeLocalModel(deployment); }},
        {"Gateway", Need::optional, [deployment] { return gatewayCheck(deployment); }},
        {"Backend", Need::optional, [deployment] { return backendCheck(deployment); }},
        {"parlune:// handler", Need::optional, probeSchemeHandler},
        {"Tray host", Need::optional, probeTray, Probe::Display::needs},
    };
}

BoundedCheck runBounded(const Probe& probe, std::chrono::milliseconds bound) {
    auto promise = std::make_shared<std::promise<Check>>();
    auto future = promise->get_future();
    std::thread worker([run = probe.run, promise] {
        try {
            promise->set_value(run());
        } catch (...) {
            promise->set_exception(std::current_exception());
        }
    });
    if (future.wait_for(bound) != std::future_status::ready) {
        worker.detach();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(bound).count();
        return {failed(probe.name, probe.need, "no answer within " + std::to_string(seconds) + " s",
                       "a daemon it asks is not responding"),
                true};
    }
    worker.join();
    try {
        return {future.get(), false};
    } catch (const std::exception& error) {
        return {failed(probe.name, probe.need, std::string("the check failed: ") + error.what()), false};
    }
}

ProbeRun runProbes(const std::vector<Probe>& probes, std::chrono::milliseconds bound,
                   const std::function<void(const Check&)>& onCheck) {
    ProbeRun run;
    bool displayFailed = false;
    for (const auto& probe : probes) {
        BoundedCheck result;
        if (displayFailed && probe.display == Probe::Display::needs) {
            result.check = failed(probe.name, probe.need, noDisplay, seeDisplay);
        } else {
            result = runBounded(probe, bound);
        }
        if (probe.display == Probe::Display::checks && !result.check.passed) displayFailed = true;
        run.abandoned = run.abandoned || result.abandoned;
        onCheck(result.check);
        run.checks.push_back(std::move(result.check));
    }
    return run;
}

}  // namespace parlune::doctor
