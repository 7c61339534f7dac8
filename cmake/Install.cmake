# Where an installed program's files go, and what the code needs to know of it.
set(VELBROOK_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/velbrook)
# Relative, so that an installed tree still finds its change log after it is moved or packaged.
file(RELATIVE_PATH VELBROOK_DOC_FROM_BIN /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${VELBROOK_DOCDIR})

configure_file(${CMAKE_CURRENT_LIST_DIR}/buildinfo.h.in ${PROJECT_BINARY_DIR}/generated/buildinfo.h @ONLY)
# The program in the build folder reads the change log beside it, like a portable copy.
configure_file(${PROJECT_SOURCE_DIR}/changelog.txt ${PROJECT_BINARY_DIR}/changelog.txt COPYONLY)

install(FILES ${PROJECT_SOURCE_DIR}/changelog.txt DESTINATION ${VELBROOK_DOCDIR})
