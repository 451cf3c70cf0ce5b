#pragma once

// A whole desktop for dictating into: the private X server with its window manager, session bus and
// accessibility bus (DesktopSession), a PulseAudio daemon whose default source is the monitor of the
// null sink that speech is played into, a stand-in MPRIS player that is playing, a stand-in
// chat-completions gateway on 127.0.0.1, a fresh settings folder, the real parlune application and
// a Qt text field to dictate into. Watchers note, with the time they saw it, every line the
// application prints, every capture stream it opens and every panel it shows.
//
// Shared by the end-to-end test and the latency harness.

#include "fakes/ChildProcess.h"
#include "fakes/Process.h"
#include "linux/cleanup/LocalHttpServer.h"
#include "linux/insertion/DesktopSession.h"
#include "linux/insertion/Keys.h"
#include "linux/media/StandInPlayer.h"
#include "linux/runtime/StdLoop.h"
#include "linux/speech/PrivateSoundServer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace parlune {
class X11Clipboard;
}

namespace parlune::testing {

using Clock = std::chrono::steady_clock;

struct SeenLine {
    Clock::time_point at;
    std::string text;
};

// Collects lines from a source on a thread of its own, each with the time it was seen.
class LineWatcher {
public:
    LineWatcher() = default;
    virtual ~LineWatcher();
    LineWatcher(const LineWatcher&) = delete;
    LineWatcher& operator=(const LineWatcher&) = delete;

    std::vector<SeenLine> lines() const;
    std::size_t count() const;
    // The index of the first line from `from` on that satisfies `accept`, waiting at most `bound`.
    std::optional<std::size_t> waitFor(const std::function<bool(const std::string&)>& accept, std::chrono::milliseconds bound,
                                       std::size_t from = 0) const;
    std::optional<std::size_t> waitForPrefix(const std::string& prefix, std::chrono::milliseconds bound, std::size_t from = 0) const {
        return waitFor([&](const std::string& line) { return line.starts_with(prefix); }, bound, from);
    }

protected:
    // `poll` is called over and over on the thread; it adds what it found with add().
    void run(std::function<void()> poll);
    void add(std::string text);
    void stopRunning();

private:
    mutable std::mutex mutex_;
    std::vector<SeenLine> lines_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// The lines a program writes to a file, as they arrive.
class FileFollower : public LineWatcher {
public:
    explicit FileFollower(std::string path);
    ~FileFollower() override;

private:
    std::string path_;
    std::size_t offset_ = 0;
    std::string partial_;
};

// The capture streams of a PulseAudio daemon: "new" and "remove", from `pactl subscribe`.
class CaptureStreamWatcher : public LineWatcher {
public:
    explicit CaptureStreamWatcher(const std::string& server);
    ~CaptureStreamWatcher() override;

    // The index of the next stream opened from `from` on.
    std::optional<std::size_t> waitForOpened(std::chrono::milliseconds bound, std::size_t from = 0) const {
        return waitFor([](const std::string& line) { return line.find("'new' on source-output") != std::string::npos; }, bound, from);
    }

private:
    std::unique_ptr<ChildProcess> subscription_;
};

// Viewable windows with a given title on the X server, sampled every few milliseconds: a line
// "shown TITLE" or "hidden TITLE" whenever that changes.
class PanelWatcher : public LineWatcher {
public:
    explicit PanelWatcher(std::vector<std::string> titles);
    ~PanelWatcher() override;

private:
    std::vector<std::string> titles_;
    std::vector<bool> visible_;
    void* connection_ = nullptr;
};

class DictationDesktop {
public:
    static constexpr const char* hotkey = "Control_R";
    static constexpr const char* playerName = "org.mpris.MediaPlayer2.vlc";
    static constexpr const char* indicatorTitle = "Parlune Indicator";
    static constexpr const char* suggestionTitle = "Parlune Suggestion";

    struct Options {
        bool gatewayListens = true;
        std::string cleanedText;      // what the stand-in gateway answers
        bool playerPlaying = true;    // a stand-in player runs and plays
    };

    // Starts everything but the application and the field; problem() says what did not start.
    explicit DictationDesktop(Options options);
    ~DictationDesktop();
    DictationDesktop(const DictationDesktop&) = delete;
    DictationDesktop& operator=(const DictationDesktop&) = delete;

    const std::string& problem() const { return problem_; }

    // The parlune application with the settings folder as given; true once its recogniser is ready.
    bool startApplication();
    // A Qt text field holding `text`, caret at its end, focused; true once the application reads it.
    bool startField(const std::string& text);

    // Holds the hotkey, waits until the microphone is open, plays `wav` into the sink and lets the
    // hotkey go. None when the microphone did not open or the speech could not be played.
    struct Dictated {
        Clock::time_point pressed;
        Clock::time_point microphoneOpened;  // as the sound server reported it
        Clock::time_point released;
    };
    std::optional<Dictated> dictate(const std::string& wav);

    // What the field holds now (as it reported it last), after polling it.
    std::optional<std::string> fieldText();
    bool waitForFieldText(const std::string& expected, std::chrono::milliseconds bound);

    // The clipboard as any other application sees it, and a text offered by such an application.
    std::optional<std::string> clipboardText();
    void offerClipboardText(const std::string& text);

    // `parlune ARGS...` in this desktop's environment.
    ProcessResult parlune(std::vector<std::string> arguments);

    FileFollower& log() { return *log_; }
    CaptureStreamWatcher& captures() { return *captures_; }
    PanelWatcher& panels() { return *panels_; }
    StandInPlayer* player() { return player_.get(); }
    std::vector<LocalHttpServer::Received> gatewayRequests() const;
    Keys& keys() { return *keys_; }
    int applicationPid() const { return application_ ? application_->pid() : -1; }
    const std::string& logFile() const { return logFile_; }
    DesktopSession& session() { return *session_; }

private:
    void writeSettings();

    Options options_;
    std::string problem_;
    DesktopSession* session_ = nullptr;
    std::unique_ptr<PrivateSoundServer> sound_;
    std::unique_ptr<StandInPlayer> player_;
    std::unique_ptr<LocalHttpServer> gateway_;
    std::unique_ptr<Keys> keys_;
    std::unique_ptr<CaptureStreamWatcher> captures_;
    std::unique_ptr<PanelWatcher> panels_;
    std::string logFile_;
    std::unique_ptr<BackgroundProcess> application_;
    std::unique_ptr<FileFollower> log_;
    std::unique_ptr<DesktopProgram> field_;
    StdLoop loop_;
    std::shared_ptr<X11Clipboard> clipboard_;
};

// Runs `done` every few milliseconds until it holds, at most `bound`.
bool holdsWithin(const std::function<bool()>& done, std::chrono::milliseconds bound);

}  // namespace parlune::testing
