#pragma once

// What the media tests share: a private session bus that this process and the programs it starts
// use (through $DBUS_SESSION_BUS_ADDRESS), a private runtime folder, and a real loop.

#include "core/runtime/Task.h"
#include "fakes/PrivateSessionBus.h"
#include "fakes/Process.h"
#include "linux/runtime/StdLoop.h"
#include "StandInPlayer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

namespace parlune::testing {

inline const std::string spotifyName = "org.mpris.MediaPlayer2.spotify";
inline const std::string browserName = "org.mpris.MediaPlayer2.chromium.instance4242";
inline const std::string videoPlayerName = "org.mpris.MediaPlayer2.vlc";
inline const std::string adapterScript = std::string(PARLUNE_MEDIA_DATA_DIR) + "/mediaremote-adapter.pl";
inline const std::string adapterFramework = std::string(PARLUNE_MEDIA_DATA_DIR) + "/MediaRemoteAdapter.framework";

// Waits until `done()` holds, checking every few milliseconds, at most `bound`; true when it holds.
// For what other threads and processes do while the loop has nothing to run.
inline bool eventually(const std::function<bool()>& done, Duration bound = std::chrono::seconds(10)) {
    for (const auto deadline = std::chrono::steady_clock::now() + bound; !done();) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Runs `task` on the loop to its end (bounded).
template <class T>
T runTask(StdLoop& loop, Task<T> task, Duration bound = std::chrono::seconds(20)) {
    auto result = std::make_shared<std::optional<T>>();
    spawn(loop, [](Task<T> inner, std::shared_ptr<std::optional<T>> out) -> Task<void> {
        *out = co_await std::move(inner);
    }(std::move(task), result));
    if (!loop.runUntil([&] { return result->has_value(); }, bound)) throw std::runtime_error("task did not end");
    return std::move(**result);
}

inline void runTask(StdLoop& loop, Task<void> task, Duration bound = std::chrono::seconds(20)) {
    runTask(loop, [](Task<void> inner) -> Task<bool> {
        co_await std::move(inner);
        co_return true;
    }(std::move(task)), bound);
}

class MediaBusTest : public ::testing::Test {
protected:
    MediaBusTest() {
        // Set before any thread of the test starts; programs started by the test inherit them.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    }
    ~MediaBusTest() override {
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::unsetenv("XDG_RUNTIME_DIR");
    }

    std::unique_ptr<StandInPlayer> player(const std::string& name, const std::string& status = "Playing") {
        return std::make_unique<StandInPlayer>(bus.address(), StandInPlayer::Options{name, status});
    }
    std::unique_ptr<StandInPlayer> player(StandInPlayer::Options options) {
        return std::make_unique<StandInPlayer>(bus.address(), std::move(options));
    }

    template <class T>
    T finish(Task<T> task, Duration bound = std::chrono::seconds(20)) {
        return runTask(loop, std::move(task), bound);
    }

    PrivateSessionBus bus;
    TemporaryFolder runtime;
    StdLoop loop;
};

}  // namespace parlune::testing
