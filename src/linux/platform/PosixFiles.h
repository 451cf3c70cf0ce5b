#pragma once

// Small POSIX file helpers shared by the stores that keep private files: an owned descriptor,
// complete reads and writes, private folders and durable renames. Each returns the errno of the
// first failing step, 0 on success.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include <unistd.h>

namespace parlune::files {

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now and reports close's errno (0 on success); a later destruction does nothing.
    int close();
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

int writeAll(int fd, std::string_view text);
int readAll(int fd, std::string& out);
// Creates the missing folders of `folder` with mode 0700.
int makeFolders(const std::filesystem::path& folder);
// Makes a rename in `folder` durable; a file system that cannot sync folders counts as success.
int syncFolder(const std::filesystem::path& folder);

}  // namespace parlune::files
