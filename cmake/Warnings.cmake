# Warnings for our own code: on, and treated as errors. Third-party code is built elsewhere
# (scripts/setup) and only linked.
add_library(portolan_warnings INTERFACE)
target_compile_options(portolan_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Werror
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>)

# Report file names relative to the source tree, as "src/core/GFile.cpp".
add_compile_options("-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=")
