// Undo and Redo as menu commands over the record's one stack: their texts name the step
// ("Undo Paste 24 cells"), they are enabled while there is something to undo or redo, and they
// go through RecordEdits, which refuses while an exchange with the unit uses the record. Each
// window has its own pair, since a shortcut works in the window that holds it.
#pragma once

#include <utility>

class QAction;
class QObject;

namespace orv::ui {

class RecordEdits;

// Undo: Ctrl+Z; Redo: Ctrl+Shift+Z and Ctrl+Y.
std::pair<QAction*, QAction*> MakeUndoActions(RecordEdits& edits, QObject* parent);

}  // namespace orv::ui
