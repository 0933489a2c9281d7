#include "ui/channel_table_grid.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTableView>

#include "model/lists.h"
#include "ui/channel_table_model.h"
#include "ui/qt_text.h"

namespace orv::ui {

ChannelTableFilter::ChannelTableFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(kSortRole);
}

void ChannelTableFilter::SetBank(int bank) {
    bank_ = bank;
    invalidateFilter();
}

void ChannelTableFilter::SetText(const QString& text) {
    text_ = text.trimmed();
    invalidateFilter();
}

// Rows that sort alike keep the table's own order (bank, channel, state).
bool ChannelTableFilter::lessThan(const QModelIndex& a, const QModelIndex& b) const {
    const auto order = QVariant::compare(a.data(kSortRole), b.data(kSortRole));
    if (order == QPartialOrdering::Less) return true;
    if (order == QPartialOrdering::Greater) return false;
    return a.row() < b.row();
}

bool ChannelTableFilter::filterAcceptsRow(int row, const QModelIndex&) const {
    const auto* m = static_cast<const ChannelTableModel*>(sourceModel());
    if (bank_ >= 0 && m->Row(row).bank != bank_) return false;
    if (text_.isEmpty()) return true;
    for (int c = 0; c < kTableColumns; ++c)
        if (m->index(row, c).data(Qt::DisplayRole).toString().contains(text_, Qt::CaseInsensitive))
            return true;
    return false;
}

namespace {

// A key typed into a cell's editor goes through the filter of the cell's field, as a key typed
// into the field on the pages does: editing commands pass, non-character keys pass, a refused
// character is swallowed and a changed one (upper case) inserted instead.
bool SwallowedByKeyFilter(QLineEdit* edit, FieldGuard guard, QKeyEvent* e) {
    if (e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Copy) ||
        e->matches(QKeySequence::Paste) || e->matches(QKeySequence::SelectAll) ||
        e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo))
        return false;
    const QString text = e->text();
    if (text.size() != 1) return false;
    const int code = text.at(0).unicode();
    // Enter, Tab and Escape end the edit; the table moves on.
    if (code == '\r' || code == '\n' || code == '\t' || code == 0x1B || code == 0x7F) return false;
    if (code < 0x20 && code != kKeyBackspace) return false;
    const int result = code > 0xFF
                           ? kKeyRefused
                           : FilterKey(guard, code, static_cast<std::size_t>(edit->text().size()));
    if (result == kKeyRefused) return true;
    if (result == code) return false;
    edit->insert(QString(QChar(result)));
    return true;
}

}  // namespace

namespace {

// ---- Editors: a text field with its key filter, or the field's item list.

class CellDelegate : public QStyledItemDelegate {
  public:
    CellDelegate(ChannelTableModel* model, QObject* parent)
        : QStyledItemDelegate(parent), model_(model) {}

    // The next editor starts empty: a typed key replaces the cell, as in a spreadsheet.
    void StartEmpty() { startEmpty_ = true; }
    void StartWithValue() { startEmpty_ = false; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        const QModelIndex source = SourceOf(index);
        const auto guard = model_->CellGuard(source.row(), source.column());
        if (guard) {
            auto* edit = new QLineEdit(parent);
            edit->setObjectName("cellEditor");
            edit->setProperty("guard", static_cast<int>(*guard));
            edit->setFrame(false);
            return edit;
        }
        auto* combo = new QComboBox(parent);
        combo->setObjectName("cellChoice");
        combo->addItems(ItemsOf(source));
        connect(combo, &QComboBox::activated, this, [this, combo] {
            auto* self = const_cast<CellDelegate*>(this);
            emit self->commitData(combo);
            emit self->closeEditor(combo, QAbstractItemDelegate::NoHint);
        });
        return combo;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            edit->setText(startEmpty_ ? QString() : index.data(Qt::EditRole).toString());
            return;
        }
        auto* combo = static_cast<QComboBox*>(editor);
        combo->setCurrentIndex(combo->findText(index.data(Qt::EditRole).toString()));
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            model->setData(index, edit->text(), Qt::EditRole);
            return;
        }
        auto* combo = static_cast<QComboBox*>(editor);
        if (combo->currentIndex() >= 0) model->setData(index, combo->currentIndex(), Qt::EditRole);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
                const auto guard = static_cast<FieldGuard>(edit->property("guard").toInt());
                if (SwallowedByKeyFilter(edit, guard, static_cast<QKeyEvent*>(event))) return true;
            }
        }
        return QStyledItemDelegate::eventFilter(watched, event);
    }

  private:
    QModelIndex SourceOf(const QModelIndex& index) const {
        const auto* proxy = qobject_cast<const QSortFilterProxyModel*>(index.model());
        return proxy ? proxy->mapToSource(index) : index;
    }
    QStringList ItemsOf(const QModelIndex& source) const {
        const TableRow& t = model_->Row(source.row());
        auto texts = [](const auto& items) {
            QStringList out;
            for (const ListItem& item : items) out << FromRecord(item.text);
            return out;
        };
        switch (source.column()) {
            case kColumnBeep:
                return t.kind == RowKind::kRelayAction ? texts(kRelayBeepItems) : texts(kFuncItems);
            case kColumnType:
                return texts(kTypeItems);
            case kColumnBaud:
                return texts(kPagingBaudItems);
            case kColumnRepeat:
                return texts(kRepeatItems);
            default:
                return {};
        }
    }

    ChannelTableModel* model_;
    bool startEmpty_ = false;
};

// ---- The grid: Enter moves down and Tab right, as in a spreadsheet.

class ChannelTableView : public QTableView {
  public:
    ChannelTableView(CellDelegate* delegate, QWidget* parent)
        : QTableView(parent), delegate_(delegate) {}

  protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        if (trigger == AnyKeyPressed) delegate_->StartEmpty();
        const bool opened = QTableView::edit(index, trigger, event);
        delegate_->StartWithValue();
        return opened;
    }

    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        if (hint == QAbstractItemDelegate::SubmitModelCache)
            Move(MoveDown);
        else if (hint == QAbstractItemDelegate::EditNextItem)
            Move(MoveNext);
        else if (hint == QAbstractItemDelegate::EditPreviousItem)
            Move(MovePrevious);
    }

    void keyPressEvent(QKeyEvent* e) override {
        if (state() != EditingState) {
            const bool plain = !(e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier));
            if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && plain) {
                Move(e->modifiers() & Qt::ShiftModifier ? MoveUp : MoveDown);
                return;
            }
            if (e->key() == Qt::Key_Tab && plain) {
                Move(MoveNext);
                return;
            }
            if (e->key() == Qt::Key_Backtab && plain) {
                Move(MovePrevious);
                return;
            }
        }
        QTableView::keyPressEvent(e);
    }

  private:
    // Tab and Shift+Tab pass over the cells a row's kind does not have.
    void Move(CursorAction action) {
        QModelIndex next = moveCursor(action, Qt::NoModifier);
        if (action == MoveNext || action == MovePrevious) {
            const QModelIndex from = currentIndex();
            for (int k = 0; k < kTableColumns && next.isValid() && next.row() == from.row() &&
                            !next.data(kAppliesRole).toBool();
                 ++k) {
                selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
                next = moveCursor(action, Qt::NoModifier);
            }
        }
        if (next.isValid())
            selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
    }

    CellDelegate* delegate_;
};

}  // namespace

QTableView* MakeChannelGrid(ChannelTableModel* model, QSortFilterProxyModel* filter,
                            QWidget* parent) {
    auto* delegate = new CellDelegate(model, parent);
    auto* view = new ChannelTableView(delegate, parent);
    view->setItemDelegate(delegate);
    view->setModel(filter);
    return view;
}

}  // namespace orv::ui
