# The media tests run the staged adapter from the build tree.
target_compile_definitions(linux_media PRIVATE PARLUNE_MEDIA_DATA_DIR="${PROJECT_BINARY_DIR}/share/parlune")
add_dependencies(linux_media parlune_media_resources)
