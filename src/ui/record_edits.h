// The one way the user's changes reach the configuration record, and the one undo stack over it.
// The window's fields write into the record as the user edits and report here; a text field's
// edit becomes a step when it is committed (the field is left or Enter pressed), a choice, a check
// or a module type at once. The channel table, Find & Replace and the channel table import change
// the record only through Apply, one step per action. Undo and Redo put values back through the
// field table and tell every view which elements changed.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "model/field_ref.h"
#include "model/record.h"

class QUndoStack;

namespace orv::ui {

struct FieldEdit {
    FieldRef ref;
    FieldValue before;
    FieldValue after;
};

struct ModuleTypeEdit {
    int bank = 0;
    int before = 0;
    int after = 0;
};

class RecordEdits : public QObject {
    Q_OBJECT
  public:
    RecordEdits(ConfigRecord& rec, ModuleTypes& moduleTypes, QObject* parent);
    ~RecordEdits() override;

    QUndoStack* stack() const { return stack_; }

    // Asked before anything changes the record: a sentence saying why it may not change now
    // (an exchange with the unit uses it), or "" when it may. what names the refused action.
    using Guard = std::function<QString(const QString& what)>;
    void setGuard(Guard guard) { guard_ = std::move(guard); }
    QString Refusal(const QString& what) const { return guard_ ? guard_(what) : QString(); }

    // ---- The window's fields, after the record took the new value.

    // A keystroke (or a leave check's reformatting) in a text field: pending until committed.
    void TextTyped(FieldRef ref, const std::string& before);
    // The pending text edit becomes a step, if it changed anything.
    void CommitPending();
    // Whether ref has typing not yet committed; the step it will become.
    bool IsPending(FieldRef ref) const { return pending_ && pending_->ref == ref; }
    bool HasPending() const { return pending_.has_value(); }
    QString PendingName() const;
    // A choice, a check or an option: one step at once.
    void ValueChosen(FieldRef ref, const FieldValue& before);
    void ModuleTypeChosen(int bank, int before);

    // ---- Whole actions (the channel table, Find & Replace, imports).

    // Applies the edits (each edit's before is taken from the record) and pushes them as one step
    // named name. Returns the elements that changed; nothing (and no step) when none did or the
    // guard refused.
    std::vector<FieldRef> Apply(const QString& name, const std::vector<FieldEdit>& edits);
    // The record becomes after, as one step.
    std::vector<FieldRef> ApplyRecord(const QString& name, const ConfigRecord& after);

    // Guarded; false when refused or there is nothing to undo or redo.
    bool Undo();
    bool Redo();
    // A new configuration (New, Open, Clear Form, Read): the history starts afresh.
    void Clear();

    // Used by the steps themselves.
    void Put(const std::vector<FieldEdit>& edits, const std::vector<ModuleTypeEdit>& types,
             bool after);

  signals:
    // Elements whose values changed: typed or chosen in the window's own controls (which show
    // them already: shownOnPage), or by a step done, undone or redone.
    void FieldsChanged(const std::vector<orv::FieldRef>& refs, bool shownOnPage);
    // ModuleType changed by Undo or Redo: the bank pages and the table's rows follow.
    void ModuleTypesChanged();
    // Typing began in a field, or what was typed became a step.
    void PendingChanged();
    // Undo or Redo was refused (why, in a sentence).
    void Refused(const QString& why);
    // After Undo or Redo ran, for the status lines.
    void StepUndone(const QString& name);
    void StepRedone(const QString& name);

  private:
    void Push(const QString& name, std::vector<FieldEdit> edits, std::vector<ModuleTypeEdit> types,
              bool alreadyDone);

    struct Pending {
        FieldRef ref;
        std::string before;
    };
    ConfigRecord& rec_;
    ModuleTypes& moduleTypes_;
    QUndoStack* stack_ = nullptr;
    Guard guard_;
    std::optional<Pending> pending_;
};

// Whether the user's changes of this element become undo steps: the configuration's fields do;
// the editor's own link settings, the firmware lines and the dictionary (working storage) do not.
bool IsUndoableField(FieldRef ref);

}  // namespace orv::ui
