# Compile settings shared by every target: language level, warnings and the optional sanitizers.
add_library(tellweir_flags INTERFACE)
target_compile_features(tellweir_flags INTERFACE cxx_std_20)
target_compile_options(tellweir_flags INTERFACE -Wall -Wextra -Wpedantic)
target_include_directories(tellweir_flags INTERFACE ${PROJECT_SOURCE_DIR})

if(TELLWEIR_WERROR)
    target_compile_options(tellweir_flags INTERFACE -Werror)
endif()

# TELLWEIR_SANITIZE takes a sanitizer list as -fsanitize does: "address,undefined" or "thread".
if(TELLWEIR_SANITIZE)
    target_compile_options(tellweir_flags INTERFACE
        -fsanitize=${TELLWEIR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(tellweir_flags INTERFACE -fsanitize=${TELLWEIR_SANITIZE})
endif()

# Defines a static library of one subsystem folder: tellweir_add_library(name SOURCES... DEPENDS...).
function(tellweir_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC tellweir_flags ${ARG_DEPENDS})
endfunction()

# Defines a GoogleTest executable whose cases ctest lists one by one. LABELS "threads" marks
# the tests of threaded code, which scripts/tsan-tests.sh runs under ThreadSanitizer.
function(tellweir_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;ENVIRONMENT;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE tellweir_flags ${ARG_DEPENDS} GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}" LABELS "${ARG_LABELS}")
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
