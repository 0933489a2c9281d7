// Undo and Redo in the main window: each committed edit is one named step, Ctrl+Z undoes typing
// in the field first and the last step otherwise, an undone edit is not saved, and a new
// configuration starts a fresh history.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include "files/config_file.h"
#include "ui/record_edits.h"
#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

class UndoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        h = std::make_unique<Harness>();
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        h->window->setFileDialogProvider(std::move(d));
        h->window->moduleTypes() = {15, 14, 0, 0};
        h->window->ApplyModuleTypes();
        h->window->show();
        QApplication::setActiveWindow(h->window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(h->window.get()));
    }
    void TearDown() override { h->window->hide(); }

    QLineEdit* Focus(const QString& name, int page) {
        h->find<QTabWidget>("SSTab1")->setCurrentIndex(page);
        QLineEdit* e = h->edit(name);
        e->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        return e;
    }
    void CtrlZ() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier); }
    void CtrlY() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Y, Qt::ControlModifier); }
    QString UndoText() const { return h->window->action("MenuEditUndo")->text(); }
    QUndoStack* stack() const { return h->window->edits()->stack(); }

    std::unique_ptr<Harness> h;
    ScriptedDialogs* dialogs = nullptr;
    QTemporaryDir dir;
};

TEST_F(UndoTest, AnEditUndoneWithCtrlZIsNotSaved) {
    QLineEdit* ric = Focus("txtRIC_4", 2);
    const QString before = ric->text();
    ric->selectAll();
    QTest::keyClicks(ric, "4242");
    QTest::keyClick(ric, Qt::Key_Tab);  // leaving commits the edit
    EXPECT_EQ(ric->text(), "0004242");
    EXPECT_EQ(UndoText(), "Undo Edit Bank 1 channel 2 RESET RIC");
    // The focus is in the next field now, which has nothing typed: Ctrl+Z is the window's.
    CtrlZ();
    EXPECT_EQ(ric->text(), before);
    EXPECT_EQ(FromRecord(h->window->record().txtRIC[4]), before);
    EXPECT_EQ(h->window->action("MenuEditRedo")->text(), "Redo Edit Bank 1 channel 2 RESET RIC");

    ASSERT_TRUE(dir.isValid());
    dialogs->saveAnswer = dir.path() + "/undone.ORV";
    h->window->action("MenuFileSaveAs")->trigger();
    ConfigRecord saved;
    ModuleTypes types{};
    Image image{};
    ASSERT_TRUE(ReadConfigFile((dir.path() + "/undone.ORV").toStdString(), saved, types, image).ok);
    EXPECT_EQ(FromRecord(saved.txtRIC[4]), before);

    // Redo brings it back, and then it is saved.
    CtrlY();
    EXPECT_EQ(ric->text(), "0004242");
    h->window->action("MenuFileSave")->trigger();
    ASSERT_TRUE(ReadConfigFile((dir.path() + "/undone.ORV").toStdString(), saved, types, image).ok);
    EXPECT_EQ(saved.txtRIC[4], "0004242");
}

TEST_F(UndoTest, CtrlZUndoesTypingInTheFieldBeforeTheLastStep) {
    QLineEdit* msg = Focus("txtMsg_0", 2);
    msg->selectAll();
    QTest::keyClicks(msg, "ONE");
    QTest::keyClick(msg, Qt::Key_Tab);  // leaving commits
    EXPECT_EQ(UndoText(), "Undo Edit Bank 1 channel 1 RESET message");
    EXPECT_EQ(stack()->count(), 1);
    msg = Focus("txtMsg_0", 2);
    msg->end(false);
    QTest::keyClicks(msg, " TWO");
    EXPECT_EQ(UndoText(), "Undo Edit Bank 1 channel 1 RESET message");
    // The field's own undo takes the typing back; the step before stays.
    CtrlZ();
    EXPECT_EQ(msg->text(), "ONE");
    EXPECT_EQ(h->window->record().txtMsg[0], "ONE");
    EXPECT_EQ(stack()->count(), 1);
    QTest::keyClick(msg, Qt::Key_Tab);
    EXPECT_EQ(stack()->count(), 1);  // nothing changed since the step: no new one
    CtrlZ();
    EXPECT_EQ(msg->text(), "BANK 1 CHAN 1 RESET");
}

TEST_F(UndoTest, EveryKindOfEditIsOneNamedStep) {
    MainWindow& w = *h->window;
    ConfigRecord& rec = w.record();
    struct Case {
        const char* name;
        std::function<void()> edit;
        const char* step;
        std::function<bool()> edited;
    } cases[] = {
        {"choice", [&] { h->combo("lstFunc_8")->setCurrentIndex(3); },
         "Change Bank 1 channel 3 RESET beep", [&] { return rec.lstFunc[8] == 3; }},
        {"relay choice", [&] { h->combo("lstRlyBeep_26")->setCurrentIndex(4); },
         "Change Bank 2 relay 1 Toggle beep", [&] { return rec.lstRlyBeep[26] == 4; }},
        {"check", [&] { h->find<QCheckBox>("chkOptions_0")->click(); },
         "Change Suppress Reset Strings", [&] { return rec.chkOptions[0]; }},
        {"option", [&] { h->find<QRadioButton>("optSlave")->click(); }, "Change RS485 role",
         [&] { return !rec.optMaster; }},
        {"module type", [&] { h->combo("lstMod_2")->setCurrentIndex(13); },
         "Change Bank 3 module type", [&] { return w.moduleTypes()[2] == 13; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ConfigRecord recBefore = rec;
        const ModuleTypes typesBefore = w.moduleTypes();
        c.edit();
        ASSERT_TRUE(c.edited());
        EXPECT_EQ(UndoText(), QString("Undo ") + c.step);
        w.action("MenuEditUndo")->trigger();
        EXPECT_FALSE(c.edited());
        EXPECT_EQ(rec, recBefore);
        EXPECT_EQ(w.moduleTypes(), typesBefore);
        w.action("MenuEditRedo")->trigger();
        EXPECT_TRUE(c.edited());
    }
    // The controls show what the steps put back.
    w.action("MenuEditUndo")->trigger();
    EXPECT_EQ(h->combo("lstMod_2")->currentIndex(), 0);
    EXPECT_EQ(h->find<QGroupBox>("frmBankType_2")->title(), "NOT FITTED");
    w.action("MenuEditUndo")->trigger();
    EXPECT_TRUE(h->find<QRadioButton>("optMaster")->isChecked());
    EXPECT_EQ(h->find<QLabel>("lblRS485Address")->text(), "Limit");
    w.action("MenuEditUndo")->trigger();
    EXPECT_FALSE(h->find<QCheckBox>("chkOptions_0")->isChecked());
}

TEST_F(UndoTest, UndoingBackToTheSavedConfigurationClearsTheUnsavedMarker) {
    ASSERT_TRUE(dir.isValid());
    dialogs->saveAnswer = dir.path() + "/marked.ORV";
    h->window->action("MenuFileSaveAs")->trigger();
    MainWindow& w = *h->window;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.UnsavedChanges(); }));
    h->combo("lstBaud_9")->setCurrentIndex(2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.UnsavedChanges(); }));
    w.action("MenuEditUndo")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.UnsavedChanges(); }));
    w.action("MenuEditRedo")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.UnsavedChanges(); }));
    EXPECT_TRUE(w.DisplayedTitle().startsWith("marked.ORV*"));
}

TEST_F(UndoTest, TheEditorsOwnLinkSettingsAreNoSteps) {
    h->combo("lstComPort")->setCurrentIndex(3);
    h->combo("lstBaudPC")->setCurrentIndex(2);
    EXPECT_EQ(stack()->count(), 0);
    EXPECT_FALSE(h->window->action("MenuEditUndo")->isEnabled());
}

TEST_F(UndoTest, NewOpenAndClearFormStartAFreshHistory) {
    ASSERT_TRUE(dir.isValid());
    dialogs->saveAnswer = dialogs->openAnswer = dir.path() + "/a.ORV";
    h->window->action("MenuFileSaveAs")->trigger();
    const char* actions[] = {"MenuFileNew", "Clear", "MenuFileOpen"};
    for (const char* action : actions) {
        SCOPED_TRACE(action);
        h->combo("lstFunc_1")->setCurrentIndex(2);
        h->edit("txtMsg_1")->setText("CHANGED");  // typing not yet committed is dropped too
        ASSERT_TRUE(h->window->action("MenuEditUndo")->isEnabled());
        h->window->action(action)->trigger();
        EXPECT_EQ(stack()->count(), 0);
        EXPECT_FALSE(h->window->edits()->HasPending());
        EXPECT_FALSE(h->window->action("MenuEditUndo")->isEnabled());
    }
    // Save keeps the history.
    h->combo("lstFunc_1")->setCurrentIndex(2);
    h->window->action("MenuFileSave")->trigger();
    EXPECT_EQ(stack()->count(), 1);
}

TEST_F(UndoTest, TheEditMenuOpensWithItsCommandsAndTheFileShortcutsStay) {
    auto* edit = h->find<QMenu>("mnuEdit");
    ASSERT_NE(edit, nullptr);
    QStringList texts;
    for (QAction* a : edit->actions())
        if (!a->isSeparator()) texts << a->text() + " " + a->shortcut().toString();
    EXPECT_EQ(texts, (QStringList{"Undo Ctrl+Z", "Redo Ctrl+Shift+Z", "Channel &Table… Ctrl+T",
                                  "&Find && Replace… Ctrl+H"}));
    EXPECT_EQ(h->window->action("MenuEditRedo")->shortcuts().value(1), QKeySequence("Ctrl+Y"));
    // It sits between File and Unit.
    QStringList menus;
    for (QAction* a : h->window->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus.mid(0, 2), (QStringList{"&File", "&Edit"}));
    h->window->menuBar()->setActiveAction(edit->menuAction());
    EXPECT_TRUE(QTest::qWaitFor([&] { return edit->isVisible(); }));
    edit->close();
    EXPECT_EQ(h->window->action("MenuFileSaveAs")->shortcut(), QKeySequence("Ctrl+A"));
    EXPECT_EQ(h->window->action("MenuFileExit")->shortcut(), QKeySequence("Ctrl+X"));
}

}  // namespace
}  // namespace orv::ui::test
