# TARVEL_SANITIZE builds every target with AddressSanitizer and
# UndefinedBehaviorSanitizer; any report aborts the process so ctest fails.
add_library(tarvel_sanitizers INTERFACE)
if(TARVEL_SANITIZE)
    target_compile_options(tarvel_sanitizers INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
    target_link_options(tarvel_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
add_library(tarvel_common INTERFACE)
target_link_libraries(tarvel_common INTERFACE tarvel_warnings tarvel_sanitizers)
