#include "ui/undo_actions.h"

#include <QAction>
#include <QUndoStack>

#include "ui/record_edits.h"

namespace orv::ui {

std::pair<QAction*, QAction*> MakeUndoActions(RecordEdits& edits, QObject* parent) {
    QUndoStack* stack = edits.stack();
    auto* undo = new QAction(parent);
    auto* redo = new QAction(parent);
    undo->setShortcuts({QKeySequence("Ctrl+Z")});
    redo->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
    // Typing not yet committed is the next step to undo, and nothing can be redone over it.
    auto show = [&edits, stack, undo, redo] {
        const bool typing = edits.HasPending();
        const QString u = typing ? edits.PendingName() : stack->undoText();
        const QString r = typing ? QString() : stack->redoText();
        undo->setText(u.isEmpty() ? QString("Undo") : "Undo " + u);
        redo->setText(r.isEmpty() ? QString("Redo") : "Redo " + r);
        undo->setEnabled(typing || stack->canUndo());
        redo->setEnabled(!typing && stack->canRedo());
    };
    show();
    QObject::connect(stack, &QUndoStack::indexChanged, undo, show);
    QObject::connect(&edits, &RecordEdits::PendingChanged, undo, show);
    QObject::connect(undo, &QAction::triggered, &edits, [&edits] { edits.Undo(); });
    QObject::connect(redo, &QAction::triggered, &edits, [&edits] { edits.Redo(); });
    return {undo, redo};
}

}  // namespace orv::ui
