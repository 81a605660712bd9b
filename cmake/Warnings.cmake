# Warnings for our own code: on, and treated as errors. Third-party code is built elsewhere
# (scripts/setup) and only linked.
add_library(portolan_warnings INTERFACE)
target_compile_options(portolan_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Werror
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>
    # gcc 12 at -O3 warns about overlapping copies inside libstdc++'s own std::string code (a
    # false positive of that compiler version), not about ours.
    $<$<AND:$<CXX_COMPILER_ID:GNU>,$<COMPILE_LANGUAGE:CXX>>:-Wno-restrict>)

# Report file names relative to the source tree, as "src/core/GFile.cpp".
add_compile_options("-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=")
