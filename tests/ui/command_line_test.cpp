// orv-config's command line on a terminal without a display: a wrong command line is a usage
// error (status 2), --help and --version answer (status 0), the toolkit's own options pass.
#include <gtest/gtest.h>

#include <QProcess>

#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

TEST(CommandLineTest, AnsweredWithoutADisplay) {
    const std::tuple<QStringList, int, QString> rows[] = {
        {{"--bogus"}, 2, "orv-config: Unknown option 'bogus'.\nUsage: orv-config [FILE]\nTry "},
        {{"a.ORV", "b.ORV"}, 2, "orv-config: give at most one file to open (2 were given).\n"},
        {{"--help"}, 0, "[FILE]"},
        {{"/?"}, 0, "Configuration file (.ORV) to open once the window is up"},
        {{"-style", "Fusion", "--version"}, 0, "ORV Pro Configuration 1."},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    for (const auto& [arguments, status, says] : rows) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        QProcess editor;
        editor.setProcessEnvironment(env);
        editor.start(ORV_CONFIG_PATH, arguments);
        ASSERT_TRUE(editor.waitForFinished(20000));
        EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(editor.exitCode(), status);
        // Windows ends the lines in CR LF.
        const QString out = QString(editor.readAll() + editor.readAllStandardError()).remove('\r');
        EXPECT_TRUE(out.contains(says)) << out.toStdString();
    }
}

}  // namespace
}  // namespace orv::ui::test
