#pragma once

#include <functional>
#include <string_view>

namespace parlune::log {

// Writes one event line (a line feed is added) and flushes it. Thread-safe.
void line(std::string_view text);

enum class Stream { standardOutput, standardError };
// Where lines go; standard output unless a command prints its result there.
void setStream(Stream stream);

// Sends every line to `sink` instead of a stream (tests); an empty function restores the stream.
void setSink(std::function<void(std::string_view)> sink);

}  // namespace parlune::log
