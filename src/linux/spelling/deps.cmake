pkg_check_modules(HUNSPELL REQUIRED IMPORTED_TARGET hunspell)
target_link_libraries(parlune_linux PUBLIC PkgConfig::HUNSPELL)
