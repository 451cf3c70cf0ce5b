# The full sign-in runs against the stand-in backend of the account adapter tests.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_sources(ui_${area} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/linux/cleanup/LocalHttpServer.cpp
                                  ${CMAKE_CURRENT_SOURCE_DIR}/linux/account/StandInBackend.cpp)
target_link_libraries(ui_${area} PRIVATE PkgConfig::HTTPLIB)
