# cmake -DBUILD_DIR=... -DPREFIX=... -DBINDIR=bin -DDATADIR=share -DDOC_FROM_BIN=... -P checkinstall.cmake
cmake_minimum_required(VERSION 3.25)

function(fail)
    string(JOIN "" text ${ARGN})
    message(FATAL_ERROR "${text}")
endfunction()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    fail("cmake --install failed:\n" ${output})
endif()

set(program ${PREFIX}/${BINDIR}/velbrook)
set(entry ${PREFIX}/${DATADIR}/applications/velbrook.desktop)
set(icons ${PREFIX}/${DATADIR}/icons/hicolor)
foreach(file ${program} ${entry} ${icons}/scalable/apps/velbrook.svg)
    if(NOT EXISTS ${file})
        fail("not installed: " ${file})
    endif()
endforeach()

# The program finds its change log through this relative path (see changelogFile()).
cmake_path(ABSOLUTE_PATH DOC_FROM_BIN BASE_DIRECTORY ${PREFIX}/${BINDIR} NORMALIZE OUTPUT_VARIABLE docdir)
if(NOT EXISTS ${docdir}/changelog.txt)
    fail("the program would not find its change log at " ${docdir}/changelog.txt)
endif()

execute_process(COMMAND test -x ${program} RESULT_VARIABLE notExecutable)
if(notExecutable)
    fail(${program} " is not executable")
endif()

# Each PNG must be drawn at the size its folder names: width and height are bytes 16 to 23.
foreach(size 16 24 32 48 64 128 256)
    set(png ${icons}/${size}x${size}/apps/velbrook.png)
    if(NOT EXISTS ${png})
        fail("not installed: " ${png})
    endif()
    file(READ ${png} header LIMIT 24 HEX)
    string(SUBSTRING ${header} 32 16 dimensions)
    math(EXPR expected "(${size} << 32) | ${size}" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR found "0x${dimensions}" OUTPUT_FORMAT HEXADECIMAL)
    if(NOT found STREQUAL expected)
        fail(${png} " is not " ${size} "x" ${size} " (" ${dimensions} ")")
    endif()
endforeach()

# The entry must start the installed program and show the installed icon.
file(STRINGS ${entry} execLine REGEX "^Exec=")
file(STRINGS ${entry} iconLine REGEX "^Icon=")
string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" execName "${execLine}")
string(REGEX REPLACE "^Icon=" "" iconName "${iconLine}")
if(execName STREQUAL "" OR NOT EXISTS ${PREFIX}/${BINDIR}/${execName})
    fail("the entry's " ${execLine} " names no installed program")
endif()
if(NOT EXISTS ${icons}/scalable/apps/${iconName}.svg)
    fail("the entry's " ${iconLine} " names no installed icon")
endif()

find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
    execute_process(COMMAND ${VALIDATE} ${entry} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0 OR NOT output STREQUAL "")
        fail("desktop-file-validate:\n" ${output})
    endif()
else()
    message(STATUS "desktop-file-validate is missing (package desktop-file-utils): the entry was not validated")
endif()

file(REMOVE_RECURSE ${PREFIX})
message(STATUS "installed tree is complete")
