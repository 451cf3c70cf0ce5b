# Media: MPRIS players over GDBus; the now-playing adapter shipped from packaging/.
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
target_link_libraries(parlune_linux PUBLIC PkgConfig::GIO)

include(GNUInstallDirs)
set(PARLUNE_MEDIA_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(PARLUNE_BUILD_DATA_DIR ${PROJECT_BINARY_DIR}/share/parlune)
target_compile_definitions(parlune_linux PRIVATE
  PARLUNE_INSTALL_DATA_DIR="${CMAKE_INSTALL_FULL_DATADIR}/parlune"
  PARLUNE_BUILD_DATA_DIR="${PARLUNE_BUILD_DATA_DIR}")

# The build tree holds the adapter where an installation does (share/parlune beside bin/), so
# programs run from the build tree find it.
add_custom_target(parlune_media_resources ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PARLUNE_BUILD_DATA_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PARLUNE_MEDIA_PACKAGING}/mediaremote-adapter.pl ${PARLUNE_BUILD_DATA_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PARLUNE_MEDIA_PACKAGING}/MediaRemoteAdapter.framework
          ${PARLUNE_BUILD_DATA_DIR}/MediaRemoteAdapter.framework
  COMMENT "Staging the media adapter in ${PARLUNE_BUILD_DATA_DIR}"
  VERBATIM)
add_dependencies(parlune_linux parlune_media_resources)

install(PROGRAMS ${PARLUNE_MEDIA_PACKAGING}/mediaremote-adapter.pl DESTINATION ${CMAKE_INSTALL_DATADIR}/parlune)
install(DIRECTORY ${PARLUNE_MEDIA_PACKAGING}/MediaRemoteAdapter.framework DESTINATION ${CMAKE_INSTALL_DATADIR}/parlune)
