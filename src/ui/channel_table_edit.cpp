// The Channel Table's editing commands: Copy, Paste, Cut, Delete, Fill Down, Fill Series and
// Find & Replace, each over the selected (or shown) cells and each one undo step, and the report
// of what it took, converted and refused.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "report/csv.h"
#include "report/names.h"
#include "ui/channel_table.h"
#include "ui/channel_table_grid.h"
#include "ui/qt_text.h"

namespace orv::ui {

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

QDialog* ChannelTable::findReplaceDialog() const {
    return findDialog_;
}

void ChannelTable::ShowFindReplace() {
    if (!findDialog_) findDialog_ = new FindReplaceDialog(this);
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
