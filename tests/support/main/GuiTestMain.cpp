// SPDX-License-Identifier: GPL-3.0-or-later
// main() of the test executables that need an application object with a display: widgets need a QApplication,
// pictures without widgets a QGuiApplication (built with WATTSIGHT_TEST_WITHOUT_WIDGETS). CTest runs them
// offscreen.
#ifdef WATTSIGHT_TEST_WITHOUT_WIDGETS
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
