pkg_check_modules(INSERTION_DESKTOP REQUIRED IMPORTED_TARGET atspi-2 gobject-2.0 glib-2.0 x11 xtst xres)
target_link_libraries(parlune_linux PUBLIC PkgConfig::INSERTION_DESKTOP)
