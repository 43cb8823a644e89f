# SPDX-License-Identifier: GPL-3.0-or-later
function(wattsight_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
    if(WATTSIGHT_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

function(wattsight_sanitize target)
    if(WATTSIGHT_SANITIZE)
        # No recovery: undefined behaviour stops the program (and fails its test) instead of only printing.
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=undefined
                                                 -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# A logic library: every .cpp of the folder, linking Qt6::Core plus the given libraries.
function(wattsight_add_library name)
    cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc
         ${CMAKE_CURRENT_SOURCE_DIR}/*/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*/*.h)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    if(NOT sources)
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_LINK})
        return()
    endif()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc
         ${CMAKE_CURRENT_SOURCE_DIR}/*/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*/*.h)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
    wattsight_warnings(${name})
    wattsight_sanitize(${name})
endfunction()

# One GoogleTest executable per test folder; GUI tests (option GUI) get a QApplication and run offscreen.
function(wattsight_add_test name)
    cmake_parse_arguments(ARG "GUI" "" "LINK" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_LINK} wattsight_testsupport GTest::gtest GTest::gmock)
    if(ARG_GUI)
        target_link_libraries(${name} PRIVATE wattsight_guitestmain)
    else()
        target_link_libraries(${name} PRIVATE wattsight_testmain)
    endif()
    wattsight_warnings(${name})
    wattsight_sanitize(${name})
    gtest_discover_tests(${name}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        DISCOVERY_TIMEOUT 60
        DISCOVERY_MODE PRE_TEST)
endfunction()
