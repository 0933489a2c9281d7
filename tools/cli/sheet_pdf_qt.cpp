#include <QCoreApplication>
#include <QGuiApplication>
#include <iostream>

#include "files/config_file.h"
#include "print/paper.h"
#include "print/sheet.h"
#include "print/sheet_painter.h"
#include "sheet_pdf.h"

namespace orv::cli {
namespace {

// Fonts need a Gui application; no window is ever shown, so no display is needed either.
bool EnsureGuiApplication() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return true;
    if (QCoreApplication::instance()) return false;
    // The platform's own notes (no runtime folder, no session) are not the user's concern; a
    // failure to draw or write is reported by the result.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::cerr << "orv-cli: " << text.toStdString() << '\n';
    });
    static int argc = 3;
    static char name[] = "orv-cli", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static QGuiApplication app(argc, argv);
    return true;
}

}  // namespace

bool WriteSheetPdfFile(const EditorState& state, const std::string& inPath,
                       const std::string& outPath, Paper paper) {
    if (!EnsureGuiApplication()) {
        PrintError("Cannot draw the PDF in this process.");
        return false;
    }
    const QPageSize::PageSizeId size = paper == Paper::kA4 ? QPageSize::A4
                                       : paper == Paper::kLetter
                                           ? QPageSize::Letter
                                           : print::PaperForLocale(print::PaperLocale());
    const print::SheetContent sheet = print::MakeCommissioningSheet(
        state.s.rec, state.s.moduleTypes, SplitFilePath(inPath).name, print::PrintedNow());
    const print::PdfResult r = print::WriteSheetPdf(sheet, outPath, size);
    if (!r.ok) {
        PrintError("Cannot write '" + outPath + "': " + r.error + ".");
        return false;
    }
    std::cout << "Wrote the commissioning sheet of '" << inPath << "' to '" << outPath
              << "': " << r.pages << (r.pages == 1 ? " page, " : " pages, ")
              << (size == QPageSize::Letter ? "Letter" : "A4") << ".\n"
              << std::flush;
    return true;
}

}  // namespace orv::cli
