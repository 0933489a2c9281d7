// Runs the UI tests under one QApplication on the offscreen platform, with the settings store and
// the history in temporary folders so tests never touch the user's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "../test_env.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // On Windows the settings store is the registry (of the test's own Wine prefix).
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QTemporaryDir data;
    qputenv(orv::kHistoryBaseVariable, QDir::toNativeSeparators(data.path()).toLocal8Bit());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
