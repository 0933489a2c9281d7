#include "app/command_line.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

#include "app/console.h"
#include "model/identity.h"

namespace orv::app {
namespace {

constexpr int kUsageError = 2;

// The options the toolkit takes for itself when the window's application starts. They are
// parsed here only so that they are not taken for a mistake or a file.
void LetToolkitOptionsThrough(QCommandLineParser& parser) {
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
          "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style", "stylesheet",
          "qmljsdebugger", "dialogs", "fontengine"}) {
        QCommandLineOption option(name, QString(), "value");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

[[noreturn]] void UsageError(const QString& why) {
    ReportUsageError("orv-config: " + why.toStdString() +
                     "\nUsage: orv-config [FILE]\nTry 'orv-config --help' for more information.\n");
    std::exit(kUsageError);
}

// "/?" asks a Windows program for its help; no configuration file has that name.
QStringList WithHelpAsked(QStringList arguments) {
    for (qsizetype k = 1; k < arguments.size() && arguments[k] != "--"; ++k)
        if (arguments[k] == "/?") arguments[k] = "--help";
    return arguments;
}

}  // namespace

void SetApplicationIcon() {
    // Drawn from the program's SVG icon at build time (app/CMakeLists.txt).
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString file = QString(":/icons/orv-config-%1.png").arg(size);
        if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
    }
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
}

void SetApplicationIdentity() {
    QCoreApplication::setApplicationName(
        QString::fromUtf8(kProgramTitle.data(), static_cast<qsizetype>(kProgramTitle.size())));
    QCoreApplication::setApplicationVersion(
        QString("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
}

std::optional<QString> ParseCommandLine(const QStringList& givenArguments) {
    const QStringList arguments = WithHelpAsked(givenArguments);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Edits the configuration of ORV Pro alarm-paging interface units, keeps it in .ORV files "
        "and reads and writes it over a serial line.");
    // -platform is one option, as the toolkit reads it, not eight letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("FILE",
                                 "Configuration file (.ORV) to open once the window is up, as "
                                 "File > Open does.",
                                 "[FILE]");
    LetToolkitOptionsThrough(parser);
    if (!parser.parse(arguments)) UsageError(parser.errorText());
    PrintHelpOrVersion(parser);  // where a window program's parser would answer in a box
    parser.process(arguments);   // --help, --help-all and --version print and end here (status 0)
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        UsageError(QString("give at most one file to open (%1 were given).").arg(files.size()));
    if (files.isEmpty()) return std::nullopt;
    return QFileInfo(files.first()).absoluteFilePath();
}

}  // namespace orv::app
