// File > Print… (a preview, then the printer) and File > Export PDF…: the commissioning sheet of
// what the editor holds, as a Write would send it.
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <algorithm>

#include "print/paper.h"
#include "print/sheet.h"
#include "print/sheet_painter.h"
#include "ui/main_window.h"

namespace orv::ui {

void MainWindow::BuildPrintMenu(QMenu* file) {
    file->addSeparator();
    QAction* print = file->addAction("&Print…");
    print->setObjectName("MenuFilePrint");
    print->setShortcut(QKeySequence("Ctrl+P"));
    connect(print, &QAction::triggered, this, &MainWindow::MenuFilePrint);
    QAction* pdf = file->addAction("Export P&DF…");
    pdf->setObjectName("MenuFileExportPdf");
    connect(pdf, &QAction::triggered, this, &MainWindow::MenuFileExportPdf);
}

print::SheetContent MainWindow::CommissioningSheet() {
    // The field being edited counts, as it does for Save.
    FinishFieldEditing();
    return print::MakeCommissioningSheet(rec_, moduleTypes_, CurrentFileName().toStdString(),
                                         print::PrintedNow());
}

void MainWindow::MenuFilePrint() {
    if (RefuseWhileExchanging("Not printed", "Choose File > Print")) return;
    const print::SheetContent sheet = CommissioningSheet();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(print::PaperForLocale(print::PaperLocale())),
                                      QPageLayout::Portrait,
                                      QMarginsF(print::kSheetMarginMm, print::kSheetMarginMm,
                                                print::kSheetMarginMm, print::kSheetMarginMm),
                                      QPageLayout::Millimeter));
    printer.setDocName(QString::fromStdString(sheet.title + " " + sheet.fileName));
    printer.setCreator(windowTitle());
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName("dlgPrintPreview");
    // Large enough to read a page without zooming first.
    if (const QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        preview.resize(std::min(room.width() * 3 / 4, 1000), room.height() * 9 / 10);
    }
    preview.setWindowTitle("Print Preview - " + QString::fromStdString(sheet.title));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&sheet](QPrinter* target) { print::PaintSheet(sheet, *target); });
    preview.exec();
}

void MainWindow::MenuFileExportPdf() {
    if (RefuseWhileExchanging("No PDF exported", "Choose File > Export PDF")) return;
    const print::SheetContent sheet = CommissioningSheet();
    const QString name = CurrentFileName();
    const QString suggested =
        (name.isEmpty() ? QString("Commissioning Sheet") : QFileInfo(name).completeBaseName()) +
        ".pdf";
    const FileDialogRequest request{"Export PDF", "PDF (*.pdf)", DialogFolder(), suggested, {}};
    const std::optional<QString> chosen = dialogs_->GetSaveFileName(this, request);
    if (!chosen || chosen->isEmpty()) return;
    const print::PdfResult r = print::WriteSheetPdf(sheet, chosen->toStdString(),
                                                    print::PaperForLocale(print::PaperLocale()));
    if (!r.ok) {
        ShowMessage(QString("The commissioning sheet was not exported.\n\n%1: %2.\n\nChoose "
                            "another folder or file name and try again.")
                        .arg(*chosen, QString::fromStdString(r.error)),
                    AppTitle(), MessageKind::kWarning);
        return;
    }
    Say(QString("Exported %1 (%2 %3)")
            .arg(QFileInfo(*chosen).fileName())
            .arg(r.pages)
            .arg(r.pages == 1 ? "page" : "pages"));
}

}  // namespace orv::ui
