# Speech capture and recognition: PocketSphinx (decoder), flite (pronunciations of new words),
# PulseAudio (capture), libsndfile and libsamplerate (audio files). Hunspell comes with spelling/.
find_package(Threads REQUIRED)
# Debian's pocketsphinx.pc names an include folder that does not exist: keep only the ones that do.
pkg_check_modules(POCKETSPHINX REQUIRED pocketsphinx)
set(PARLUNE_POCKETSPHINX_INCLUDE_DIRS "")
foreach(dir ${POCKETSPHINX_INCLUDE_DIRS})
  if(EXISTS ${dir})
    list(APPEND PARLUNE_POCKETSPHINX_INCLUDE_DIRS ${dir})
  endif()
endforeach()
add_library(parlune_pocketsphinx INTERFACE IMPORTED)
target_include_directories(parlune_pocketsphinx SYSTEM INTERFACE ${PARLUNE_POCKETSPHINX_INCLUDE_DIRS})
target_compile_options(parlune_pocketsphinx INTERFACE ${POCKETSPHINX_CFLAGS_OTHER})
target_link_libraries(parlune_pocketsphinx INTERFACE ${POCKETSPHINX_LINK_LIBRARIES})
pkg_check_modules(LIBPULSE REQUIRED IMPORTED_TARGET libpulse)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
pkg_check_modules(SAMPLERATE REQUIRED IMPORTED_TARGET samplerate)
find_path(FLITE_INCLUDE_DIR flite/flite.h REQUIRED)
find_library(FLITE_LIBRARY flite REQUIRED)
find_library(FLITE_CMULEX_LIBRARY flite_cmulex REQUIRED)
find_library(FLITE_USENGLISH_LIBRARY flite_usenglish REQUIRED)
add_library(parlune_flite INTERFACE IMPORTED)
target_include_directories(parlune_flite SYSTEM INTERFACE ${FLITE_INCLUDE_DIR})
target_link_libraries(parlune_flite INTERFACE ${FLITE_CMULEX_LIBRARY} ${FLITE_USENGLISH_LIBRARY} ${FLITE_LIBRARY} m)
target_link_libraries(parlune_linux PUBLIC parlune_pocketsphinx PkgConfig::LIBPULSE PkgConfig::SNDFILE
                      PkgConfig::SAMPLERATE parlune_flite Threads::Threads)

# Sample dictations for a first run (`parlune dictate samples/sample-1.wav`), spoken by flite at
# build time. parlune_speak_samples(TARGET FOLDER "name|text" ...) makes FOLDER/name.wav for each.
find_program(FLITE_PROGRAM flite REQUIRED)
function(parlune_speak_samples target folder)
  set(outputs "")
  foreach(entry ${ARGN})
    string(FIND "${entry}" "|" bar)
    string(SUBSTRING "${entry}" 0 ${bar} name)
    math(EXPR textStart "${bar} + 1")
    string(SUBSTRING "${entry}" ${textStart} -1 text)
    add_custom_command(OUTPUT ${folder}/${name}.wav
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
                       COMMAND ${FLITE_PROGRAM} -voice rms -t "${text}" -o ${folder}/${name}.wav
                       COMMENT "Speaking ${name}.wav" VERBATIM)
    list(APPEND outputs ${folder}/${name}.wav)
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
set(PARLUNE_SAMPLES_DIR ${PROJECT_BINARY_DIR}/samples CACHE INTERNAL "Sample dictations spoken at build time")
parlune_speak_samples(parlune_samples ${PARLUNE_SAMPLES_DIR}
  "sample-1|I will send the report to the whole team on Friday morning."
  "sample-2|My brother moved to London last year with his family."
  "sample-3|We need to finish the budget before the end of the month.")
