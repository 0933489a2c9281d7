// The Channel Table while an exchange with orv-unit-sim runs: the exchange's worker uses the
// record, so the table shows it as it was, takes no edit, paste or undo, and afterwards shows
// what the unit held with a fresh undo history.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>

#include "../link/sim_process.h"
#include "table_test_util.h"
#include "ui/link_controller.h"

namespace orv::ui::test {
namespace {

TEST(TableLinkTest, TheTableTakesNoEditsWhileAReadRunsAndThenShowsWhatWasRead) {
    ClearSettings();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string eeprom = dir.path().toStdString() + "/unit.eeprom";
    orv::test::SimProcess sim(
        ORV_UNIT_SIM_PATH,
        {"--modules", "15,14,0,0", "--baud", "115200", "--pace", "--eeprom", eeprom},
        dir.path().toStdString() + "/sim.log");
    TableHarness h({15, 14, 0, 0});
    ASSERT_TRUE(h.active);
    const std::string device = sim.Device();
    h.window->link()->setLookup([device](int) { return std::optional<std::string>(device); });
    h.combo("lstBaudPC")->setCurrentIndex(9);  // 115200
    h.find<QPushButton>("cmdConnect")->click();
    ASSERT_TRUE(h.window->IsConnected());
    // What the unit will give back: this configuration, written first.
    h.Select(Msg(0));
    h.table->PasteText("WRITTEN TO THE UNIT\n");
    h.find<QPushButton>("cmdPut")->click();
    ASSERT_TRUE(h.messages.empty()) << h.messages[0].text.toStdString();
    // Changed since, with a step to undo.
    h.Select(Msg(0));
    h.table->PasteText("CHANGED AFTERWARDS\n");
    ASSERT_EQ(h.window->record().txtMsg[0], "CHANGED AFTERWARDS");
    QUndoStack* stack = h.window->edits()->stack();
    const int steps = stack->count();

    auto* bar = h.find<QProgressBar>("pb100");
    bool tried = false;
    QString shownMeanwhile, pasteRefused, statusMeanwhile;
    bool editable = true, setDataTaken = true;
    int indexAfterUndo = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (tried || bar->isHidden() || bar->value() < 10) return;
        tried = true;
        h.view()->viewport()->grab();  // painted from what the record held when the Read began
        shownMeanwhile = h.Shown(Msg(0));
        editable = h.Cell(Msg(0)).flags().testFlag(Qt::ItemIsEditable);
        setDataTaken = h.proxy()->setData(h.Cell(Ric(0)), "77", Qt::EditRole);
        h.Select(Msg(1));
        pasteRefused = h.table->PasteText("NOT NOW\n").refusedBecause;
        h.table->action("TableUndo")->trigger();
        indexAfterUndo = stack->index();
        statusMeanwhile = h.table->StatusText();
    });
    poll.start(5);
    h.find<QPushButton>("cmdGet")->click();
    poll.stop();
    ASSERT_TRUE(tried);
    EXPECT_EQ(shownMeanwhile, "CHANGED AFTERWARDS");
    EXPECT_FALSE(editable);
    EXPECT_FALSE(setDataTaken);
    EXPECT_EQ(pasteRefused, "Paste not done: Read in progress. Try it again when it has ended.");
    EXPECT_EQ(statusMeanwhile,
              "Undo Paste 1 cell not done: Read in progress. Try it again when it "
              "has ended.");
    EXPECT_EQ(indexAfterUndo, steps);

    // The Read replaced the record: the table shows it, and the history starts afresh.
    EXPECT_TRUE(h.messages.empty()) << h.messages[0].text.toStdString();
    EXPECT_EQ(h.window->record().txtMsg[0], "WRITTEN TO THE UNIT");
    EXPECT_EQ(h.Shown(Msg(0)), "WRITTEN TO THE UNIT");
    EXPECT_EQ(h.window->record().txtRIC[0], "1000000");
    EXPECT_EQ(stack->count(), 0);
    EXPECT_TRUE(h.Cell(Msg(0)).flags().testFlag(Qt::ItemIsEditable));
    EXPECT_TRUE(h.table->StatusText().isEmpty());
}

}  // namespace
}  // namespace orv::ui::test
