# The stand-in backend (Auth and Storage on 127.0.0.1) over the shared local HTTP server.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_sources(linux_${area} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/linux/cleanup/LocalHttpServer.cpp
                                     ${CMAKE_CURRENT_SOURCE_DIR}/linux/account/StandInBackend.cpp)
target_link_libraries(linux_${area} PRIVATE PkgConfig::HTTPLIB)
