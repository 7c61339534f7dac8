# Warnings and Qt safety defines shared by every target of the project.
add_library(velbrook_common INTERFACE)
target_compile_options(velbrook_common INTERFACE
    -Wall -Wextra -Wold-style-cast -Woverloaded-virtual -Wnon-virtual-dtor)
target_compile_definitions(velbrook_common INTERFACE
    QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING QT_USE_QSTRINGBUILDER)
if(VELBROOK_WERROR)
    target_compile_options(velbrook_common INTERFACE -Werror)
endif()

# Every end-to-end test runs twice: with the system's adb (label e2e) and with the current one that
# scripts/fetch-current-adb unpacks into the build (label current-adb), since their wording and
# acknowledgements differ.
set(VELBROOK_CURRENT_ADB_DIR "${CMAKE_BINARY_DIR}/adb-current/bin" CACHE PATH "Folder holding the current adb")
function(velbrook_register_e2e name timeout)
    set(environment ${ARGN})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT ${timeout} ENVIRONMENT "${environment}")
    add_test(NAME ${name}.current-adb COMMAND ${name})
    set_tests_properties(${name}.current-adb PROPERTIES LABELS current-adb TIMEOUT ${timeout}
                         ENVIRONMENT "${environment};PATH=${VELBROOK_CURRENT_ADB_DIR}:$ENV{PATH}"
                         REQUIRED_FILES "${VELBROOK_CURRENT_ADB_DIR}/adb")
endfunction()
