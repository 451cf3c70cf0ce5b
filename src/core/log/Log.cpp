#include "core/log/Log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace parlune::log {
namespace {

std::mutex& mutex() {
    static std::mutex instance;
    return instance;
}
Stream currentStream = Stream::standardOutput;
std::function<void(std::string_view)>& sink() {
    static std::function<void(std::string_view)> instance;
    return instance;
}

}  // namespace

void line(std::string_view text) {
    std::lock_guard lock(mutex());
    if (sink()) {
        sink()(text);
        return;
    }
    std::FILE* out = currentStream == Stream::standardOutput ? stdout : stderr;
    std::string buffer(text);
    buffer.push_back('\n');
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    std::fflush(out);
}

void setStream(Stream stream) {
    std::lock_guard lock(mutex());
    currentStream = stream;
}

void setSink(std::function<void(std::string_view)> newSink) {
    std::lock_guard lock(mutex());
    sink() = std::move(newSink);
}

}  // namespace parlune::log
