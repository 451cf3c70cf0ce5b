// parlune hotkey, parlune hotkey record, parlune hotkey watch

#include "cli/Command.h"
#include "cli/HeadlessApp.h"
#include "core/hotkey/HotkeyRecorder.h"
#include "core/log/Log.h"
#include "linux/hotkey/LinuxKeyboard.h"
#include "linux/platform/HeadlessPlatform.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <iostream>
#include <optional>

namespace parlune::cli {
namespace {

// Ends the loop on Ctrl+C or SIGTERM; the signals are read on the loop from a signalfd.
class QuitOnSignal {
public:
    explicit QuitOnSignal(StdLoop& loop) {
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        sigprocmask(SIG_BLOCK, &signals, nullptr);
        fd_ = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
        if (fd_ < 0) return;
        watch_ = loop.watchReadable(fd_, [this, &loop] {
            signalfd_siginfo info{};
            while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            }
            loop.quit();
        });
    }
    ~QuitOnSignal() {
        watch_.cancel();
        if (fd_ >= 0) ::close(fd_);
    }
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

private:
    int fd_ = -1;
    WatchHandle watch_;
};

int printHotkey() {
    HeadlessApp headless;
    std::cout << headless.app->selectedHotkey()->displayName << std::endl;
    return 0;
}

// The recorder's host on the command line: the application state runs with the real hotkey monitor,
// as in the application, and the recorded hotkey is stored through it.
int recordHotkey() {
    log::setStream(log::Stream::standardError);
    StdLoop loop;
    QuitOnSignal quitOnSignal(loop);
    const auto keyboard = LinuxKeyboard::open(loop);
    auto platform = makeHeadlessPlatform(loop);
    platform.keyboardMonitor = keyboard.makeMonitor(loop);
    auto app = AppState::create(platform);

    auto recorder = HotkeyRecorder::create(loop, keyboard.events);
    std::optional<RecordedHotkey> recorded;
    recorder->setOnRecord([&](const RecordedHotkey& hotkey) {
        recorded = hotkey;
        app->setSelectedHotkey(hotkey);
        loop.quit();
    });
    recorder->startRecordingTap();
    if (!recorder->isListening()) {
        std::cerr << "parlune: cannot listen to the keyboard: an X11 display with XInput2 is needed" << std::endl;
        return 1;
    }
    std::cerr << HotkeyRecorder::prompt << std::endl;
    loop.run();
    recorder->stopRecordingTap();
    if (!recorded) {
        std::cerr << "parlune: no hotkey recorded" << std::endl;
        return 1;
    }
    std::cout << recorded->displayName << std::endl;
    return 0;
}

int watchHotkey() {
    HeadlessApp headless;
    const RecordedHotkey hotkey = headless.app->selectedHotkey().get();
    QuitOnSignal quitOnSignal(headless.loop);
    const auto keyboard = LinuxKeyboard::open(headless.loop);
    auto monitor = keyboard.makeMonitor(headless.loop);
    monitor->setOnKeyDown([&] { std::cout << hotkey.displayName << " pressed" << std::endl; });
    monitor->setOnKeyUp([&] { std::cout << hotkey.displayName << " released" << std::endl; });
    monitor->startMonitoring(hotkey);
    if (!monitor->isTapping() && monitor->fallbackMonitorCount() == 0) {
        std::cerr << "parlune: the hotkey \"" << hotkey.displayName << "\" cannot be watched here" << std::endl;
        return 1;
    }
    std::cerr << "Watching \"" << hotkey.displayName << "\" ("
              << (monitor->isTapping() ? "kept from other applications"
                                       : "observed only, other applications see it too")
              << ") — press Ctrl+C to stop" << std::endl;
    headless.loop.run();
    monitor->stopMonitoring();
    return 0;
}

int runHotkey(const std::vector<std::string>& args) {
    if (args.empty()) return printHotkey();
    if (args.size() == 1 && args[0] == "record") return recordHotkey();
    if (args.size() == 1 && args[0] == "watch") return watchHotkey();
    return usageError("hotkey takes no argument, record or watch");
}

const bool registered = registerCommand(
    {"hotkey",
     "  hotkey                     print the hotkey that starts a dictation\n"
     "  hotkey record              wait for one key gesture (a modifier alone, or a key with modifiers) and make\n"
     "                             it the hotkey\n"
     "  hotkey watch               print a line at each press and release of the hotkey, until Ctrl+C\n",
     runHotkey});

}  // namespace
}  // namespace parlune::cli
