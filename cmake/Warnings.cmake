# Every target of the project links tarvel_warnings; warnings are errors so
# that a clean build stays clean.
add_library(tarvel_warnings INTERFACE)
target_compile_options(tarvel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Werror)
