#include "ui/channel_table.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <set>

#include "model/lists.h"
#include "report/csv.h"
#include "report/names.h"
#include "ui/qt_text.h"
#include "ui/record_edits.h"
#include "ui/undo_actions.h"

namespace orv::ui {

// ---- Filtering by bank and by text.

class ChannelTableFilter : public QSortFilterProxyModel {
  public:
    explicit ChannelTableFilter(QObject* parent) : QSortFilterProxyModel(parent) {
        setSortRole(kSortRole);
    }
    void SetBank(int bank) {
        bank_ = bank;
        invalidateFilter();
    }
    void SetText(const QString& text) {
        text_ = text.trimmed();
        invalidateFilter();
    }

  protected:
    // Rows that sort alike keep the table's own order (bank, channel, state).
    bool lessThan(const QModelIndex& a, const QModelIndex& b) const override {
        const auto order = QVariant::compare(a.data(kSortRole), b.data(kSortRole));
        if (order == QPartialOrdering::Less) return true;
        if (order == QPartialOrdering::Greater) return false;
        return a.row() < b.row();
    }
    bool filterAcceptsRow(int row, const QModelIndex&) const override {
        const auto* m = static_cast<const ChannelTableModel*>(sourceModel());
        if (bank_ >= 0 && m->Row(row).bank != bank_) return false;
        if (text_.isEmpty()) return true;
        for (int c = 0; c < kTableColumns; ++c)
            if (m->index(row, c)
                    .data(Qt::DisplayRole)
                    .toString()
                    .contains(text_, Qt::CaseInsensitive))
                return true;
        return false;
    }

  private:
    int bank_ = -1;
    QString text_;
};

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

// ---- Find & Replace in messages.

class FindReplaceDialog : public QDialog {
  public:
    explicit FindReplaceDialog(ChannelTable* table) : QDialog(table), table_(table) {
        setObjectName("dlgFindReplace");
        setWindowTitle("Find & Replace in Messages");
        auto* form = new QFormLayout;
        find_ = new QLineEdit(this);
        find_->setObjectName("txtFind");
        replace_ = new QLineEdit(this);
        replace_->setObjectName("txtReplace");
        form->addRow("&Find:", find_);
        form->addRow("Replace &with:", replace_);
        matchCase_ = new QCheckBox("Match &case", this);
        matchCase_->setObjectName("chkMatchCase");
        selectedOnly_ = new QCheckBox("In &selected cells only", this);
        selectedOnly_->setObjectName("chkSelectedOnly");
        form->addRow(QString(), matchCase_);
        form->addRow(QString(), selectedOnly_);
        note_ = new QLabel(this);
        note_->setObjectName("lblFindNote");
        note_->setWordWrap(true);

        auto* buttons = new QDialogButtonBox(this);
        auto* next = buttons->addButton("Find &Next", QDialogButtonBox::ActionRole);
        next->setObjectName("cmdFindNext");
        next->setDefault(true);
        auto* one = buttons->addButton("&Replace", QDialogButtonBox::ActionRole);
        one->setObjectName("cmdReplace");
        auto* all = buttons->addButton("Replace &All", QDialogButtonBox::ActionRole);
        all->setObjectName("cmdReplaceAll");
        buttons->addButton(QDialogButtonBox::Close);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(next, &QPushButton::clicked, this, [this] {
            note_->setText(table_->FindNext(find_->text(), Case()) ? QString()
                                                                   : "Not found in the messages.");
        });
        connect(one, &QPushButton::clicked, this, [this] {
            table_->ReplaceCurrent(find_->text(), replace_->text(), Case());
            note_->setText(table_->StatusText());
        });
        connect(all, &QPushButton::clicked, this, [this] {
            table_->ReplaceAll(find_->text(), replace_->text(), Case(), selectedOnly_->isChecked());
            note_->setText(table_->StatusText());
        });

        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(note_);
        layout->addWidget(buttons);
        resize(440, sizeHint().height());
    }

    void Start() {
        find_->setFocus();
        find_->selectAll();
        note_->clear();
    }

  private:
    Qt::CaseSensitivity Case() const {
        return matchCase_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    }

    ChannelTable* table_;
    QLineEdit* find_;
    QLineEdit* replace_;
    QCheckBox* matchCase_;
    QCheckBox* selectedOnly_;
    QLabel* note_;
};

// ---- The window.

ChannelTable::ChannelTable(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                           RecordEdits& edits, QWidget* parent)
    : QMainWindow(parent, Qt::Window), edits_(edits) {
    setObjectName("frmChannelTable");
    setWindowTitle("Channel Table - " + AppTitle());
    model_ = new ChannelTableModel(rec, moduleTypes, edits, this);
    filter_ = new ChannelTableFilter(this);
    filter_->setSourceModel(model_);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 0);
    auto* bar = new QHBoxLayout;
    auto* bankLabel = new QLabel("&Bank:", central);
    lstBank_ = new QComboBox(central);
    lstBank_->setObjectName("lstTableBank");
    lstBank_->addItem("All banks");
    for (int b = 0; b < kBanks; ++b) lstBank_->addItem(QString("Bank %1").arg(b + 1));
    bankLabel->setBuddy(lstBank_);
    auto* filterLabel = new QLabel("&Show rows with:", central);
    txtFilter_ = new QLineEdit(central);
    txtFilter_->setObjectName("txtTableFilter");
    txtFilter_->setPlaceholderText("any text, e.g. a RIC or a word of a message");
    txtFilter_->setClearButtonEnabled(true);
    filterLabel->setBuddy(txtFilter_);
    lblRows_ = new QLabel(central);
    lblRows_->setObjectName("lblTableRows");
    bar->addWidget(bankLabel);
    bar->addWidget(lstBank_);
    bar->addSpacing(16);
    bar->addWidget(filterLabel);
    bar->addWidget(txtFilter_, 1);
    bar->addSpacing(16);
    bar->addWidget(lblRows_);
    layout->addLayout(bar);

    auto* delegate = new CellDelegate(model_, this);
    view_ = new ChannelTableView(delegate, central);
    view_->setObjectName("tblChannels");
    view_->setItemDelegate(delegate);
    view_->setModel(filter_);
    view_->setSortingEnabled(true);
    view_->sortByColumn(kColumnBank, Qt::AscendingOrder);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectItems);
    view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    view_->setTabKeyNavigation(true);
    view_->setWordWrap(false);
    view_->setAlternatingRowColors(true);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 8);
    view_->horizontalHeader()->setHighlightSections(true);
    // A message of 69 characters, and every trigger caption, shown whole.
    const QFontMetrics metrics = view_->fontMetrics();
    view_->setColumnWidth(kColumnMessage, metrics.horizontalAdvance(QString(69, 'N')) * 3 / 4);
    int state = 0;
    for (int type : {kModuleOptoInput, kModuleDryContact})
        for (int s = 0; s < kStatesPerChannel; ++s)
            state = std::max(state, metrics.horizontalAdvance(ChannelTableModel::StateText(type, s)));
    stateWidth_ = state + 16;
    layout->addWidget(view_, 1);
    setCentralWidget(central);
    statusBar()->setObjectName("sbTable");
    statusBar()->setSizeGripEnabled(true);
    // A label, not a passing message: what a paste did stays while menus are looked through.
    lblStatus_ = new QLabel(statusBar());
    lblStatus_->setObjectName("lblTableStatus");
    lblStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(lblStatus_, 1);
    lblStatus_->installEventFilter(this);

    connect(lstBank_, &QComboBox::currentIndexChanged, this,
            [this](int position) { SetBankFilter(position - 1); });
    connect(txtFilter_, &QLineEdit::textChanged, this,
            [this](const QString& text) { SetTextFilter(text); });
    connect(filter_, &QAbstractItemModel::modelReset, this, [this] { UpdateShownKinds(); });
    connect(filter_, &QAbstractItemModel::layoutChanged, this, [this] { UpdateShownKinds(); });
    connect(filter_, &QAbstractItemModel::rowsInserted, this, [this] { UpdateShownKinds(); });
    connect(filter_, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateShownKinds(); });
    connect(model_, &ChannelTableModel::CellNoted, this,
            [this](int, int, const QString& note, bool) { Say(note); });
    connect(&edits_, &RecordEdits::Refused, this, [this](const QString& why) { Say(why); });
    connect(&edits_, &RecordEdits::StepUndone, this,
            [this](const QString& name) { Say("Undone: " + name); });
    connect(&edits_, &RecordEdits::StepRedone, this,
            [this](const QString& name) { Say("Redone: " + name); });

    BuildActions();
    UpdateShownKinds();
    findDialog_ = new FindReplaceDialog(this);

    // As wide as the columns of input rows need, within the screen.
    int width = 40;
    for (int c = 0; c < kTableColumns; ++c)
        if (!view_->isColumnHidden(c)) width += view_->columnWidth(c);
    // Over the main window, a little down and right of its corner, and on the screen.
    QSize size(width, 32 * view_->verticalHeader()->defaultSectionSize());
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        size = size.boundedTo(free.size() * 4 / 5);
        QPoint at = parent ? parent->geometry().topLeft() + QPoint(40, 40) : free.topLeft();
        at.setX(std::clamp(at.x(), free.left(), free.right() - size.width()));
        at.setY(std::clamp(at.y(), free.top(), free.bottom() - size.height() - 40));
        move(at);
    }
    resize(size);
}

ChannelTable::~ChannelTable() = default;

QSortFilterProxyModel* ChannelTable::proxy() const {
    return filter_;
}

QDialog* ChannelTable::findReplaceDialog() const {
    return findDialog_;
}

QAction* ChannelTable::action(const char* name) const {
    return findChild<QAction*>(name);
}

void ChannelTable::BuildActions() {
    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("mnuTableEdit");
    const auto [undo, redo] = MakeUndoActions(edits_, this);
    undo->setObjectName("TableUndo");
    redo->setObjectName("TableRedo");
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    auto add = [&](const char* name, const QString& text, const QList<QKeySequence>& keys,
                   auto slot) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        a->setShortcuts(keys);
        connect(a, &QAction::triggered, this, slot);
        edit->addAction(a);
        view_->addAction(a);  // also the table's context menu
        return a;
    };
    add("TableCut", "Cu&t", {QKeySequence("Ctrl+X")}, [this] { Cut(); });
    add("TableCopy", "&Copy", {QKeySequence("Ctrl+C")}, [this] { Copy(); });
    add("TablePaste", "&Paste", {QKeySequence("Ctrl+V")}, [this] { Paste(); });
    add("TableDelete", "&Delete", {QKeySequence(Qt::Key_Delete)}, [this] { DeleteSelected(); });
    edit->addSeparator();
    add("TableSelectAll", "Select &All", {QKeySequence("Ctrl+A")}, [this] { view_->selectAll(); });
    edit->addSeparator();
    add("TableFillDown", "Fill &Down", {QKeySequence("Ctrl+D")}, [this] { FillDown(); });
    add("TableFillSeries", "Fill &Series (RICs)…", {}, [this] { AskFillSeries(); });
    edit->addSeparator();
    add("TableFindReplace", "&Find && Replace…", {QKeySequence("Ctrl+H")},
        [this] { ShowFindReplace(); });
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ChannelTable::SetBankFilter(int bank) {
    if (lstBank_->currentIndex() != bank + 1) lstBank_->setCurrentIndex(bank + 1);
    filter_->SetBank(bank);
    UpdateShownKinds();
}

void ChannelTable::SetTextFilter(const QString& text) {
    if (txtFilter_->text() != text) txtFilter_->setText(text);
    filter_->SetText(text);
    UpdateShownKinds();
}

void ChannelTable::UpdateShownKinds() {
    bool inputs = false, relays = false;
    for (int r = 0; r < filter_->rowCount(); ++r) {
        const RowKind kind = model_->Row(filter_->mapToSource(filter_->index(r, 0)).row()).kind;
        (kind == RowKind::kChannelState ? inputs : relays) = true;
    }
    if (!inputs && !relays) inputs = true;
    const bool changed = model_->SetShownKinds(inputs, relays) || !columnsFitted_;
    columnsFitted_ = true;
    // Columns of a kind no row shows take no room; the others are as wide as their headings
    // and values (when the kinds shown change: a width the user set stays meanwhile).
    QHeaderView* header = view_->horizontalHeader();
    for (int c = 0; c < kTableColumns; ++c) {
        const bool hidden = !((inputs && ColumnApplies(RowKind::kChannelState, c)) ||
                              (relays && ColumnApplies(RowKind::kRelayAction, c)));
        view_->setColumnHidden(c, hidden);
        if (hidden || c == kColumnMessage) continue;
        const QString heading = model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        const int need =
            std::max(header->fontMetrics().horizontalAdvance(heading) + 28,  // the sort arrow
                     static_cast<QAbstractItemView*>(view_)->sizeHintForColumn(c));
        if (changed) view_->setColumnWidth(c, c == kColumnState && inputs ? stateWidth_ : need);
    }
    lblRows_->setText(QString("%1 of %2 rows").arg(filter_->rowCount()).arg(model_->rowCount()));
}

QString ChannelTable::StatusText() const {
    return statusText_;
}

void ChannelTable::Say(const QString& text) {
    statusText_ = text;
    ShowStatus();
}

void ChannelTable::ShowStatus() {
    // A long line gives way at its end; the tip keeps all of it.
    lblStatus_->setToolTip(statusText_);
    lblStatus_->setText(lblStatus_->fontMetrics().elidedText(statusText_, Qt::ElideRight,
                                                             std::max(40, lblStatus_->width())));
}

bool ChannelTable::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblStatus_ && event->type() == QEvent::Resize) ShowStatus();
    return QMainWindow::eventFilter(watched, event);
}

void ChannelTable::Follow() {
    model_->Follow();
    UpdateShownKinds();
}

void ChannelTable::Freeze(const QString& why) {
    model_->Freeze();
    Say(why);
}

void ChannelTable::Thaw() {
    model_->Thaw();
    UpdateShownKinds();
    Say(QString());
}

std::vector<int> ChannelTable::VisibleColumns() const {
    std::vector<int> columns;
    const QHeaderView* header = view_->horizontalHeader();
    for (int v = 0; v < header->count(); ++v) {
        const int logical = header->logicalIndex(v);
        if (!header->isSectionHidden(logical)) columns.push_back(logical);
    }
    return columns;
}

std::vector<std::pair<int, int>> ChannelTable::SelectedCells() const {
    const QHeaderView* header = view_->horizontalHeader();
    std::map<std::pair<int, int>, std::pair<int, int>> ordered;  // (view row, visual column)
    for (const QModelIndex& index : view_->selectionModel()->selectedIndexes()) {
        if (view_->isColumnHidden(index.column())) continue;
        const QModelIndex source = filter_->mapToSource(index);
        ordered[{index.row(), header->visualIndex(index.column())}] = {source.row(),
                                                                       source.column()};
    }
    std::vector<std::pair<int, int>> cells;
    cells.reserve(ordered.size());
    for (const auto& [at, cell] : ordered) cells.push_back(cell);
    return cells;
}

QString ChannelTable::SelectedText() const {
    // Rows in view order; in each, the selected cells that belong to the row's kind, so that a
    // copied block pastes back where it came from.
    QString text;
    int lastRow = -1;
    QStringList line;
    const QString end =
#ifdef _WIN32
        "\r\n";
#else
        "\n";
#endif
    auto flush = [&] {
        if (lastRow >= 0) text += line.join('\t') + end;
        line.clear();
    };
    const QHeaderView* header = view_->horizontalHeader();
    std::map<std::pair<int, int>, QModelIndex> ordered;
    for (const QModelIndex& index : view_->selectionModel()->selectedIndexes())
        if (!view_->isColumnHidden(index.column()))
            ordered[{index.row(), header->visualIndex(index.column())}] = index;
    for (const auto& [at, index] : ordered) {
        if (at.first != lastRow) {
            flush();
            lastRow = at.first;
        }
        const QModelIndex source = filter_->mapToSource(index);
        if (!ColumnApplies(model_->Row(source.row()).kind, source.column())) continue;
        const std::string cell = index.data(kCopyRole).toString().toStdString();
        line << QString::fromStdString(csv::Cell(cell, '\t'));
    }
    flush();
    return text;
}

void ChannelTable::Copy() {
    const QString text = SelectedText();
    if (text.isEmpty()) {
        Say("Select the cells to copy first.");
        return;
    }
    QGuiApplication::clipboard()->setText(text);
    Say(QString("Copied %1 %2.").arg(text.count('\n')).arg(text.count('\n') == 1 ? "row" : "rows"));
}

void ChannelTable::Paste() {
    PasteText(QGuiApplication::clipboard()->text());
}

void ChannelTable::Cut() {
    const QString text = SelectedText();
    if (text.isEmpty()) {
        Say("Select the cells to cut first.");
        return;
    }
    QGuiApplication::clipboard()->setText(text);
    DeleteSelected("Cut");
}

ChannelTableModel::Report ChannelTable::PasteText(const QString& clip) {
    ChannelTableModel::Report none;
    // Spreadsheets put tab-separated lines on the clipboard, quoting a cell that holds a tab, a
    // line break or a double quote. Text that is not such (a stray quote from elsewhere) is
    // taken line by line as it stands.
    const std::string bytes = clip.toStdString();
    csv::Table table = csv::Parse(bytes, '\t');
    if (!table.errors.empty()) table = csv::ParseUnquoted(bytes, '\t');
    // Blank lines after the last one are no rows to paste (they would clear a row's RIC).
    while (!table.rows.empty() && table.rows.back().cells.size() == 1 &&
           table.rows.back().cells[0].empty())
        table.rows.pop_back();
    if (table.rows.empty()) {
        Say("The clipboard holds no text to paste.");
        return none;
    }
    const QModelIndex current = view_->currentIndex();
    const auto selected = view_->selectionModel()->selectedIndexes();
    if (!current.isValid() && selected.isEmpty()) {
        Say("Select the cell to paste into first.");
        return none;
    }
    std::vector<ChannelTableModel::Input> inputs;
    QStringList extra;
    const bool oneValue = table.rows.size() == 1 && table.rows[0].cells.size() == 1;
    if (oneValue && selected.size() > 1) {
        // One value into a range: every selected cell with a field takes it.
        const QString value = QString::fromStdString(table.rows[0].cells[0]);
        for (const auto& [row, column] : SelectedCells())
            if (model_->CellField(row, column)) inputs.push_back({row, column, value});
    } else {
        // A block from the top left of the selection; on each row the cells go, in order, to
        // the columns that belong to the row's kind.
        const QHeaderView* header = view_->horizontalHeader();
        int top = current.isValid() ? current.row() : filter_->rowCount();
        int left = current.isValid() ? header->visualIndex(current.column()) : header->count();
        for (const QModelIndex& index : selected) {
            top = std::min(top, index.row());
            left = std::min(left, header->visualIndex(index.column()));
        }
        std::vector<int> columns;
        for (int logical : VisibleColumns())
            if (header->visualIndex(logical) >= left) columns.push_back(logical);
        int rowsBeyond = 0, cellsBeyond = 0;
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const int viewRow = top + static_cast<int>(r);
            if (viewRow >= filter_->rowCount()) {
                ++rowsBeyond;
                continue;
            }
            const int row = filter_->mapToSource(filter_->index(viewRow, 0)).row();
            std::vector<int> own;
            for (int c : columns)
                if (ColumnApplies(model_->Row(row).kind, c)) own.push_back(c);
            const auto& cells = table.rows[r].cells;
            for (std::size_t c = 0; c < cells.size(); ++c) {
                if (c >= own.size()) {
                    cellsBeyond += cells[c].empty() ? 0 : 1;
                    continue;
                }
                inputs.push_back({row, own[c], QString::fromStdString(cells[c])});
            }
        }
        if (rowsBeyond)
            extra << QString(
                         "%1 %2 of the clipboard lie below the last row shown and %3 not "
                         "pasted.")
                         .arg(rowsBeyond)
                         .arg(rowsBeyond == 1 ? "row" : "rows")
                         .arg(rowsBeyond == 1 ? "was" : "were");
        if (cellsBeyond)
            extra << QString(
                         "%1 %2 of the clipboard lie right of the last column and %3 not "
                         "pasted.")
                         .arg(cellsBeyond)
                         .arg(cellsBeyond == 1 ? "cell" : "cells")
                         .arg(cellsBeyond == 1 ? "was" : "were");
    }
    const auto report = model_->ApplyTexts("Paste", "cells", inputs);
    ReportOutcome("Pasted", report, extra);
    return report;
}

ChannelTableModel::Report ChannelTable::DeleteSelected(const QString& verb) {
    // Cleared as the field is when emptied and left (a RIC becomes 0000000); a list keeps its
    // item, since it cannot be empty.
    std::vector<ChannelTableModel::Input> inputs;
    for (const auto& [row, column] : SelectedCells())
        if (model_->CellGuard(row, column)) inputs.push_back({row, column, QString()});
    if (inputs.empty()) {
        Say("Select the cells to " + verb.toLower() + " first (RICs, times and messages).");
        return {};
    }
    const auto report = model_->ApplyTexts(verb, "cells", inputs);
    ReportOutcome(verb == "Cut" ? "Cut" : "Deleted", report);
    return report;
}

ChannelTableModel::Report ChannelTable::FillDown() {
    // In each selected column the top cell's value goes to the cells below it; a single row
    // takes the value of the row above.
    std::map<int, std::vector<int>> byColumn;  // visual column -> view rows
    const QHeaderView* header = view_->horizontalHeader();
    for (const QModelIndex& index : view_->selectionModel()->selectedIndexes())
        if (!view_->isColumnHidden(index.column()) && index.column() > kColumnState)
            byColumn[header->visualIndex(index.column())].push_back(index.row());
    std::vector<ChannelTableModel::Input> inputs;
    for (auto& [visual, rows] : byColumn) {
        std::sort(rows.begin(), rows.end());
        const int column = header->logicalIndex(visual);
        int from = rows.front();
        if (rows.size() == 1) {
            if (from == 0) continue;
            from -= 1;
        } else {
            rows.erase(rows.begin());
        }
        const QModelIndex source = filter_->mapToSource(filter_->index(from, column));
        if (!model_->CellField(source.row(), column)) continue;
        const QString value = source.data(kCopyRole).toString();
        for (int viewRow : rows) {
            const int row = filter_->mapToSource(filter_->index(viewRow, column)).row();
            if (model_->CellField(row, column)) inputs.push_back({row, column, value});
        }
    }
    if (inputs.empty()) {
        Say("Select a column of cells to fill: the top one is copied into those below it.");
        return {};
    }
    const auto report = model_->ApplyTexts("Fill Down", "cells", inputs);
    ReportOutcome("Filled", report);
    return report;
}

ChannelTableModel::Report ChannelTable::FillSeries(long long start, long long step) {
    std::vector<ChannelTableModel::Input> inputs;
    long long value = start;
    for (const auto& [row, column] : SelectedCells()) {
        if (column != kColumnRic && column != kColumnLastRic) continue;
        if (!model_->CellField(row, column)) continue;
        inputs.push_back({row, column, QString::number(value)});
        value += step;
    }
    if (inputs.empty()) {
        Say("Select the RIC cells to fill first.");
        return {};
    }
    const auto report = model_->ApplyTexts("Fill Series", "RICs", inputs);
    ReportOutcome("Filled", report);
    return report;
}

void ChannelTable::AskFillSeries() {
    long long first = -1;
    for (const auto& [row, column] : SelectedCells())
        if ((column == kColumnRic || column == kColumnLastRic) && model_->CellField(row, column)) {
            const auto v = report::DecimalValue(
                model_->index(row, column).data(kCopyRole).toString().toStdString());
            first = v ? *v : 0;
            break;
        }
    if (first < 0) {
        Say("Select the RIC cells to fill first.");
        return;
    }
    QDialog dialog(this);
    dialog.setObjectName("dlgFillSeries");
    dialog.setWindowTitle("Fill Series");
    auto* form = new QFormLayout;
    auto* start = new QLineEdit(QString::number(first), &dialog);
    start->setObjectName("txtSeriesStart");
    auto* step = new QLineEdit("1", &dialog);
    step->setObjectName("txtSeriesStep");
    form->addRow("&Start RIC:", start);
    form->addRow("S&tep:", step);
    auto* note = new QLabel(
        "The selected RIC cells take the start, start + step, ... in reading order.", &dialog);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    dialog.resize(360, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) return;
    bool okStart = false, okStep = false;
    const long long s = start->text().trimmed().toLongLong(&okStart);
    const long long d = step->text().trimmed().toLongLong(&okStep);
    if (!okStart || !okStep) {
        Say("Not filled: the start and the step must be whole numbers.");
        return;
    }
    FillSeries(s, d);
}

bool ChannelTable::FindNext(const QString& text, Qt::CaseSensitivity cs) {
    if (text.isEmpty()) return false;
    const int rows = filter_->rowCount();
    if (rows == 0 || view_->isColumnHidden(kColumnMessage)) {
        Say(QString("'%1' not found: no messages are shown.").arg(text));
        return false;
    }
    const QModelIndex current = view_->currentIndex();
    int start = current.isValid() ? current.row() : -1;
    if (current.isValid() && current.column() != kColumnMessage) start -= 1;
    for (int k = 1; k <= rows; ++k) {
        const int viewRow = (start + k + rows) % rows;
        const QModelIndex index = filter_->index(viewRow, kColumnMessage);
        const QModelIndex source = filter_->mapToSource(index);
        if (!model_->CellField(source.row(), kColumnMessage)) continue;
        if (!index.data(Qt::DisplayRole).toString().contains(text, cs)) continue;
        view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        view_->scrollTo(index);
        Say(QString("Found '%1' in %2.").arg(text, model_->RowName(source.row())));
        return true;
    }
    Say(QString("'%1' not found in the messages shown.").arg(text));
    return false;
}

ChannelTableModel::Report ChannelTable::ReplaceAll(const QString& find, const QString& replacement,
                                                   Qt::CaseSensitivity cs, bool selectedOnly) {
    if (find.isEmpty()) {
        Say("Type the text to find first.");
        return {};
    }
    std::vector<int> rows;
    if (selectedOnly) {
        for (const auto& [row, column] : SelectedCells())
            if (column == kColumnMessage) rows.push_back(row);
    } else {
        for (int r = 0; r < filter_->rowCount(); ++r)
            rows.push_back(filter_->mapToSource(filter_->index(r, 0)).row());
    }
    std::vector<ChannelTableModel::Input> inputs;
    for (int row : rows) {
        if (!model_->CellField(row, kColumnMessage)) continue;
        QString text = model_->index(row, kColumnMessage).data(Qt::DisplayRole).toString();
        if (!text.contains(find, cs)) continue;
        text.replace(find, replacement, cs);
        inputs.push_back({row, kColumnMessage, text});
    }
    if (inputs.empty()) {
        Say(QString("'%1' not found in the messages %2.")
                .arg(find, selectedOnly ? "selected" : "shown"));
        return {};
    }
    const auto report = model_->ApplyTexts("Replace in", "messages", inputs);
    ReportOutcome("Replaced in", report);
    return report;
}

ChannelTableModel::Report ChannelTable::ReplaceCurrent(const QString& find,
                                                       const QString& replacement,
                                                       Qt::CaseSensitivity cs) {
    ChannelTableModel::Report report;
    const QModelIndex current = view_->currentIndex();
    if (!find.isEmpty() && current.isValid() && current.column() == kColumnMessage) {
        const QModelIndex source = filter_->mapToSource(current);
        QString text = current.data(Qt::DisplayRole).toString();
        if (model_->CellField(source.row(), kColumnMessage) && text.contains(find, cs)) {
            text.replace(find, replacement, cs);
            report = model_->ApplyTexts("Replace in", "messages",
                                        {{source.row(), kColumnMessage, text}});
            ReportOutcome("Replaced in", report);
        }
    }
    FindNext(find, cs);
    return report;
}

void ChannelTable::ShowFindReplace() {
    show();
    raise();
    activateWindow();
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
    findDialog_->Start();
}

void ChannelTable::ReportOutcome(const QString& done, const ChannelTableModel::Report& r,
                                 const QStringList& extra) {
    if (!r.refusedBecause.isEmpty()) {
        Say(r.refusedBecause);
        return;
    }
    const int offered = r.taken + static_cast<int>(r.refused.size());
    const QString unit = offered == 1 ? "cell" : "cells";
    QString line = r.refused.empty()
                       ? QString("%1 %2 %3").arg(done).arg(r.taken).arg(unit)
                       : QString("%1 %2 of %3 %4").arg(done).arg(r.taken).arg(offered).arg(unit);
    if (r.taken > 0 && r.changed == 0) line += " (nothing changed)";
    if (!r.refused.empty())
        line += QString("; %1 refused, marked red (the tool-tip says why)").arg(r.refused.size());
    if (!r.converted.empty())
        line += QString("; %1 taken in another form, marked yellow").arg(r.converted.size());
    for (const QString& e : extra) line += "; " + e.left(e.size() - 1).toLower();
    Say(line + ".");
    if (r.refused.empty() && r.converted.empty() && extra.isEmpty()) return;

    QStringList parts;
    parts << line + ".";
    auto list = [](const QString& heading, const std::vector<QString>& items) {
        std::vector<std::string> lines;
        for (const QString& i : items) lines.push_back(i.toStdString());
        return WithList(heading, lines);
    };
    if (!r.refused.empty())
        parts << list("Refused, by row (these cells keep their values):", r.refused);
    if (!r.converted.empty()) parts << list("Taken in another form, by row:", r.converted);
    for (const QString& e : extra) parts << e;
    const QString text = parts.join("\n\n");
    const MessageKind kind =
        r.refused.empty() && extra.isEmpty() ? MessageKind::kInformation : MessageKind::kWarning;
    if (reporter_ && reporter_(text, kind)) return;
    QMessageBox box(kind == MessageKind::kWarning ? QMessageBox::Warning : QMessageBox::Information,
                    AppTitle(), text, QMessageBox::Ok, this);
    box.setObjectName("msgBox");
    box.exec();
}

}  // namespace orv::ui
