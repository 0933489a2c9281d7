#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model/identity.h"

namespace orv::app {

void SetApplicationIdentity() {
    QCoreApplication::setApplicationName(
        QString::fromUtf8(kProgramTitle.data(), static_cast<qsizetype>(kProgramTitle.size())));
    QCoreApplication::setApplicationVersion(
        QString("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
}

bool AsksForHelpOrVersion(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) {
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[k], option) == 0) return true;
    }
    return false;
}

std::optional<QString> ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Edits the configuration of ORV Pro alarm-paging interface units, keeps it in .ORV files "
        "and reads and writes it over a serial line.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("FILE",
                                 "Configuration file (.ORV) to open once the window is up, as "
                                 "File > Open does.",
                                 "[FILE]");
    parser.process(arguments);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "orv-config: give at most one file to open (%lld were given).\n",
                     static_cast<long long>(files.size()));
        std::exit(EXIT_FAILURE);
    }
    if (files.isEmpty()) return std::nullopt;
    return QFileInfo(files.first()).absoluteFilePath();
}

}  // namespace orv::app
