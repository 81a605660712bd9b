# Third-party libraries, built by scripts/setup into the dependency cache (one prefix per
# flavour). Nothing third-party lives in the repository.
set(PORTOLAN_DEPS_DIR "$ENV{PORTOLAN_DEPS_DIR}" CACHE PATH "dependency cache built by scripts/setup")
if(NOT PORTOLAN_DEPS_DIR)
    set(PORTOLAN_DEPS_DIR "${PROJECT_SOURCE_DIR}/.deps" CACHE PATH "" FORCE)
endif()
if(PORTOLAN_WIN64)
    set(PORTOLAN_DEPS_PREFIX "${PORTOLAN_DEPS_DIR}/win64")
else()
    set(PORTOLAN_DEPS_PREFIX "${PORTOLAN_DEPS_DIR}/native")
endif()
if(NOT EXISTS "${PORTOLAN_DEPS_PREFIX}/.complete")
    message(FATAL_ERROR "Third-party libraries are missing in ${PORTOLAN_DEPS_PREFIX}: run scripts/setup first.")
endif()

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

function(portolan_import_static name lib)
    add_library(${name} STATIC IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES
        IMPORTED_LOCATION "${PORTOLAN_DEPS_PREFIX}/lib/${lib}"
        INTERFACE_INCLUDE_DIRECTORIES "${PORTOLAN_DEPS_PREFIX}/include")
endfunction()

portolan_import_static(deps::yajl libyajl.a)
portolan_import_static(deps::tinyxml2 libtinyxml2.a)
portolan_import_static(deps::iconv libiconv.a)
portolan_import_static(deps::gtest libgtest.a)
portolan_import_static(deps::gmock libgmock.a)
set_property(TARGET deps::gtest PROPERTY INTERFACE_LINK_LIBRARIES Threads::Threads)
set_property(TARGET deps::gmock PROPERTY INTERFACE_LINK_LIBRARIES deps::gtest)

# utfcpp is header-only; the Debian headers serve both flavours.
find_path(PORTOLAN_UTFCPP_DIR utf8.h PATHS /usr/include/utf8cpp NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT PORTOLAN_UTFCPP_DIR)
    message(FATAL_ERROR "utfcpp headers not found (Debian libutfcpp-dev): run scripts/setup first.")
endif()
add_library(deps::utfcpp INTERFACE IMPORTED GLOBAL)
set_target_properties(deps::utfcpp PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${PORTOLAN_UTFCPP_DIR}")

# cpp-httplib is header-only: used from its unpacked Debian sources (the extension event library
# stand-in's loopback bridge and its tests, win64 only).
set(PORTOLAN_HTTPLIB_DIR "${PORTOLAN_DEPS_DIR}/src/cpp-httplib-0.11.4+ds-1+deb12u1")
if(EXISTS "${PORTOLAN_HTTPLIB_DIR}/httplib.h")
    add_library(deps::httplib INTERFACE IMPORTED GLOBAL)
    set_target_properties(deps::httplib PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${PORTOLAN_HTTPLIB_DIR}")
    if(PORTOLAN_WIN64)
        set_property(TARGET deps::httplib PROPERTY INTERFACE_LINK_LIBRARIES ws2_32)
    endif()
elseif(PORTOLAN_WIN64)
    message(FATAL_ERROR "cpp-httplib sources are missing in ${PORTOLAN_HTTPLIB_DIR}: run scripts/setup first.")
endif()

if(PORTOLAN_BENCH)
    find_package(benchmark REQUIRED)
endif()
