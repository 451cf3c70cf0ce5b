#include "PrivateSoundServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace parlune::testing {

using namespace std::chrono_literals;

PrivateSoundServer::PrivateSoundServer(int refusingTcpPort) {
    namespace fs = std::filesystem;
    fs::create_directories(folder_.path() + "/run");
    fs::create_directories(folder_.path() + "/home");
    fs::permissions(folder_.path() + "/run", fs::perms::owner_all, fs::perm_options::replace);

    std::vector<std::string> args{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--enable-memfd=no",
                                  "--load=module-native-protocol-unix auth-anonymous=1",
                                  "--load=module-null-sink sink_name=vmic rate=16000 channels=1"};
    if (refusingTcpPort > 0) {
        args.push_back("--load=module-native-protocol-tcp listen=127.0.0.1 port=" + std::to_string(refusingTcpPort) +
                       " auth-anonymous=0");
    }
    daemon_ = std::make_unique<BackgroundProcess>(
        args, std::map<std::string, std::string>{{"XDG_RUNTIME_DIR", folder_.path() + "/run"}, {"HOME", folder_.path() + "/home"}},
        -1, folder_.path() + "/daemon.log");
    // Ready once a client sees the microphone; bounded.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (daemon_->running() && std::chrono::steady_clock::now() < deadline) {
        auto sources = runProcess({"/usr/bin/pactl", "--server", address(), "list", "short", "sources"}, {}, 5s);
        if (sources.exitCode == 0 && sources.standardOutput.find("vmic.monitor") != std::string::npos) {
            serving_ = true;
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
}

PrivateSoundServer::~PrivateSoundServer() = default;

std::string PrivateSoundServer::address() const { return "unix:" + folder_.path() + "/run/pulse/native"; }

ProcessResult PrivateSoundServer::play(const std::string& wav) const {
    // A short buffer paces the playback like a speaker: with paplay's default two seconds the sink
    // may take the start of the file in one burst, before a recorder that has just connected reads.
    return runProcess({"/usr/bin/paplay", "--server", address(), "-d", "vmic", "--latency-msec=40", wav}, {}, 30s);
}

int PrivateSoundServer::freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

}  // namespace parlune::testing
