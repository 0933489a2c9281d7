#include "ui/record_edits.h"

#include <QUndoCommand>
#include <QUndoStack>
#include <algorithm>

#include "ui/qt_text.h"

namespace orv::ui {
namespace {

// One step: the values before and after of every element it changed.
class RecordStep : public QUndoCommand {
  public:
    RecordStep(RecordEdits& owner, const QString& name, std::vector<FieldEdit> edits,
               std::vector<ModuleTypeEdit> types, bool alreadyDone)
        : QUndoCommand(name),
          owner_(owner),
          edits_(std::move(edits)),
          types_(std::move(types)),
          skipRedo_(alreadyDone) {}

    void redo() override {
        // A field's own edit is in the record and on the screen when it becomes a step.
        if (std::exchange(skipRedo_, false)) return;
        owner_.Put(edits_, types_, true);
    }
    void undo() override { owner_.Put(edits_, types_, false); }

  private:
    RecordEdits& owner_;
    std::vector<FieldEdit> edits_;
    std::vector<ModuleTypeEdit> types_;
    bool skipRedo_;
};

}  // namespace

bool IsUndoableField(FieldRef ref) {
    if (!IsValidRef(ref) || ScopeOfField(ref) != FieldScope::kConfiguration) return false;
    return ref != RefOf<&ConfigRecord::txtDict>(ref.index) &&
           ref != RefOf<&ConfigRecord::txtVer>(ref.index);
}

RecordEdits::RecordEdits(ConfigRecord& rec, ModuleTypes& moduleTypes, QObject* parent)
    : QObject(parent), rec_(rec), moduleTypes_(moduleTypes), stack_(new QUndoStack(this)) {
    stack_->setObjectName("undoStack");
}

RecordEdits::~RecordEdits() = default;

void RecordEdits::TextTyped(FieldRef ref, const std::string& before) {
    if (!IsUndoableField(ref)) return;
    if (pending_ && pending_->ref != ref) CommitPending();
    if (!pending_) {
        pending_ = Pending{ref, before};
        emit PendingChanged();
    }
    emit FieldsChanged({ref}, true);
}

QString RecordEdits::PendingName() const {
    return pending_ ? QString::fromStdString("Edit " + FieldLabel(pending_->ref)) : QString();
}

void RecordEdits::CommitPending() {
    if (!pending_) return;
    const QString name = PendingName();
    const Pending p = std::move(*pending_);
    pending_.reset();
    const FieldValue now = GetFieldValue(rec_, p.ref);
    if (now != FieldValue(p.before)) Push(name, {{p.ref, p.before, now}}, {}, true);
    emit PendingChanged();
}

void RecordEdits::ValueChosen(FieldRef ref, const FieldValue& before) {
    if (!IsUndoableField(ref)) return;
    CommitPending();
    const FieldValue now = GetFieldValue(rec_, ref);
    emit FieldsChanged({ref}, true);
    if (now == before) return;
    Push(QString::fromStdString("Change " + FieldLabel(ref)), {{ref, before, now}}, {}, true);
}

void RecordEdits::ModuleTypeChosen(int bank, int before) {
    CommitPending();
    const int now = moduleTypes_[static_cast<std::size_t>(bank)];
    if (now == before) return;
    Push(QString("Change Bank %1 module type").arg(bank + 1), {}, {{bank, before, now}}, true);
}

std::vector<FieldRef> RecordEdits::Apply(const QString& name, const std::vector<FieldEdit>& edits) {
    if (!Refusal(name).isEmpty()) return {};
    CommitPending();
    // The last edit of an element wins; its before is what the record holds now.
    std::vector<FieldEdit> steps;
    std::vector<FieldRef> changed;
    for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
        if (!IsValidRef(it->ref)) continue;
        if (std::find(changed.begin(), changed.end(), it->ref) != changed.end()) continue;
        changed.push_back(it->ref);
        const FieldValue before = GetFieldValue(rec_, it->ref);
        if (before.index() != it->after.index() || before == it->after) continue;
        steps.push_back({it->ref, before, it->after});
    }
    if (steps.empty()) return {};
    std::reverse(steps.begin(), steps.end());
    std::vector<FieldRef> refs;
    refs.reserve(steps.size());
    for (const FieldEdit& e : steps) refs.push_back(e.ref);
    Push(name, std::move(steps), {}, false);
    return refs;
}

std::vector<FieldRef> RecordEdits::ApplyRecord(const QString& name, const ConfigRecord& after) {
    std::vector<FieldEdit> edits;
    for (FieldRef ref : ChangedFields(rec_, after))
        edits.push_back({ref, GetFieldValue(rec_, ref), GetFieldValue(after, ref)});
    return Apply(name, edits);
}

void RecordEdits::Push(const QString& name, std::vector<FieldEdit> edits,
                       std::vector<ModuleTypeEdit> types, bool alreadyDone) {
    stack_->push(new RecordStep(*this, name, std::move(edits), std::move(types), alreadyDone));
}

void RecordEdits::Put(const std::vector<FieldEdit>& edits, const std::vector<ModuleTypeEdit>& types,
                      bool after) {
    std::vector<FieldRef> refs;
    refs.reserve(edits.size());
    for (const FieldEdit& e : edits) {
        SetFieldValue(rec_, e.ref, after ? e.after : e.before);
        refs.push_back(e.ref);
    }
    for (const ModuleTypeEdit& t : types)
        moduleTypes_[static_cast<std::size_t>(t.bank)] = after ? t.after : t.before;
    if (!refs.empty()) emit FieldsChanged(refs, false);
    if (!types.empty()) emit ModuleTypesChanged();
}

bool RecordEdits::Undo() {
    CommitPending();
    if (!stack_->canUndo()) return false;
    const QString name = stack_->undoText();
    if (const QString why = Refusal("Undo " + name); !why.isEmpty()) {
        emit Refused(why);
        return false;
    }
    stack_->undo();
    emit StepUndone(name);
    return true;
}

bool RecordEdits::Redo() {
    CommitPending();
    if (!stack_->canRedo()) return false;
    const QString name = stack_->redoText();
    if (const QString why = Refusal("Redo " + name); !why.isEmpty()) {
        emit Refused(why);
        return false;
    }
    stack_->redo();
    emit StepRedone(name);
    return true;
}

void RecordEdits::Clear() {
    const bool hadPending = pending_.has_value();
    pending_.reset();
    stack_->clear();
    if (hadPending) emit PendingChanged();
}

}  // namespace orv::ui
