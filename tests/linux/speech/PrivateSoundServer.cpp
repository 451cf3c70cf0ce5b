#include "PrivateSoundServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace parlune::testing {
namespace {

using namespace std::chrono_literals;

// Waits for `pid` to end, at most `limit`; true when it has.
bool reap(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

}  // namespace

PrivateSoundServer::PrivateSoundServer(int refusingTcpPort) {
    namespace fs = std::filesystem;
    fs::create_directories(folder_.path() + "/run");
    fs::create_directories(folder_.path() + "/home");
    fs::permissions(folder_.path() + "/run", fs::perms::owner_all, fs::perm_options::replace);

    std::vector<std::string> args{"/usr/bin/pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--enable-memfd=no",
                                  "--load=module-native-protocol-unix auth-anonymous=1",
                                  "--load=module-null-sink sink_name=vmic rate=16000 channels=1"};
    if (refusingTcpPort > 0) {
        args.push_back("--load=module-native-protocol-tcp listen=127.0.0.1 port=" + std::to_string(refusingTcpPort) +
                       " auth-anonymous=0");
    }
    std::vector<std::string> env{"XDG_RUNTIME_DIR=" + folder_.path() + "/run", "HOME=" + folder_.path() + "/home",
                                 "PATH=/usr/bin:/bin"};
    std::vector<char*> argp;
    for (auto& each : args) argp.push_back(each.data());
    argp.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& each : env) envp.push_back(each.data());
    envp.push_back(nullptr);

    const std::string logFile = folder_.path() + "/daemon.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int spawned = ::posix_spawn(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        return;
    }
    // Ready once a client sees the microphone; bounded.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        auto sources = runProcess({"/usr/bin/pactl", "--server", address(), "list", "short", "sources"}, {}, 5s);
        if (sources.exitCode == 0 && sources.standardOutput.find("vmic.monitor") != std::string::npos) {
            serving_ = true;
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
}

PrivateSoundServer::~PrivateSoundServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    if (!reap(pid_, 5000ms)) {
        ::kill(pid_, SIGKILL);
        reap(pid_, 5000ms);
    }
}

std::string PrivateSoundServer::address() const { return "unix:" + folder_.path() + "/run/pulse/native"; }

ProcessResult PrivateSoundServer::play(const std::string& wav) const {
    return runProcess({"/usr/bin/paplay", "--server", address(), "-d", "vmic", wav}, {}, 30s);
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
