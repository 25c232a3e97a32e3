// SPDX-License-Identifier: Apache-2.0
// Test entry for the Qt test programs: an offscreen application, then GoogleTest.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // CTest runs the discovered tests without the test's environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
