include(GoogleTest)

# A GoogleTest program's tests. The normal tree lists each case as a test of its own, so
# that `ctest -R` picks one. Under the sanitizers a process start costs about a fifth of a
# second, more than most cases take (300 short cases cost 40 s of start-up), so the
# sanitizer tree runs each program once, its cases one after another.
function(vellox_gtest target)
    if(NOT VELLOX_SANITIZE)
        gtest_discover_tests(${target} ${ARGN})
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TEST_PREFIX;TEST_FILTER" "PROPERTIES")
    set(name "${arg_TEST_PREFIX}${target}")
    set(filter)
    if(arg_TEST_FILTER)
        set(filter "--gtest_filter=${arg_TEST_FILTER}")
    endif()
    add_test(NAME ${name} COMMAND ${target} ${filter})
    # The per-case limit becomes the whole program's.
    set_tests_properties(${name} PROPERTIES ${arg_PROPERTIES} TIMEOUT 1500)
endfunction()
