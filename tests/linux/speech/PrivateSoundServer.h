#pragma once

// A PulseAudio daemon of the test's own, with a 16 kHz mono null sink "vmic" whose monitor serves
// as the microphone, in a private runtime folder and home. Started by the constructor (waiting,
// bounded, until it serves), stopped by its PID when the object goes.

#include "fakes/Process.h"

#include <memory>
#include <string>

namespace parlune::testing {

class PrivateSoundServer {
public:
    // With `refusingTcpPort`, the daemon also listens on that loopback port and refuses clients
    // without its cookie.
    explicit PrivateSoundServer(int refusingTcpPort = 0);
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    bool isServing() const { return serving_; }
    std::string address() const;  // the unix socket, as a server string
    // Plays a WAV into the null sink; returns once it has been played (bounded).
    ProcessResult play(const std::string& wav) const;
    // A free TCP port on the loopback address.
    static int freeLoopbackPort();

private:
    TemporaryFolder folder_;
    std::unique_ptr<BackgroundProcess> daemon_;
    bool serving_ = false;
};

}  // namespace parlune::testing
