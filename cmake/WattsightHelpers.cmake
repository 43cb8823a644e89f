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

# Precompiled headers, so that each file does not parse Qt's headers again. wattsight_app precompiles the
# Qt Core ones and every other logic library reuses them (same compiler flags and definitions); a library that
# uses more of Qt names its own list with PCH. Headers only: a file still includes what it uses, so the build
# without precompiled headers (-DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON) keeps working.
set(WATTSIGHT_CORE_PCH <QByteArray> <QDateTime> <QDir> <QFile> <QFileInfo> <QList> <QLocale> <QObject> <QString>
    <QStringList> <QTimer> <algorithm> <cmath> <functional> <memory> <optional> <vector>)
set(WATTSIGHT_WIDGETS_PCH ${WATTSIGHT_CORE_PCH} <QCheckBox> <QComboBox> <QDialog> <QDialogButtonBox> <QFormLayout>
    <QGridLayout> <QGroupBox> <QHBoxLayout> <QImage> <QLabel> <QLineEdit> <QPainter> <QPointer> <QPushButton>
    <QVBoxLayout> <QWidget>)

# A logic library: every .cpp of the folder, linking Qt6::Core plus the given libraries.
function(wattsight_add_library name)
    cmake_parse_arguments(ARG "" "" "LINK;PCH" ${ARGN})
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
    if(ARG_PCH)
        target_precompile_headers(${name} PRIVATE ${ARG_PCH})
    else()
        target_precompile_headers(${name} REUSE_FROM wattsight_app)
    endif()
endfunction()

# One GoogleTest executable per test folder; GUI tests (option GUI) get a QApplication, tests of pictures without
# widgets (option PICTURES) a QGuiApplication, and both run offscreen.
function(wattsight_add_test name)
    cmake_parse_arguments(ARG "GUI;PICTURES" "" "LINK" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_LINK} wattsight_testsupport GTest::gtest GTest::gmock)
    if(ARG_GUI)
        target_link_libraries(${name} PRIVATE wattsight_guitestmain)
    elseif(ARG_PICTURES)
        target_link_libraries(${name} PRIVATE wattsight_picturetestmain)
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
