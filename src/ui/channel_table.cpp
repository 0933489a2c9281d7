#include "ui/channel_table.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/channel_table_grid.h"
#include "ui/qt_text.h"
#include "ui/record_edits.h"
#include "ui/undo_actions.h"

namespace orv::ui {

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

    view_ = MakeChannelGrid(model_, filter_, central);
    view_->setObjectName("tblChannels");
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
            state =
                std::max(state, metrics.horizontalAdvance(ChannelTableModel::StateText(type, s)));
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

}  // namespace orv::ui
