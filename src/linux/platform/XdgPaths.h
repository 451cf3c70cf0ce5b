#pragma once

#include <filesystem>
#include <vector>

namespace parlune::xdg {

// The XDG base folders; a relative or empty variable is ignored, as the base-directory rules say.
std::filesystem::path configHome();  // $XDG_CONFIG_HOME, else ~/.config
std::filesystem::path dataHome();    // $XDG_DATA_HOME, else ~/.local/share
// $XDG_DATA_DIRS (absolute entries only), else /usr/local/share and /usr/share.
std::vector<std::filesystem::path> dataDirs();
// $XDG_CONFIG_DIRS (absolute entries only), else /etc/xdg.
std::vector<std::filesystem::path> configDirs();
std::filesystem::path home();  // $HOME, else the password database's entry, else "/"

}  // namespace parlune::xdg
