// The Channel Table window over the main window's record: its rows and columns, edits in either
// window shown in the other, typing through the fields' key filters and leave checks, spreadsheet
// paste with refused cells named, Copy, Cut, Delete, Fill Down, Fill Series, Find & Replace, the
// channel table files, and one undo step for each.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QUndoStack>

#include "report/report.h"
#include "table_test_util.h"

namespace orv::ui::test {
namespace {

class ChannelTableTest : public ::testing::Test {
  protected:
    void SetUp() override { ClearSettings(); }

    // Types the keys into the table as the user does: the first opens the cell's editor, the
    // rest go where the focus then is.
    static void Type(TableHarness& h, const QString& keys) {
        h.view()->setFocus();
        for (QChar c : keys) QTest::keyClicks(QApplication::focusWidget(), QString(c));
    }
    // A key to the focus; what the table does with it queued (Enter's commit) is done too.
    static void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, mods);
        QApplication::processEvents();
    }
};

TEST_F(ChannelTableTest, CtrlTOpensOneRowPerShownStateAndRelayAction) {
    TableHarness h({15, 13, 14, 0});
    ASSERT_NE(h.table, nullptr);
    EXPECT_TRUE(h.table->isVisible());
    EXPECT_TRUE(h.active);
    EXPECT_EQ(h.model().rowCount(), 64 + 32 + 24);
    struct RowCase {
        int row;
        QStringList cells;  // Bank, Channel, State, RIC, Last RIC, Beep
    } rows[] = {
        {0, {"1", "1", "RESET: Reset - Trigger when voltage absent", "1000000", "", "A"}},
        {2, {"1", "1", "FAST: Fast - Trigger when fast pulse applied", "1000000", "", "C"}},
        {64, {"2", "1", "RESET: Normally Closed - Trigger on open", "1000016", "", "A"}},
        {65, {"2", "1", "STEADY: Normally Open - Trigger on close", "1000016", "", "D"}},
        {96, {"3", "1", "Close", "2000017", "2000017", "A"}},
        {97, {"3", "1", "Open", "2000017", "2000017", "B"}},
        {119, {"3", "8", "Toggle", "2000024", "2000024", "C"}},
    };
    for (const RowCase& r : rows)
        for (int c = 0; c < r.cells.size(); ++c)
            EXPECT_EQ(h.model().index(r.row, c).data().toString(), r.cells[c])
                << "row " << r.row << " column " << c;
    EXPECT_EQ(h.model().ColumnName(kColumnChannel), "Channel / Relay");

    // A relay bank alone: its columns, named as the relay pages name them.
    h.table->SetBankFilter(2);
    EXPECT_EQ(h.proxy()->rowCount(), 24);
    EXPECT_EQ(h.model().ColumnName(kColumnRic), "First RIC");
    for (int c : {kColumnType, kColumnBaud, kColumnRepeat, kColumnMessage})
        EXPECT_TRUE(h.view()->isColumnHidden(c)) << c;
    EXPECT_FALSE(h.view()->isColumnHidden(kColumnSeconds));
    h.table->SetBankFilter(0);
    EXPECT_EQ(h.proxy()->rowCount(), 64);
    EXPECT_EQ(h.model().ColumnName(kColumnRic), "RIC");
    EXPECT_TRUE(h.view()->isColumnHidden(kColumnLastRic));
    h.table->SetBankFilter(-1);
    h.table->SetTextFilter("chan 3 steady");
    EXPECT_EQ(h.proxy()->rowCount(), 2);
    h.table->SetTextFilter("");

    // Sorted by RIC, largest first: the relays of bank 3.
    h.view()->sortByColumn(kColumnRic, Qt::DescendingOrder);
    EXPECT_EQ(h.proxy()->index(0, kColumnRic).data().toString(), "2000024");
    h.view()->sortByColumn(kColumnBank, Qt::AscendingOrder);
    EXPECT_EQ(h.proxy()->index(0, kColumnRic).data().toString(), "1000000");

    // The rows follow the module types, and so does undoing their change.
    h.combo("lstMod_3")->setCurrentIndex(13);
    EXPECT_EQ(h.model().rowCount(), 120 + 32);
    h.window->action("MenuEditUndo")->trigger();
    EXPECT_EQ(h.model().rowCount(), 120);
}

TEST_F(ChannelTableTest, EditsInEitherWindowShowInTheOther) {
    TableHarness h({15, 0, 14, 0});
    h.edit("txtMsg_5")->setText("PUMP FAIL");
    EXPECT_EQ(h.Shown(Msg(5)), "PUMP FAIL");
    h.combo("lstType_5")->setCurrentIndex(1);
    EXPECT_EQ(h.Cell(Msg(5)).siblingAtColumn(kColumnType).data().toString(), "Num.");

    EXPECT_TRUE(h.proxy()->setData(h.Cell(Ric(6)), "42", Qt::EditRole));
    EXPECT_EQ(h.edit("txtRIC_6")->text(), "0000042");
    EXPECT_EQ(h.window->record().txtRIC[6], "0000042");
    EXPECT_EQ(h.UndoText(), "Undo Edit Bank 1 channel 2 FAST RIC");
    EXPECT_TRUE(h.proxy()->setData(h.Cell(RelayRic(RelayRicIndex(16, kSlotCloseTMax))), "30",
                                   Qt::EditRole));
    EXPECT_EQ(h.edit("txtRlyRIC_131")->text(), "0000030");
    EXPECT_EQ(h.UndoText(), "Undo Edit Bank 3 relay 1 TMax");
    h.window->action("MenuEditUndo")->trigger();
    h.window->action("MenuEditUndo")->trigger();
    EXPECT_EQ(h.edit("txtRIC_6")->text(), "1000001");
    EXPECT_EQ(h.Shown(Ric(6)), "1000001");
}

struct Typing {
    const char* what;
    FieldRef cell;
    const char* keys;
    const char* shown;      // what the cell and the record hold afterwards
    const char* refusedBy;  // a text of the cell's tool-tip when refused
};

TEST_F(ChannelTableTest, TypedCellsPassTheFieldsKeyFilterAndLeaveCheck) {
    TableHarness h({15, 0, 14, 0});
    const Typing cases[] = {
        {"digits only, seven at least", Ric(0), "12a-3", "0000123", nullptr},
        {"a reserved RIC keeps the old value", Ric(4), "2007664", "1000001",
         "2007664 may not be a valid RIC. Valid RICs are in the range 0-2097151"},
        {"beyond the range", Ric(8), "2097152", "1000002", "2097152 may not be a valid RIC"},
        {"a typed key replaces the message", Msg(1), "Door open!", "Door open!", nullptr},
        {"the relay's Repeat Filter is checked as a RIC", RelayRic(RelayRicIndex(16, 7)), "45",
         "0000045", nullptr},
    };
    for (const Typing& t : cases) {
        SCOPED_TRACE(t.what);
        h.Select(t.cell);
        Type(h, t.keys);
        Press(Qt::Key_Return);
        EXPECT_EQ(h.Shown(t.cell), t.shown);
        EXPECT_EQ(FromRecord(std::get<std::string>(GetFieldValue(h.window->record(), t.cell))),
                  t.shown);
        const auto at = *h.model().CellOf(t.cell);
        if (t.refusedBy) {
            EXPECT_TRUE(h.model().IsRefusedMark(at.first, at.second));
            EXPECT_TRUE(h.Cell(t.cell).data(Qt::ToolTipRole).toString().contains(t.refusedBy));
            EXPECT_TRUE(h.table->StatusText().contains(t.refusedBy));
        } else {
            EXPECT_FALSE(h.model().Mark(at.first, at.second).has_value());
        }
        // Enter moved down a row, in the same column.
        EXPECT_EQ(h.view()->currentIndex().row(), h.Cell(t.cell).row() + 1);
        EXPECT_EQ(h.view()->currentIndex().column(), h.Cell(t.cell).column());
    }
    // A refused cell loses its mark once a value is taken.
    h.Select(Ric(4));
    Type(h, "77");
    Press(Qt::Key_Tab);
    EXPECT_EQ(h.Shown(Ric(4)), "0000077");
    EXPECT_FALSE(h.model().Mark(h.model().CellOf(Ric(4))->first, kColumnRic).has_value());
    // Tab moved right to the beep, over the relays' last RIC, which an input row has not.
    EXPECT_FALSE(h.view()->isColumnHidden(kColumnLastRic));
    EXPECT_EQ(h.view()->currentIndex().column(), kColumnBeep);
    // A choice takes the item its letter names.
    Type(h, "d");
    Press(Qt::Key_Return);
    EXPECT_EQ(h.window->record().lstFunc[4], 3);
    EXPECT_EQ(h.UndoText(), "Undo Change Bank 1 channel 2 RESET beep");
}

TEST_F(ChannelTableTest, ASpreadsheetPasteLandsInTheRecordWithRefusedCellsNamed) {
    TableHarness h({15, 13, 0, 0});
    const ConfigRecord before = h.window->record();
    // Six columns of four rows as LibreOffice or Excel copy them: tabs, CR LF, quotes around a
    // cell holding a quote, a trailing line end.
    const QString clip = QString(
        "2000\tb\tNum.\t1200\tc\t\"SAY \"\"HI\"\"\"\r\n"
        "2097152\tA\tAlpha\t512\tA\tPUMP\r\n"
        "3000\tE\tAlpha\t512\tA\tCaf\u00e9 open\r\n"
        "4000\tD\tnumeric\t2400\td\t FIRE  EAST \r\n");
    h.Select(Ric(0));
    const auto report = h.table->PasteText(clip);
    ConfigRecord& rec = h.window->record();
    struct Expect {
        int i;
        const char* ric;
        int func, type, baud, repeat;
        const char* msg;
    } rows[] = {
        {0, "0002000", 1, 1, 1, 2, "SAY \"HI\""},
        {1, "1000000", 0, 0, 0, 0, "PUMP"},       // the RIC refused, the rest taken
        {2, "0003000", 2, 0, 0, 0, "Cafe open"},  // the beep refused
        {3, "0004000", 3, 1, 2, 3, "FIRE EAST"},
    };
    for (const Expect& e : rows) {
        SCOPED_TRACE(e.i);
        EXPECT_EQ(rec.txtRIC[e.i], e.ric);
        EXPECT_EQ(rec.lstFunc[e.i], e.func);
        EXPECT_EQ(rec.lstType[e.i], e.type);
        EXPECT_EQ(rec.lstBaud[e.i], e.baud);
        EXPECT_EQ(rec.lstRepeat[e.i], e.repeat);
        EXPECT_EQ(rec.txtMsg[e.i], e.msg);
        EXPECT_EQ(h.edit(QString("txtMsg_%1").arg(e.i))->text(), e.msg);  // the pages show it
    }
    EXPECT_EQ(report.taken, 22);
    ASSERT_EQ(report.refused.size(), 2u);
    EXPECT_TRUE(
        report.refused[0].startsWith("Bank 1 channel 1 SLOW RIC: 2097152 may not be a valid RIC."));
    EXPECT_EQ(report.refused[1], "Bank 1 channel 1 FAST beep: 'E' is not a beep: use A, B, C or D");
    ASSERT_EQ(report.converted.size(), 2u);
    EXPECT_TRUE(report.converted[0].startsWith("Bank 1 channel 1 FAST message: "));
    EXPECT_TRUE(report.converted[1].startsWith("Bank 1 channel 1 STEADY message: "));
    // The user is told, by row.
    ASSERT_EQ(h.messages.size(), 1u);
    const QString& told = h.messages[0].text;
    EXPECT_TRUE(told.startsWith("Pasted 22 of 24 cells; 2 refused")) << told.toStdString();
    EXPECT_TRUE(
        told.contains("Refused, by row (these cells keep their values):\n- Bank 1 "
                      "channel 1 SLOW RIC: 2097152 may not"));
    EXPECT_TRUE(told.contains("- Bank 1 channel 1 FAST beep: 'E' is not a beep"));
    EXPECT_EQ(h.messages[0].kind, MessageKind::kWarning);
    EXPECT_TRUE(h.table->StatusText().startsWith("Pasted 22 of 24 cells; 2 refused"));

    // One step, named; Ctrl+Z in the table takes all of it back, Ctrl+Y puts it again.
    EXPECT_EQ(h.UndoText(), "Undo Paste 22 cells");
    EXPECT_EQ(h.table->action("TableUndo")->text(), "Undo Paste 22 cells");
    const ConfigRecord pasted = rec;
    h.view()->setFocus();
    Press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rec, before);
    EXPECT_EQ(h.edit("txtMsg_0")->text(), "BANK 1 CHAN 1 RESET");
    Press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(rec, pasted);
}

TEST_F(ChannelTableTest, AColumnPastedPastTheLastRowSaysWhatWasLeftOut) {
    TableHarness h({0, 13, 0, 0});  // 32 rows
    QString column;
    for (int k = 0; k < 40; ++k) column += QString::number(500 + k) + "\n";
    column += "\n\n";  // blank lines at the end are no rows
    h.Select(Ric(64));
    const auto report = h.table->PasteText(column);
    EXPECT_EQ(report.taken, 32);
    EXPECT_EQ(h.window->record().txtRIC[64], "0000500");  // bank 2 channel 1 RESET
    EXPECT_EQ(h.window->record().txtRIC[67], "0000501");  // channel 1 STEADY (no SLOW, FAST)
    EXPECT_EQ(h.window->record().txtRIC[127], "0000531");
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_TRUE(h.messages[0].text.contains(
        "8 rows of the clipboard lie below the last row shown and were not pasted."));
}

TEST_F(ChannelTableTest, CopyGivesSpreadsheetTextThatPastesBack) {
    TableHarness h({15, 0, 14, 0});
    h.window->record().txtMsg[1] = "A\tB";  // a tab needs quotes
    h.window->RefreshFields();
    h.SelectRange(Ric(0), Msg(1));
    const QString text = h.table->SelectedText();
    // Lines end as the platform's spreadsheets end them.
#ifdef _WIN32
    const QString end = "\r\n";
#else
    const QString end = "\n";
#endif
    EXPECT_EQ(text, "1000000\tA\tAlpha\t512\tA\tBANK 1 CHAN 1 RESET" + end +
                        "1000000\tB\tAlpha\t512\tB\t\"A\tB\"" + end);
    h.view()->setFocus();
    Press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
    h.Select(Ric(8));
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(h.window->record().txtMsg[9], "A\tB");
    EXPECT_EQ(h.window->record().lstFunc[9], 1);
    EXPECT_EQ(h.window->record().txtRIC[8], "1000000");
    EXPECT_EQ(h.UndoText(), "Undo Paste 12 cells");
    EXPECT_TRUE(h.messages.empty());
}

TEST_F(ChannelTableTest, FillDownFillSeriesDeleteAndCutAreOneStepEach) {
    TableHarness h({15, 0, 14, 0});
    ConfigRecord& rec = h.window->record();
    QUndoStack* stack = h.window->edits()->stack();

    ASSERT_TRUE(h.proxy()->setData(h.Cell(Ric(0)), "555", Qt::EditRole));
    h.SelectRange(Ric(0), Ric(3));
    h.view()->setFocus();
    Press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(rec.txtRIC[3], "0000555");
    EXPECT_EQ(h.UndoText(), "Undo Fill Down 3 cells");

    // A series through a reserved range: those RICs are refused and named, the rest taken.
    h.SelectRange(Ric(0), Ric(15));
    auto report = h.table->FillSeries(2007660, 1);
    EXPECT_EQ(rec.txtRIC[0], "2007660");
    EXPECT_EQ(rec.txtRIC[3], "2007663");
    EXPECT_EQ(rec.txtRIC[12], "2007672");
    EXPECT_EQ(rec.txtRIC[15], "2007675");
    EXPECT_EQ(report.refused.size(), 8u);
    EXPECT_TRUE(report.refused[0].startsWith("Bank 1 channel 2 RESET RIC: 2007664 may not"));
    EXPECT_EQ(rec.txtRIC[4], "1000001");
    EXPECT_EQ(h.UndoText(), "Undo Fill Series 8 RICs");

    // Delete: texts are cleared as their fields are when emptied; lists keep their item.
    h.SelectRange(Ric(20), Msg(21));
    h.view()->setFocus();
    Press(Qt::Key_Delete);
    EXPECT_EQ(rec.txtRIC[20], "0000000");
    EXPECT_EQ(rec.txtMsg[21], "");
    EXPECT_EQ(rec.lstFunc[21], 1);
    EXPECT_EQ(h.UndoText(), "Undo Delete 4 cells");

    // Ctrl+X here cuts; the main window's Ctrl+X (Exit) is not reached.
    h.SelectRange(Msg(30), Msg(31));
    const std::string cut = rec.txtMsg[30];
    Press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(rec.txtMsg[30], "");
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(QString::fromStdString(cut)));
    EXPECT_EQ(h.UndoText(), "Undo Cut 2 cells");
    EXPECT_TRUE(h.window->isVisible());
    // Ctrl+A selects every cell shown.
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(h.view()->selectionModel()->selectedIndexes().size(),
              h.proxy()->rowCount() * h.proxy()->columnCount());

    const int steps = stack->count();
    for (int k = 0; k < steps; ++k) h.window->edits()->Undo();
    EXPECT_EQ(rec.txtRIC[0], "1000000");
    EXPECT_EQ(rec.txtMsg[30], cut);
}

TEST_F(ChannelTableTest, FindAndReplaceInMessagesIsOneStep) {
    TableHarness h({15, 13, 0, 0});
    ConfigRecord& rec = h.window->record();
    rec.txtMsg[0] = std::string(60, 'X') + " CHAN";
    h.window->RefreshFields();
    EXPECT_TRUE(h.table->FindNext("chan 2 fast", Qt::CaseInsensitive));
    EXPECT_EQ(h.view()->currentIndex(), h.Cell(Msg(6)));
    EXPECT_FALSE(h.table->FindNext("chan 2 fast", Qt::CaseSensitive));

    const auto report = h.table->ReplaceAll("CHAN", "CHANNEL", Qt::CaseSensitive, false);
    EXPECT_EQ(report.taken, 96);
    EXPECT_EQ(rec.txtMsg[1], "BANK 1 CHANNEL 1 SLOW");
    EXPECT_EQ(rec.txtMsg[127], "BANK 2 CHANNEL 16 STEADY");
    EXPECT_EQ(rec.txtMsg[0], std::string(60, 'X') + " CHANNEL");
    EXPECT_EQ(report.converted.size(), 0u);
    EXPECT_EQ(h.UndoText(), "Undo Replace in 96 messages");

    // Too long for the unit: cut at 69 characters, and said.
    rec.txtMsg[2] = std::string(62, 'Y') + " CHANNEL";
    h.window->RefreshFields();
    const auto cut = h.table->ReplaceAll("CHANNEL", "CHANNELS", Qt::CaseSensitive, false);
    ASSERT_EQ(cut.converted.size(), 1u);
    EXPECT_TRUE(cut.converted[0].startsWith("Bank 1 channel 1 FAST message: "));
    EXPECT_TRUE(cut.converted[0].contains("69")) << cut.converted[0].toStdString();
    EXPECT_EQ(rec.txtMsg[2].size(), 69u);
    h.window->edits()->Undo();
    EXPECT_EQ(rec.txtMsg[2], std::string(62, 'Y') + " CHANNEL");
    EXPECT_EQ(rec.txtMsg[1], "BANK 1 CHANNEL 1 SLOW");

    // The main window's Find & Replace opens the dialog over the table.
    h.window->action("MenuEditFindReplace")->trigger();
    EXPECT_TRUE(h.table->findReplaceDialog()->isVisible());
}

TEST_F(ChannelTableTest, ChannelTableFilesImportAsOneStepWithTheSameChecks) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TableHarness h({15, 0, 14, 0});
    auto d = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& dialogs = *d;
    h.window->setFileDialogProvider(std::move(d));
    ConfigRecord& rec = h.window->record();

    dialogs.saveAnswer = dir.path() + "/site.csv";
    h.window->action("MenuFileExportTable")->trigger();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, "Export Channel Table");
    EXPECT_EQ(dialogs.saveRequests[0].fileName, "channels.csv");
    QFile exported(dir.path() + "/site.csv");
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    const QByteArray table = exported.readAll();
    EXPECT_EQ(table.toStdString(), ExportChannelTable(rec, h.window->moduleTypes()));

    struct Case {
        const char* name;
        QByteArray row;  // replaces the first data row
        bool applied;
        const char* said;
    } cases[] = {
        {"good.csv", "1,1,RESET,777,,B,Num.,1200,C,,FIRE\r\n", true,
         "Applied good.csv: 64 + 24 rows"},
        {"bad.csv", "1,1,RESET,2097152,,B,Num.,1200,C,,FIRE\r\n", false,
         "row 2, column RIC, value '2097152': RIC out of range"},
        {"relay.csv", "1,1,Close,1,,A,,,,,\r\n", false, "bank 1 holds an input module"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray text = table;
        const int first = text.indexOf("\r\n") + 2;
        text.replace(first, text.indexOf("\r\n", first) + 2 - first, c.row);
        QFile f(dir.path() + "/" + c.name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        const ConfigRecord before = rec;
        const int steps = h.window->edits()->stack()->count();
        h.messages.clear();
        dialogs.openAnswer = f.fileName();
        h.window->action("MenuFileImportTable")->trigger();
        ASSERT_EQ(h.messages.size(), 1u);
        if (c.applied) {
            EXPECT_TRUE(
                h.messages[0].text.startsWith("Applied good.csv: 88 rows, 6 values "
                                              "changed."))
                << h.messages[0].text.toStdString();
            EXPECT_EQ(rec.txtRIC[0], "0000777");
            EXPECT_EQ(rec.txtMsg[0], "FIRE");
            EXPECT_EQ(h.edit("txtMsg_0")->text(), "FIRE");
            EXPECT_EQ(h.Shown(Msg(0)), "FIRE");
            EXPECT_EQ(h.UndoText(), "Undo Import Channel Table good.csv");
            h.window->action("MenuEditUndo")->trigger();
            EXPECT_EQ(rec, before);
        } else {
            EXPECT_TRUE(h.messages[0].text.contains(c.said)) << h.messages[0].text.toStdString();
            EXPECT_TRUE(h.messages[0].text.contains("was refused and the editor was not changed"));
            EXPECT_EQ(rec, before);
            EXPECT_EQ(h.window->edits()->stack()->count(), steps);
        }
    }
}

TEST_F(ChannelTableTest, CtrlAIsSaveAsOnTheMainWindowAndSelectAllInTheTable) {
    TableHarness h({15, 0, 0, 0});
    auto d = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& dialogs = *d;
    h.window->setFileDialogProvider(std::move(d));
    h.view()->setFocus();
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.saveRequests.empty());
    EXPECT_EQ(h.view()->selectionModel()->selectedIndexes().size(),
              h.proxy()->rowCount() * h.proxy()->columnCount());
    EXPECT_EQ(h.table->SelectedText().count('\n'), 64);
    QApplication::setActiveWindow(h.window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(h.window.get()));
    QTest::keyClick(h.window.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(dialogs.saveRequests.size(), 1u);
}

}  // namespace
}  // namespace orv::ui::test
