# Global hotkeys: Xlib with XInput2 (raw key events), XTest and XKB; sd-bus for the accessibility bus.
pkg_check_modules(PARLUNE_HOTKEY_X11 REQUIRED IMPORTED_TARGET x11 xi xtst)
pkg_check_modules(PARLUNE_HOTKEY_SDBUS REQUIRED IMPORTED_TARGET libsystemd)
target_link_libraries(parlune_linux PUBLIC PkgConfig::PARLUNE_HOTKEY_X11 PkgConfig::PARLUNE_HOTKEY_SDBUS)
