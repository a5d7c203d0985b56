# Compile settings shared by every target (language level, warnings, the optional sanitizers) and
# the functions that define libraries, tests, fuzzers and benchmarks.
#
# The library graph is enforced here: no target sees the source tree as an include root. Each
# folder is exposed through a link of its own under the build tree, and a target sees only its
# own folder and those of the libraries it links, so an include of a library that is not a
# declared dependency does not compile.
# ccache, when installed, makes rebuilds of the several build folders (plain, sanitizers) cheap.
find_program(TELLWEIR_CCACHE ccache)
if(TELLWEIR_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    set(CMAKE_CXX_COMPILER_LAUNCHER ${TELLWEIR_CCACHE})
endif()

add_library(tellweir_flags INTERFACE)
target_compile_features(tellweir_flags INTERFACE cxx_std_20)
target_compile_options(tellweir_flags INTERFACE -Wall -Wextra -Wpedantic)

if(TELLWEIR_WERROR)
    target_compile_options(tellweir_flags INTERFACE -Werror)
endif()

# TELLWEIR_SANITIZE takes a sanitizer list as -fsanitize does: "address,undefined" or "thread".
if(TELLWEIR_SANITIZE)
    target_compile_options(tellweir_flags INTERFACE
        -fsanitize=${TELLWEIR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(tellweir_flags INTERFACE -fsanitize=${TELLWEIR_SANITIZE})
endif()

# Makes the current source folder includable as "<folder path>/header.h" by `target` and, with
# scope PUBLIC or INTERFACE, by whatever links it: the folder gets one include root of its own.
function(tellweir_expose_folder target scope)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    string(REPLACE "/" "_" root_name ${rel})
    set(root ${PROJECT_BINARY_DIR}/include/${root_name})
    get_filename_component(parent ${root}/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT IS_SYMLINK ${root}/${rel})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${rel} SYMBOLIC)
    endif()
    target_include_directories(${target} ${scope} ${root})
endfunction()

# Defines the library of the current folder:
#   tellweir_add_library(name SOURCES... PUBLIC_DEPENDS... DEPENDS...)
# PUBLIC_DEPENDS are the libraries its headers include; DEPENDS those only its sources use.
# Without sources it is a header-only library.
function(tellweir_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPENDS;DEPENDS" ${ARGN})
    if(ARG_SOURCES)
        add_library(${name} STATIC ${ARG_SOURCES})
        target_link_libraries(${name} PRIVATE tellweir_flags ${ARG_DEPENDS}
            PUBLIC ${ARG_PUBLIC_DEPENDS})
        tellweir_expose_folder(${name} PUBLIC)
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_PUBLIC_DEPENDS} ${ARG_DEPENDS})
        tellweir_expose_folder(${name} INTERFACE)
    endif()
endfunction()

# Defines a GoogleTest executable whose cases ctest lists one by one. LABELS "threads" marks
# the tests of threaded code, which run under ThreadSanitizer too. Every case has a time-out, so
# a hang fails fast instead of holding up the run.
set(TELLWEIR_TEST_TIMEOUT 120 CACHE STRING "Seconds a single test case may take")
function(tellweir_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;ENVIRONMENT;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE tellweir_flags ${ARG_DEPENDS} GTest::gmock GTest::gtest_main)
    tellweir_expose_folder(${name} PRIVATE)
    # Only the properties that have values: an empty one would shift every later pair.
    set(properties TIMEOUT ${TELLWEIR_TEST_TIMEOUT})
    if(ARG_ENVIRONMENT)
        list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
    endif()
    if(ARG_LABELS)
        list(APPEND properties LABELS "${ARG_LABELS}")
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES ${properties})
endfunction()

# Coverage instrumentation for every library when the fuzzers are built (clang only).
if(TELLWEIR_BUILD_FUZZ)
    target_compile_options(tellweir_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()

# Defines a libFuzzer target: tellweir_add_fuzzer(name SOURCES... DEPENDS...).
function(tellweir_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE tellweir_flags ${ARG_DEPENDS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# Defines a Google Benchmark executable: tellweir_add_benchmark(name SOURCES... DEPENDS...).
function(tellweir_add_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE tellweir_flags ${ARG_DEPENDS} benchmark::benchmark)
    add_dependencies(tellweir_benchmarks ${name})
endfunction()
