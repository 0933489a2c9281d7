// File > Print… and File > Export PDF…: their place in the File menu, the PDF of what the window
// holds (read back with pdftotext), a PDF that cannot be written, and the print preview's pages.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>

#include "../print/pdf_text.h"
#include "print/paper.h"
#include "print/sheet_painter.h"
#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

class PrintMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        ASSERT_TRUE(dir.isValid());
        h = std::make_unique<Harness>();
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        h->window->setFileDialogProvider(std::move(d));
    }
    QString Path(const char* name) const { return dir.path() + "/" + name; }

    QTemporaryDir dir;
    std::unique_ptr<Harness> h;
    ScriptedDialogs* dialogs = nullptr;
};

TEST_F(PrintMenuTest, PrintAndExportPdfStandInAGroupAfterSaveAs) {
    auto* file = h->find<QMenu>("mnuFile");
    ASSERT_NE(file, nullptr);
    QStringList entries;
    for (QAction* a : file->actions()) entries << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(entries, (QStringList{"&New", "&Open", "&Save", "Save &As", "-",
                                    "&Import Channel Table…", "Expor&t Channel Table…", "-",
                                    "&Print…", "Export P&DF…", "-", "&Clear Form", "-", "E&xit"}));
    EXPECT_EQ(h->window->action("MenuFilePrint")->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_TRUE(h->window->action("MenuFileExportPdf")->shortcut().isEmpty());
    // No two entries of the window answer the same keys.
    QList<QKeySequence> keys;
    for (QAction* a : h->window->findChildren<QAction*>()) {
        if (a->shortcut().isEmpty()) continue;
        EXPECT_FALSE(keys.contains(a->shortcut())) << a->shortcut().toString().toStdString();
        keys << a->shortcut();
    }
}

TEST_F(PrintMenuTest, ExportPdfWritesTheSheetOfWhatTheWindowHolds) {
    MainWindow& w = *h->window;
    h->combo("lstMod_0")->setCurrentIndex(13);
    h->combo("lstMod_1")->setCurrentIndex(14);
    h->edit("txtMsg_0")->setText("NORTH GATE FORCED");
    h->edit("txtRIC_0")->setText("0765432");
    h->edit("txtRlyRIC_64")->setText("0004711");

    // Untitled: the dialog offers a name of its own; cancelling writes nothing.
    dialogs->saveAnswer.reset();
    w.action("MenuFileExportPdf")->trigger();
    ASSERT_EQ(dialogs->saveRequests.size(), 1u);
    EXPECT_EQ(dialogs->saveRequests[0].title, "Export PDF");
    EXPECT_EQ(dialogs->saveRequests[0].filter, "PDF (*.pdf)");
    EXPECT_EQ(dialogs->saveRequests[0].fileName, "Commissioning Sheet.pdf");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    // Saved as site.ORV: the PDF is offered as site.pdf and names the file.
    dialogs->saveAnswer = Path("site.ORV");
    w.action("MenuFileSaveAs")->trigger();
    dialogs->saveAnswer = Path("site.pdf");
    w.action("MenuFileExportPdf")->trigger();
    ASSERT_EQ(dialogs->saveRequests.size(), 3u);
    EXPECT_EQ(dialogs->saveRequests[2].fileName, "site.pdf");
    EXPECT_EQ(dialogs->saveRequests[2].directory, dir.path() + "/");
    EXPECT_TRUE(h->messages.empty()) << h->messages.front().text.toStdString();
    QFile pdf(Path("site.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF-"));
    // The tip keeps the session's lines; the newest is the export's.
    const QString status = h->find<QLabel>("lblUnitCheck")->toolTip().split('\n').last();
    EXPECT_TRUE(status.startsWith("Exported site.pdf (")) << status.toStdString();
#ifndef _WIN32
    const std::string text = orv::test::PdfText(Path("site.pdf").toStdString());
    for (const char* part : {"site.ORV", "NORTH GATE FORCED", "0765432", "0004711",
                             "Type 13: 16-Channel Dry Contact Input Module",
                             "Type 14: 8-Channel Relay Output Module", "Normally Closed"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
#endif
}

TEST_F(PrintMenuTest, APdfThatCannotBeWrittenIsSaid) {
    dialogs->saveAnswer = Path("no such folder/sheet.pdf");
    h->window->action("MenuFileExportPdf")->trigger();
    ASSERT_EQ(h->messages.size(), 1u);
    EXPECT_TRUE(h->messages[0].text.startsWith("The commissioning sheet was not exported."))
        << h->messages[0].text.toStdString();
    EXPECT_TRUE(h->messages[0].text.contains(Path("no such folder/sheet.pdf")))
        << h->messages[0].text.toStdString();
    EXPECT_EQ(h->messages[0].kind, MessageKind::kWarning);
}

// The preview shows the sheet's pages on the paper of the locale; closing it prints nothing.
TEST_F(PrintMenuTest, PrintShowsAPreviewOfTheSheet) {
    MainWindow& w = *h->window;
    for (const char* bank : {"lstMod_0", "lstMod_1", "lstMod_2", "lstMod_3"})
        h->combo(bank)->setCurrentIndex(15);
    const int expected = print::CountSheetPages(
        print::MakeCommissioningSheet(w.record(), w.moduleTypes(), "", "now"),
        print::PaperForLocale(print::PaperLocale()));
    int pages = -1;
    QPageSize::PageSizeId paper = QPageSize::Custom;
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        if (!preview || preview->pageCount() == 0) return;
        seen = true;
        pages = preview->pageCount();
        paper = dialog->printer()->pageLayout().pageSize().id();
        dialog->reject();
    });
    poll.start(50);
    QTimer::singleShot(20000, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    w.action("MenuFilePrint")->trigger();
    poll.stop();
    ASSERT_TRUE(seen) << "no print preview came up";
    EXPECT_EQ(pages, expected);
    EXPECT_GE(pages, 4);
    EXPECT_EQ(paper, print::PaperForLocale(print::PaperLocale()));
}

}  // namespace
}  // namespace orv::ui::test
