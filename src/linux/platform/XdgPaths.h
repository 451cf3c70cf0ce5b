#pragma once

#include <filesystem>

namespace parlune::xdg {

// The XDG base folders; a relative or empty variable is ignored, as the base-directory rules say.
std::filesystem::path configHome();  // $XDG_CONFIG_HOME, else ~/.config
std::filesystem::path dataHome();    // $XDG_DATA_HOME, else ~/.local/share

}  // namespace parlune::xdg
