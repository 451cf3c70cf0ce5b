# Test programs: a Qt text field and a GTK 3 entry that report their text on standard output.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
pkg_check_modules(INSERTION_TEST_GTK REQUIRED IMPORTED_TARGET gtk+-3.0)

add_executable(insertion_qt_field ${CMAKE_CURRENT_LIST_DIR}/programs/qt_field.cpp)
target_link_libraries(insertion_qt_field PRIVATE Qt6::Widgets)
target_compile_options(insertion_qt_field PRIVATE -Wall -Wextra -Werror)

add_executable(insertion_gtk_entry ${CMAKE_CURRENT_LIST_DIR}/programs/gtk_entry.cpp)
target_link_libraries(insertion_gtk_entry PRIVATE PkgConfig::INSERTION_TEST_GTK)
target_compile_options(insertion_gtk_entry PRIVATE -Wall -Wextra -Werror)

# The X server and its window manager come from the apps tests' private display.
target_sources(${target} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../apps/PrivateDisplay.cpp)

add_dependencies(${target} insertion_qt_field insertion_gtk_entry)
target_compile_definitions(${target} PRIVATE PARLUNE_QT_FIELD="$<TARGET_FILE:insertion_qt_field>"
                                             PARLUNE_GTK_ENTRY="$<TARGET_FILE:insertion_gtk_entry>")
