# The end-to-end tests that scripts/lib/harness.sh runs under Wine: the
# x86_64 tests of tests/wine and bank001/tests (tier "wine"), and the i686
# tier of the product's own architecture (tier "i686", tests/i686 and a few of
# bank001's), inside the emulated 32-bit Wine. One function registers them all.
#
# Each case of a test program is one ctest test, <tier>.<program>.<case>. The
# cases are the PIX_TEST(...) names in the program's sources, read when the
# build is configured (and again whenever a source changes), so a case cannot
# exist in a source without running; CASES names a subset where a tier runs
# only some. Every test of a tier shares that tier's session (Xvfb, prefix,
# virtual desktop), opened by <tier>.session.start and closed by
# <tier>.session.stop, and they take turns at its one desktop.

set(PIX_HARNESS ${CMAKE_SOURCE_DIR}/scripts/lib/harness.sh)

# The tier whose tests this build tree runs: x86_64 trees run the Wine tests,
# i686 trees the i686 tier; a tree of the other kind builds the programs only.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(PIX_HARNESS_TIER wine)
else()
    set(PIX_HARNESS_TIER i686)
endif()

# pix_test_cases(OUT source...): the PIX_TEST names of the sources, in order.
function(pix_test_cases out)
    set(cases)
    foreach(source IN LISTS ARGN)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
        file(STRINGS ${source} lines REGEX "^PIX_TEST\\([A-Za-z0-9_]+\\)")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^PIX_TEST\\(([A-Za-z0-9_]+)\\).*" "\\1" case "${line}")
            list(APPEND cases ${case})
        endforeach()
    endforeach()
    set(${out} ${cases} PARENT_SCOPE)
endfunction()

# pix_harness_session(): the session tests of this tree's tier.
function(pix_harness_session)
    set(tier ${PIX_HARNESS_TIER})
    add_test(NAME ${tier}.session.start
        COMMAND bash ${PIX_HARNESS} start ${CMAKE_BINARY_DIR} --anchor $<TARGET_FILE:session_anchor>)
    add_test(NAME ${tier}.session.stop COMMAND bash ${PIX_HARNESS} stop ${CMAKE_BINARY_DIR})
    set_tests_properties(${tier}.session.start PROPERTIES
        FIXTURES_SETUP ${tier}_session RESOURCE_LOCK ${tier}_desktop SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS ${tier})
    set_tests_properties(${tier}.session.stop PROPERTIES
        FIXTURES_CLEANUP ${tier}_session RESOURCE_LOCK ${tier}_desktop TIMEOUT 120 LABELS ${tier})
endfunction()

# pix_harness_test(PROGRAM target TIER wine|i686
#                  [CASES case...]        the cases to run; all of the sources' by default
#                  [FILES VAR=path ...]   more files for the program, as Windows paths in VAR
#                  [WRAP command...]      a command that runs the harness (it gets "-- harness...")
#                  [TIMEOUT seconds]      the watchdog's limit per case (default 240)
#                  [LABELS label...]      labels besides the tier's
#                  [OUT variable])        receives the names of the tests registered
# In WRAP and FILES, @RUN@ stands for <program>.<case>. Nothing is registered
# when this tree does not run the tier.
function(pix_harness_test)
    cmake_parse_arguments(ARG "" "PROGRAM;TIER;TIMEOUT;OUT" "CASES;FILES;WRAP;LABELS" ${ARGN})
    if(ARG_OUT)
        set(${ARG_OUT} "" PARENT_SCOPE)
    endif()
    if(NOT ARG_TIER STREQUAL PIX_HARNESS_TIER)
        return()
    endif()
    set(derived FALSE)
    if(NOT ARG_CASES)
        set(derived TRUE)
        get_target_property(sources ${ARG_PROGRAM} SOURCES)
        get_target_property(folder ${ARG_PROGRAM} SOURCE_DIR)
        set(paths)
        foreach(source IN LISTS sources)
            get_filename_component(path ${source} ABSOLUTE BASE_DIR ${folder})
            list(APPEND paths ${path})
        endforeach()
        pix_test_cases(ARG_CASES ${paths})
        if(NOT ARG_CASES)
            message(FATAL_ERROR "${ARG_PROGRAM}: no PIX_TEST cases in its sources")
        endif()
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 240)
    endif()
    set(tier ${ARG_TIER})
    set(tests)
    foreach(case IN LISTS ARG_CASES)
        set(run ${ARG_PROGRAM}.${case})
        set(files
            --file PIX_EXE=$<TARGET_FILE:PixGen>
            --file PIX_QUELVANO=$<TARGET_FILE:Quelvano>
            --file PIX_QUELVANO_RECORDING=$<TARGET_FILE:QuelvanoRecording>)
        foreach(file IN LISTS ARG_FILES)
            string(REPLACE "@RUN@" "${run}" file "${file}")
            list(APPEND files --file ${file})
        endforeach()
        string(REPLACE "@RUN@" "${run}" wrap "${ARG_WRAP}")
        add_test(NAME ${tier}.${run}
            COMMAND ${wrap} bash ${PIX_HARNESS} run ${CMAKE_BINARY_DIR} --name ${run}
                    --anchor $<TARGET_FILE:session_anchor> --timeout ${ARG_TIMEOUT} ${files}
                    -- $<TARGET_FILE:${ARG_PROGRAM}> ${case})
        list(APPEND tests ${tier}.${run})
    endforeach()
    if(derived)
        # And nothing the program registers is left without a test.
        add_test(NAME ${tier}.${ARG_PROGRAM}.cases_registered
            COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/lib/check_cases.sh ${CMAKE_BINARY_DIR}
                    $<TARGET_FILE:${ARG_PROGRAM}> ${ARG_CASES})
        list(APPEND tests ${tier}.${ARG_PROGRAM}.cases_registered)
    endif()
    set(labels ${tier} ${ARG_LABELS})
    # The ctest limit lies beyond the watchdog's, so the watchdog's screenshot
    # and clean-up always come first.
    math(EXPR ctest_timeout "${ARG_TIMEOUT} + 120")
    set_tests_properties(${tests} PROPERTIES
        FIXTURES_REQUIRED ${tier}_session
        RESOURCE_LOCK ${tier}_desktop
        SKIP_RETURN_CODE 77
        TIMEOUT ${ctest_timeout}
        LABELS "${labels}")
    if(ARG_OUT)
        set(${ARG_OUT} ${tests} PARENT_SCOPE)
    endif()
endfunction()
