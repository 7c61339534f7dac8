# Warnings and Qt safety defines shared by every target of the project.
add_library(velbrook_common INTERFACE)
target_compile_options(velbrook_common INTERFACE
    -Wall -Wextra -Wold-style-cast -Woverloaded-virtual -Wnon-virtual-dtor)
target_compile_definitions(velbrook_common INTERFACE
    QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING QT_USE_QSTRINGBUILDER)
if(VELBROOK_WERROR)
    target_compile_options(velbrook_common INTERFACE -Werror)
endif()
