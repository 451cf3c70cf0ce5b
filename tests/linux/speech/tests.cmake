# Speech fixtures, spoken by flite at build time, and real read speech from pocketsphinx-testdata.
set(PARLUNE_SPEECH_FIXTURES ${CMAKE_CURRENT_BINARY_DIR}/speech-fixtures)
parlune_speak_samples(speech_fixtures ${PARLUNE_SPEECH_FIXTURES}
  "kubernetes|Deploy the new cluster with Kubernetes before lunch."
  "parlune|I dictated this note with Parlune yesterday.")
add_dependencies(linux_speech speech_fixtures parlune_samples)
target_compile_definitions(linux_speech PRIVATE
  PARLUNE_SPEECH_FIXTURES="${PARLUNE_SPEECH_FIXTURES}"
  PARLUNE_SAMPLES_DIR="${PARLUNE_SAMPLES_DIR}"
  PARLUNE_READ_SPEECH_DIR="/usr/share/pocketsphinx/test/data/librivox")
