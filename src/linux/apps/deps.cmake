# .desktop files through GLib's key-file parser; the window in front through xcb.
pkg_check_modules(PARLUNE_APPS_GLIB REQUIRED IMPORTED_TARGET glib-2.0)
pkg_check_modules(PARLUNE_APPS_XCB REQUIRED IMPORTED_TARGET xcb)
target_link_libraries(parlune_linux PUBLIC PkgConfig::PARLUNE_APPS_GLIB PkgConfig::PARLUNE_APPS_XCB)
