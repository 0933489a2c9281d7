// The Channel Table window: every channel state and relay action of the fitted banks in one
// table, edited like a spreadsheet (type to edit, Enter and Tab move, ranges, Copy and Paste as
// tab-separated text, Cut, Delete, Fill Down, Fill Series, Find & Replace in messages), over the
// main window's record. Its shortcuts are its own: Ctrl+A selects all and Ctrl+X cuts here,
// while on the main window they stay Save As and Exit.
#pragma once

#include <QMainWindow>
#include <functional>

#include "ui/channel_table_model.h"
#include "ui/status_view.h"

class QAction;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

namespace orv::ui {

class ChannelTableFilter;
class FindReplaceDialog;
class RecordEdits;

class ChannelTable : public QMainWindow {
    Q_OBJECT
  public:
    ChannelTable(const ConfigRecord& rec, const ModuleTypes& moduleTypes, RecordEdits& edits,
                 QWidget* parent);
    ~ChannelTable() override;

    ChannelTableModel* model() const { return model_; }
    QSortFilterProxyModel* proxy() const;
    QTableView* view() const { return view_; }
    QAction* action(const char* name) const;

    // Where the reports of a paste, fill or replace go: a message box over this window unless
    // the reporter takes them (returns true).
    using Reporter = std::function<bool(const QString& text, MessageKind kind)>;
    void setReporter(Reporter reporter) { reporter_ = std::move(reporter); }

    // Rows of one bank (0..3) or of all (-1); rows holding a text, in any cell, any case.
    void SetBankFilter(int bank);
    void SetTextFilter(const QString& text);

    // What Copy puts on the clipboard for the selected cells: tab-separated lines.
    QString SelectedText() const;
    // Tab-separated text into the table at the selection, as Paste does with the clipboard's.
    ChannelTableModel::Report PasteText(const QString& text);
    ChannelTableModel::Report FillDown();
    ChannelTableModel::Report FillSeries(long long start, long long step);
    ChannelTableModel::Report DeleteSelected(const QString& verb = "Delete");
    // Selects the next message cell (after the current one, wrapping) holding text.
    bool FindNext(const QString& text, Qt::CaseSensitivity cs);
    // Replaces text in every message the table shows (or the selected ones), as one step.
    ChannelTableModel::Report ReplaceAll(const QString& find, const QString& replacement,
                                         Qt::CaseSensitivity cs, bool selectedOnly);
    // Replaces text in the current message cell if it holds it, then finds the next.
    ChannelTableModel::Report ReplaceCurrent(const QString& find, const QString& replacement,
                                             Qt::CaseSensitivity cs);
    void ShowFindReplace();
    QDialog* findReplaceDialog() const;

    // The line at the bottom: what the last action did.
    QString StatusText() const;
    void Say(const QString& text);

    // The record was replaced or rearranged; an exchange begins or ends.
    void Follow();
    void Freeze(const QString& why);
    void Thaw();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildActions();
    void ShowStatus();
    void Copy();
    void Paste();
    void Cut();
    void AskFillSeries();
    void UpdateShownKinds();
    // Selected cells in view order (rows top to bottom, columns as the header shows them),
    // as model rows and columns.
    std::vector<std::pair<int, int>> SelectedCells() const;
    // Visible columns in header order.
    std::vector<int> VisibleColumns() const;
    // The action's outcome on the status line, and in a message when cells were refused or
    // converted.
    void ReportOutcome(const QString& done, const ChannelTableModel::Report& r,
                       const QStringList& extra = {});

    RecordEdits& edits_;
    ChannelTableModel* model_ = nullptr;
    ChannelTableFilter* filter_ = nullptr;
    QTableView* view_ = nullptr;
    QComboBox* lstBank_ = nullptr;
    QLineEdit* txtFilter_ = nullptr;
    QLabel* lblRows_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QString statusText_;
    FindReplaceDialog* findDialog_ = nullptr;
    Reporter reporter_;
    bool columnsFitted_ = false;
    int stateWidth_ = 0;  // every trigger caption whole
};

}  // namespace orv::ui
