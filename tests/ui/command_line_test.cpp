// orv-config's command line on a terminal without a display: a wrong command line is a usage
// error (status 2) with a usage line, --help and --version answer (status 0), and the toolkit's
// own options are no mistake; none of it needs a display.
#include <gtest/gtest.h>

#include <QProcess>

#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

TEST(CommandLineTest, AnsweredWithoutADisplay) {
    struct Row {
        QStringList arguments;
        int status;
        QString says;  // on standard error for status 2, standard output for 0
    };
    const Row rows[] = {
        {{"--bogus"}, 2, "orv-config: Unknown option 'bogus'.\nUsage: orv-config [FILE]\n"},
        {{"a.ORV", "b.ORV"}, 2, "orv-config: give at most one file to open (2 were given).\n"},
        {{"-platform"}, 2, "orv-config: Missing value after '-platform'.\n"},
        {{"--help"}, 0, "[FILE]"},
        {{"-style", "Fusion", "--version"}, 0, "ORV Pro Configuration 1."},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        QProcess editor;
        editor.setProcessEnvironment(env);
        editor.start(ORV_CONFIG_PATH, row.arguments);
        ASSERT_TRUE(editor.waitForFinished(20000));
        EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(editor.exitCode(), row.status);
        const QString out = QString::fromUtf8(editor.readAllStandardOutput());
        const QString err = QString::fromUtf8(editor.readAllStandardError());
        EXPECT_TRUE((row.status == 0 ? out : err).contains(row.says)) << (out + err).toStdString();
        if (row.status == 2) {
            EXPECT_TRUE(err.contains("Try 'orv-config --help'")) << err.toStdString();
        }
    }
}

}  // namespace
}  // namespace orv::ui::test
