# Stand-in HTTP servers on 127.0.0.1 speaking the real wire format.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_link_libraries(linux_${area} PRIVATE PkgConfig::HTTPLIB)
