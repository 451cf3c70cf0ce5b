#include "linux/platform/PosixFiles.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace parlune::files {

int Descriptor::close() {
    const int fd = std::exchange(fd_, -1);
    if (fd < 0) return 0;
    return ::close(fd) == 0 ? 0 : errno;
}

int writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int readAll(int fd, std::string& out) {
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

int makeFolders(const std::filesystem::path& folder) {
    if (folder.empty()) return 0;
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    if (folder.has_parent_path() && folder.parent_path() != folder) {
        if (const int error = makeFolders(folder.parent_path()); error != 0) return error;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

int syncFolder(const std::filesystem::path& folder) {
    Descriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return errno;
    // Some file systems cannot sync a folder at all; nothing more can be done there.
    if (::fsync(fd.get()) != 0 && errno != EINVAL) return errno;
    return 0;
}

}  // namespace parlune::files
