# The desktop, the sound server, the stand-in player and gateway and the test field come from the
# adapter tests' helpers.
set(PARLUNE_LINUX_TESTS ${CMAKE_CURRENT_LIST_DIR}/../../linux)
set(PARLUNE_E2E_DESKTOP_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/DictationDesktop.cpp
  ${PARLUNE_LINUX_TESTS}/insertion/DesktopSession.cpp
  ${PARLUNE_LINUX_TESTS}/insertion/Keys.cpp
  ${PARLUNE_LINUX_TESTS}/apps/PrivateDisplay.cpp
  ${PARLUNE_LINUX_TESTS}/speech/PrivateSoundServer.cpp
  ${PARLUNE_LINUX_TESTS}/media/StandInPlayer.cpp
  ${PARLUNE_LINUX_TESTS}/cleanup/LocalHttpServer.cpp
  CACHE INTERNAL "The end-to-end desktop fixture and what it builds on")
target_sources(${target} PRIVATE ${PARLUNE_E2E_DESKTOP_SOURCES} ${PARLUNE_LINUX_TESTS}/speech/SpeechTesting.cpp)
target_link_libraries(${target} PRIVATE PkgConfig::HTTPLIB)
add_dependencies(${target} insertion_qt_field parlune_samples parlune_media_resources)
target_compile_definitions(${target} PRIVATE
  PARLUNE_QT_FIELD="$<TARGET_FILE:insertion_qt_field>"
  PARLUNE_SAMPLES_DIR="${PARLUNE_SAMPLES_DIR}"
  PARLUNE_READ_SPEECH_DIR="/usr/share/pocketsphinx/test/data/librivox")
