# The prepared desktop is the insertion tests' private session (X server, window manager, session
# and accessibility buses), the speech tests' sound server and the cleanup tests' HTTP server.
pkg_check_modules(DOCTOR_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_link_libraries(${target} PRIVATE PkgConfig::DOCTOR_HTTPLIB)
target_sources(${target} PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/../insertion/DesktopSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../apps/PrivateDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../speech/PrivateSoundServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../cleanup/LocalHttpServer.cpp)
