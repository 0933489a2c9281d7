// The channel table as a Qt table model over the main window's one record: one row per channel
// state of each input bank the pages show and one per relay action of each relay bank, each cell
// one element of a record field (through the field table). Nothing is copied: a cell shows what
// the record holds, and a change goes through RecordEdits as an undo step, after the same checks
// the page's field makes (the key filter while typing, the leave check when it is committed).
// A cell the check refuses keeps its value and is marked, with the reason as its tool-tip.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "model/field_ref.h"
#include "model/record.h"
#include "validate/validate.h"

namespace orv::ui {

class RecordEdits;

enum class RowKind { kChannelState, kRelayAction };

struct TableRow {
    RowKind kind = RowKind::kChannelState;
    int bank = 0;
    int unit = 0;   // channel 0..15, or relay output 0..7
    int which = 0;  // trigger state 0..3, or action 0..2 (Close, Open, Toggle)
    bool operator==(const TableRow&) const = default;
};

enum TableColumn : int {
    kColumnBank,
    kColumnChannel,  // the relay's output on relay rows
    kColumnState,    // the action on relay rows
    kColumnRic,      // the first RIC of the range on relay rows
    kColumnLastRic,  // relay rows only
    kColumnBeep,
    kColumnType,  // input rows only, up to Message
    kColumnBaud,
    kColumnRepeat,
    kColumnMessage,
    kColumnSeconds,  // relay rows only: TMax (Close), Repeat Filter (Toggle)
    kTableColumns
};

// Whether a column belongs to rows of a kind (the naming columns belong to both).
bool ColumnApplies(RowKind kind, int column);

// What becomes of a text offered to a cell (typed, pasted, filled or replaced).
struct CellOutcome {
    enum Kind {
        kTaken,    // value goes into the field
        kSkipped,  // nothing to do: an empty text for a cell without a field, the row's own name
        kRefused,  // note says why; the field keeps its value
    };
    Kind kind = kSkipped;
    FieldRef ref;
    FieldValue value;
    QString note;  // why refused, or what was converted on the way in (kTaken)
};

// Roles beyond Qt's: the text a copy puts on the clipboard, the value sorting compares.
inline constexpr int kCopyRole = Qt::UserRole + 1;
inline constexpr int kSortRole = Qt::UserRole + 2;
// Whether the cell's column belongs to its row's kind (ColumnApplies).
inline constexpr int kAppliesRole = Qt::UserRole + 3;

class ChannelTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    ChannelTableModel(const ConfigRecord& rec, const ModuleTypes& moduleTypes, RecordEdits& edits,
                      QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A text from the editor (a choice's position from its list): checked, then one undo step.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    const TableRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    // The field element a cell shows; nullopt for the naming columns and cells that do not apply.
    std::optional<FieldRef> CellField(int row, int column) const;
    // The cell showing an element, if any row shows it.
    std::optional<std::pair<int, int>> CellOf(FieldRef ref) const;
    // The guard of a text cell's field (nullopt for choices and cells without a field).
    std::optional<FieldGuard> CellGuard(int row, int column) const;
    // "Bank 1 channel 3 RESET", "Bank 2 relay 1 Close".
    QString RowName(int row) const;
    // The State cell of an input row: "RESET: Normally Closed - Trigger on open".
    static QString StateText(int moduleType, int state);
    QString ColumnName(int column) const;

    // What offering text to a cell would do. Numbers may come with blanks around them (a
    // spreadsheet's cell); a choice takes its item's text in any case.
    CellOutcome Offer(int row, int column, const QString& text) const;

    // One action over many cells: each offered text is checked as Offer does; what is taken
    // becomes one undo step named "<verb> <n> cells" (unit names what the cells are: "cells",
    // "RICs", "messages"). Refused cells are marked, converted ones noted.
    struct Input {
        int row;
        int column;
        QString text;
    };
    struct Report {
        int taken = 0;                   // cells whose text was accepted
        int changed = 0;                 // elements the step changed
        std::vector<QString> refused;    // "Bank 1 channel 3 RESET, RIC: <why>"
        std::vector<QString> converted;  // the same for texts taken in another form
        QString stepName;                // the undo step, empty when nothing changed
        QString refusedBecause;          // the whole action was refused (an exchange runs)
    };
    Report ApplyTexts(const QString& verb, const QString& unit, const std::vector<Input>& inputs);

    // Cells marked by a refusal or a conversion (with the note shown as the tool-tip).
    std::optional<QString> Mark(int row, int column) const;
    bool IsRefusedMark(int row, int column) const;
    void ClearMarks();

    // The record's rows and values may have changed wholesale (module types, a file, a Read).
    void Follow();
    // While an exchange runs its worker uses the record: the table shows what the record held
    // when it began (and what the exchange showed since) and takes no edits.
    void Freeze();
    void Thaw();
    bool IsFrozen() const { return frozen_.has_value(); }

    // Which kinds of rows the view shows, for the headers ("Channel", "Relay", both); true when
    // that changed.
    bool SetShownKinds(bool inputs, bool relays);

  signals:
    // A cell edit was refused (the reason) or taken in another form (what became of it).
    void CellNoted(int row, int column, const QString& note, bool refused);

  private:
    void FieldsChanged(const std::vector<FieldRef>& refs);
    // One dataChanged over the cells that show these fields.
    void EmitCellsChanged(const std::vector<FieldRef>& refs);
    std::vector<TableRow> BuildRows() const;
    void IndexCells();
    const ConfigRecord& Rec() const { return frozen_ ? frozen_->rec : rec_; }
    const ModuleTypes& Types() const { return frozen_ ? frozen_->types : moduleTypes_; }
    QString DisplayText(int row, int column) const;
    QString CopyText(int row, int column) const;

    struct Frozen {
        ConfigRecord rec;
        ModuleTypes types;
    };
    struct Note {
        QString text;
        bool refused;
    };
    const ConfigRecord& rec_;
    const ModuleTypes& moduleTypes_;
    RecordEdits& edits_;
    std::optional<Frozen> frozen_;
    std::vector<TableRow> rows_;
    QHash<std::uint32_t, std::pair<int, int>> cellOf_;  // FieldRef::Key() -> row, column
    QHash<std::uint32_t, Note> marks_;                  // FieldRef::Key() -> note
    bool showsInputs_ = true;
    bool showsRelays_ = true;
};

}  // namespace orv::ui
