pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
target_link_libraries(parlune_linux PUBLIC PkgConfig::CURL)
find_package(Threads REQUIRED)
target_link_libraries(parlune_linux PUBLIC Threads::Threads)
