// The grid of the Channel Table: its filter by bank and text, and the table view with its cell
// editors (a text field with the key filter of the cell's field, or the field's item list), where
// a typed key replaces the cell, Enter moves down and Tab right, as in a spreadsheet.
#pragma once

#include <QSortFilterProxyModel>
#include <QString>

class QTableView;
class QWidget;

namespace orv::ui {

class ChannelTableModel;

class ChannelTableFilter : public QSortFilterProxyModel {
  public:
    explicit ChannelTableFilter(QObject* parent);
    // Rows of one bank (0..3) or of all (-1).
    void SetBank(int bank);
    // Rows holding the text in any cell, in any case; empty: every row.
    void SetText(const QString& text);

  protected:
    bool lessThan(const QModelIndex& a, const QModelIndex& b) const override;
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

  private:
    int bank_ = -1;
    QString text_;
};

// The view over filter (whose source is model), with its editors.
QTableView* MakeChannelGrid(ChannelTableModel* model, QSortFilterProxyModel* filter,
                            QWidget* parent);

}  // namespace orv::ui
