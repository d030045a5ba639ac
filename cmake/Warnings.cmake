# Every target of the project links tarvel_warnings. TARVEL_WERROR turns the
# warnings into errors; CI sets it so that a clean build stays clean, while a
# user with a newer compiler can still build a release.
option(TARVEL_WERROR "Treat compiler warnings as errors" OFF)
add_library(tarvel_warnings INTERFACE)
target_compile_options(tarvel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    $<$<BOOL:${TARVEL_WERROR}>:-Werror>)
