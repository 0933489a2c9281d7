#include "ui/channel_table_model.h"

#include <QColor>
#include <algorithm>
#include <array>
#include <span>

#include "model/lists.h"
#include "model/message_text.h"
#include "model/rules.h"
#include "model/time_steps.h"
#include "report/names.h"
#include "ui/qt_text.h"
#include "ui/record_edits.h"
#include "validate/guarded_fields.h"

namespace orv::ui {
namespace {

// The item list a choice cell offers, with the words a refusal names its items by.
struct ChoiceList {
    std::span<const ListItem> items;
    const char* what;
    const char* choices;
};

template <std::size_t N>
ChoiceList List(const std::array<ListItem, N>& items, const char* what, const char* choices) {
    return {std::span<const ListItem>(items), what, choices};
}

std::optional<ChoiceList> ChoiceListOf(RowKind kind, int column) {
    const bool relay = kind == RowKind::kRelayAction;
    switch (column) {
        case kColumnBeep:
            return relay ? List(kRelayBeepItems, "beep", "A, B, C, D or ALL")
                         : List(kFuncItems, "beep", "A, B, C or D");
        case kColumnType:
            return List(kTypeItems, "pager type", "Alpha or Num.");
        case kColumnBaud:
            return List(kPagingBaudItems, "paging rate", "512, 1200 or 2400");
        case kColumnRepeat:
            return List(kRepeatItems, "repeat time", "A, B, C or D");
        default:
            return std::nullopt;
    }
}

// Spellings a spreadsheet may hold for a pager type, as the channel table import takes them.
std::optional<int> PagerTypeAlias(const QString& text) {
    for (const char* alias : {"Num", "Numeric"})
        if (text.compare(alias, Qt::CaseInsensitive) == 0) return 1;
    return std::nullopt;
}

const QColor kRefusedColour(255, 205, 205);
const QColor kConvertedColour(255, 238, 186);
const QColor kNoFieldColour(236, 236, 236);

}  // namespace

bool ColumnApplies(RowKind kind, int column) {
    switch (column) {
        case kColumnBank:
        case kColumnChannel:
        case kColumnState:
        case kColumnRic:
        case kColumnBeep:
            return true;
        case kColumnLastRic:
        case kColumnSeconds:
            return kind == RowKind::kRelayAction;
        case kColumnType:
        case kColumnBaud:
        case kColumnRepeat:
        case kColumnMessage:
            return kind == RowKind::kChannelState;
        default:
            return false;
    }
}

ChannelTableModel::ChannelTableModel(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                                     RecordEdits& edits, QObject* parent)
    : QAbstractTableModel(parent), rec_(rec), moduleTypes_(moduleTypes), edits_(edits) {
    setObjectName("channelTableModel");
    rows_ = BuildRows();
    IndexCells();
    connect(&edits_, &RecordEdits::FieldsChanged, this,
            [this](const std::vector<FieldRef>& refs, bool) { FieldsChanged(refs); });
}

std::vector<TableRow> ChannelTableModel::BuildRows() const {
    std::vector<TableRow> rows;
    for (int b = 0; b < kBanks; ++b) {
        const int type = Types()[static_cast<std::size_t>(b)];
        const report::BankKind kind = report::KindOf(type);
        if (kind == report::BankKind::kInputs) {
            for (int c = 0; c < kChannelsPerBank; ++c)
                for (int s = 0; s < kStatesPerChannel; ++s)
                    if (report::StateShown(type, s))
                        rows.push_back({RowKind::kChannelState, b, c, s});
        } else if (kind == report::BankKind::kRelays) {
            for (int o = 0; o < kRelayOutputsPerBank; ++o)
                for (int a = 0; a < 3; ++a) rows.push_back({RowKind::kRelayAction, b, o, a});
        }
    }
    return rows;
}

void ChannelTableModel::IndexCells() {
    cellOf_.clear();
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r)
        for (int c = kColumnRic; c < kTableColumns; ++c)
            if (const auto ref = CellField(r, c)) cellOf_.insert(ref->Key(), {r, c});
}

int ChannelTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ChannelTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTableColumns;
}

std::optional<FieldRef> ChannelTableModel::CellField(int row, int column) const {
    if (row < 0 || row >= rowCount()) return std::nullopt;
    const TableRow& t = Row(row);
    if (t.kind == RowKind::kChannelState) {
        const auto i = static_cast<std::size_t>(ChannelStateIndex(t.bank, t.unit, t.which));
        switch (column) {
            case kColumnRic:
                return RefOf<&ConfigRecord::txtRIC>(i);
            case kColumnBeep:
                return RefOf<&ConfigRecord::lstFunc>(i);
            case kColumnType:
                return RefOf<&ConfigRecord::lstType>(i);
            case kColumnBaud:
                return RefOf<&ConfigRecord::lstBaud>(i);
            case kColumnRepeat:
                return RefOf<&ConfigRecord::lstRepeat>(i);
            case kColumnMessage:
                return RefOf<&ConfigRecord::txtMsg>(i);
            default:
                return std::nullopt;
        }
    }
    const int relay = RelayIndex(t.bank, t.unit);
    auto slot = [relay](int s) {
        return RefOf<&ConfigRecord::txtRlyRIC>(static_cast<std::size_t>(RelayRicIndex(relay, s)));
    };
    switch (column) {
        case kColumnRic:
            return slot(t.which);  // Close 0, Open 1, Toggle 2
        case kColumnLastRic:
            return slot(t.which + 4);
        case kColumnBeep:
            return RefOf<&ConfigRecord::lstRlyBeep>(
                static_cast<std::size_t>(RelayBeepIndex(relay, t.which)));
        case kColumnSeconds:
            if (t.which == kActionClose) return slot(kSlotCloseTMax);
            if (t.which == kActionToggle) return slot(kSlotToggleRepeatFilter);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::optional<std::pair<int, int>> ChannelTableModel::CellOf(FieldRef ref) const {
    const auto it = cellOf_.constFind(ref.Key());
    if (it == cellOf_.constEnd()) return std::nullopt;
    return it.value();
}

std::optional<FieldGuard> ChannelTableModel::CellGuard(int row, int column) const {
    const auto ref = CellField(row, column);
    if (!ref) return std::nullopt;
    return GuardOfField(*ref);
}

QString ChannelTableModel::RowName(int row) const {
    const TableRow& t = Row(row);
    if (t.kind == RowKind::kChannelState)
        return QString("Bank %1 channel %2 %3")
            .arg(t.bank + 1)
            .arg(t.unit + 1)
            .arg(FromRecord(kStateNames[static_cast<std::size_t>(t.which)]));
    return QString("Bank %1 relay %2 %3")
        .arg(t.bank + 1)
        .arg(t.unit + 1)
        .arg(FromRecord(report::kActionNames[static_cast<std::size_t>(t.which)]));
}

QString ChannelTableModel::ColumnName(int column) const {
    return headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

bool ChannelTableModel::SetShownKinds(bool inputs, bool relays) {
    if (inputs == showsInputs_ && relays == showsRelays_) return false;
    showsInputs_ = inputs;
    showsRelays_ = relays;
    emit headerDataChanged(Qt::Horizontal, 0, kTableColumns - 1);
    return true;
}

QVariant ChannelTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    const bool both = showsInputs_ == showsRelays_;
    auto pick = [&](const char* input, const char* relay, const char* mixed) {
        return QString(both ? mixed : showsRelays_ ? relay : input);
    };
    if (role == Qt::DisplayRole) {
        switch (section) {
            case kColumnBank:
                return "Bank";
            case kColumnChannel:
                return pick("Channel", "Relay", "Channel / Relay");
            case kColumnState:
                return pick("State", "Action", "State / Action");
            case kColumnRic:
                return pick("RIC", "First RIC", "RIC / First RIC");
            case kColumnLastRic:
                return "Last RIC";
            case kColumnBeep:
                return "Beep";
            case kColumnType:
                return "Type";
            case kColumnBaud:
                return "Baud";
            case kColumnRepeat:
                return "Repeat";
            case kColumnMessage:
                return "Message";
            case kColumnSeconds:
                return "TMax / Repeat Filter (s)";
            default:
                return {};
        }
    }
    if (role == Qt::ToolTipRole) {
        switch (section) {
            case kColumnRic:
                return FromRecord(tip::kRIC);
            case kColumnLastRic:
                return "Last RIC of a relay action's range";
            case kColumnBeep:
                return FromRecord(tip::kRelayBeep);
            case kColumnType:
                return FromRecord(tip::kType);
            case kColumnBaud:
                return FromRecord(tip::kPagingBaud);
            case kColumnRepeat:
                return FromRecord(tip::kRepeat);
            case kColumnMessage:
                return FromRecord(tip::kMsg);
            case kColumnSeconds:
                return "Close: TMax, Toggle: Repeat Filter, in whole seconds";
            default:
                return {};
        }
    }
    return {};
}

QString ChannelTableModel::DisplayText(int row, int column) const {
    const TableRow& t = Row(row);
    const bool relay = t.kind == RowKind::kRelayAction;
    switch (column) {
        case kColumnBank:
            return QString::number(t.bank + 1);
        case kColumnChannel:
            return QString::number(t.unit + 1);
        case kColumnState:
            if (relay) return FromRecord(report::kActionNames[static_cast<std::size_t>(t.which)]);
            return StateText(Types()[static_cast<std::size_t>(t.bank)], t.which);
        default:
            break;
    }
    const auto ref = CellField(row, column);
    if (!ref) return {};
    const FieldValue value = GetFieldValue(Rec(), *ref);
    if (const auto* text = std::get_if<std::string>(&value)) return FromRecord(*text);
    if (const auto* position = std::get_if<int>(&value)) {
        const auto list = ChoiceListOf(t.kind, column);
        if (!list || *position < 0 || *position >= static_cast<int>(list->items.size())) return {};
        return FromRecord(list->items[static_cast<std::size_t>(*position)].text);
    }
    return {};
}

QString ChannelTableModel::StateText(int moduleType, int state) {
    return FromRecord(kStateNames[static_cast<std::size_t>(state)]) + ": " +
           FromRecord(ChannelStateCaption(moduleType, state));
}

QString ChannelTableModel::CopyText(int row, int column) const {
    const TableRow& t = Row(row);
    if (column == kColumnState)
        return FromRecord(t.kind == RowKind::kRelayAction
                              ? report::kActionNames[static_cast<std::size_t>(t.which)]
                              : kStateNames[static_cast<std::size_t>(t.which)]);
    return DisplayText(row, column);
}

QVariant ChannelTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int row = index.row(), column = index.column();
    const TableRow& t = Row(row);
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return DisplayText(row, column);
        case kCopyRole:
            return CopyText(row, column);
        case kAppliesRole:
            return ColumnApplies(t.kind, column);
        case kSortRole: {
            // One type per column, so that any two cells of it compare.
            if (column == kColumnMessage) return DisplayText(row, column).toLower();
            if (column == kColumnBank) return qlonglong{t.bank};
            if (column == kColumnChannel) return qlonglong{t.unit};
            if (column == kColumnState) return qlonglong{t.which};
            const auto ref = CellField(row, column);
            if (!ref) return qlonglong{-1};
            const FieldValue value = GetFieldValue(Rec(), *ref);
            if (const auto* position = std::get_if<int>(&value)) return qlonglong{*position};
            const auto number = report::DecimalValue(std::get<std::string>(value));
            return number ? static_cast<qlonglong>(*number) : qlonglong{-1};
        }
        case Qt::ToolTipRole: {
            if (const auto note = Mark(row, column)) return *note;
            if (column == kColumnState || column == kColumnMessage) return DisplayText(row, column);
            return {};
        }
        case Qt::BackgroundRole: {
            if (const auto ref = CellField(row, column)) {
                const auto it = marks_.constFind(ref->Key());
                if (it != marks_.constEnd()) return it->refused ? kRefusedColour : kConvertedColour;
                return {};
            }
            if (column > kColumnState) return kNoFieldColour;
            return {};
        }
        default:
            return {};
    }
}

Qt::ItemFlags ChannelTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!frozen_ && CellField(index.row(), index.column())) f |= Qt::ItemIsEditable;
    return f;
}

CellOutcome ChannelTableModel::Offer(int row, int column, const QString& text) const {
    CellOutcome out;
    if (row < 0 || row >= rowCount() || column < 0 || column >= kTableColumns) {
        out.kind = CellOutcome::kRefused;
        out.note = "outside the table";
        return out;
    }
    const TableRow& t = Row(row);
    const QString trimmed = text.trimmed();
    if (column <= kColumnState) {
        // A copied row pasted back over itself brings its own name along.
        if (trimmed.compare(CopyText(row, column), Qt::CaseInsensitive) == 0 ||
            trimmed.compare(DisplayText(row, column), Qt::CaseInsensitive) == 0)
            return out;
        out.kind = CellOutcome::kRefused;
        out.note = QString("'%1' not taken: %2 names the row and cannot be changed here")
                       .arg(text, ColumnName(column));
        return out;
    }
    const auto ref = CellField(row, column);
    if (!ref) {
        if (trimmed.isEmpty()) return out;
        out.kind = CellOutcome::kRefused;
        const QString what = column == kColumnSeconds ? QString("TMax or Repeat Filter")
                                                      : ColumnName(column).toLower();
        out.note = QString("'%1' not taken: %2 has no %3")
                       .arg(text,
                            t.kind == RowKind::kChannelState ? QString("an input channel")
                            : t.which == kActionOpen         ? QString("an Open action")
                                                             : QString("a relay action"),
                            what);
        return out;
    }
    out.ref = *ref;
    if (const auto list = ChoiceListOf(t.kind, column)) {
        std::optional<int> position;
        for (std::size_t p = 0; p < list->items.size() && !position; ++p)
            if (trimmed.compare(FromRecord(list->items[p].text), Qt::CaseInsensitive) == 0)
                position = static_cast<int>(p);
        if (!position && column == kColumnType) position = PagerTypeAlias(trimmed);
        if (!position) {
            out.kind = CellOutcome::kRefused;
            out.note =
                trimmed.isEmpty()
                    ? QString("no %1 given: use %2").arg(list->what, list->choices)
                    : QString("'%1' is not a %2: use %3").arg(trimmed, list->what, list->choices);
            return out;
        }
        out.kind = CellOutcome::kTaken;
        out.value = *position;
        return out;
    }
    const FieldGuard guard = GuardOfField(*ref).value_or(FieldGuard::kMessage);
    if (guard == FieldGuard::kMessage) {
        // As a paste into the message field: what the unit cannot store is said, not hidden.
        const UnitMessage m = MessageForUnit(text.toUtf8().toStdString());
        out.kind = CellOutcome::kTaken;
        out.value = m.text;
        if (m.changed()) out.note = FromMessageText(DescribeMessageChanges(m));
        return out;
    }
    // The field's leave check, on the number without the blanks a spreadsheet cell may carry.
    const LeaveResult r = LeaveCheck(guard, ToRecord(trimmed));
    if (r.keepFocus) {
        out.kind = CellOutcome::kRefused;
        out.note = FromRecord(r.message.value_or(r.newText + " was not taken"));
        return out;
    }
    out.kind = CellOutcome::kTaken;
    out.value = r.newText;
    if (r.roundedFrom)
        out.note = QString("%1 is stored as %2").arg(FromRecord(*r.roundedFrom), r.newText.c_str());
    return out;
}

bool ChannelTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) return false;
    const int row = index.row(), column = index.column();
    QString text = value.toString();
    // A choice editor hands over the position it chose.
    if (value.typeId() == QMetaType::Int) {
        const auto list = ChoiceListOf(Row(row).kind, column);
        const int p = value.toInt();
        if (list && p >= 0 && p < static_cast<int>(list->items.size()))
            text = FromRecord(list->items[static_cast<std::size_t>(p)].text);
    }
    const auto ref = CellField(row, column);
    if (!ref) return false;
    const bool choice = ChoiceListOf(Row(row).kind, column).has_value();
    const QString verb = choice ? "Change" : "Edit";
    const std::vector<Input> inputs{{row, column, text}};
    const Report r = ApplyTexts(verb, QString(), inputs);
    if (!r.refusedBecause.isEmpty()) {
        emit CellNoted(row, column, r.refusedBecause, true);
        return false;
    }
    if (!r.refused.empty()) {
        emit CellNoted(row, column, r.refused.front(), true);
        return false;
    }
    emit CellNoted(row, column, r.converted.empty() ? QString() : r.converted.front(), false);
    return true;
}

ChannelTableModel::Report ChannelTableModel::ApplyTexts(const QString& verb, const QString& unit,
                                                        const std::vector<Input>& inputs) {
    Report report;
    // One cell is named as its field on the pages is; many by their number.
    const bool single = unit.isEmpty();
    report.refusedBecause = edits_.Refusal(verb);
    if (!report.refusedBecause.isEmpty()) return report;

    std::vector<FieldEdit> edits;
    std::vector<std::pair<FieldRef, Note>> notes;
    for (const Input& in : inputs) {
        const CellOutcome o = Offer(in.row, in.column, in.text);
        const auto ref = CellField(in.row, in.column);
        const QString cell =
            ref ? FromMessageText(FieldLabel(*ref)) : RowName(in.row) + " " + ColumnName(in.column);
        if (o.kind == CellOutcome::kRefused) {
            report.refused.push_back(cell + ": " + o.note);
            if (ref) notes.push_back({*ref, {o.note, true}});
        } else if (o.kind == CellOutcome::kTaken) {
            ++report.taken;
            edits.push_back({o.ref, {}, o.value});
            if (!o.note.isEmpty()) {
                report.converted.push_back(cell + ": " + o.note);
                notes.push_back({o.ref, {o.note, false}});
            }
        }
    }
    QString stepName;
    if (single && inputs.size() == 1 && !edits.empty())
        stepName = verb + " " + FromMessageText(FieldLabel(edits.front().ref));
    else
        stepName = QString("%1 %2 %3")
                       .arg(verb)
                       .arg(report.taken)
                       .arg(report.taken == 1 && unit.endsWith('s') ? unit.chopped(1) : unit);
    const std::vector<FieldRef> changed = edits_.Apply(stepName, edits);
    report.changed = static_cast<int>(changed.size());
    if (!changed.empty()) report.stepName = stepName;

    // The step cleared the marks of what it changed; now the marks of this action.
    std::vector<FieldRef> marked;
    for (const auto& [ref, note] : notes) {
        marks_.insert(ref.Key(), note);
        marked.push_back(ref);
    }
    EmitCellsChanged(marked);
    return report;
}

void ChannelTableModel::FieldsChanged(const std::vector<FieldRef>& refs) {
    for (const FieldRef& ref : refs) marks_.remove(ref.Key());
    EmitCellsChanged(refs);
}

void ChannelTableModel::EmitCellsChanged(const std::vector<FieldRef>& refs) {
    int top = rowCount(), bottom = -1, left = kTableColumns, right = -1;
    for (const FieldRef& ref : refs) {
        if (const auto at = CellOf(ref)) {
            top = std::min(top, at->first);
            bottom = std::max(bottom, at->first);
            left = std::min(left, at->second);
            right = std::max(right, at->second);
        }
    }
    // One signal for the lot: a paste of a thousand cells is sorted and filtered once.
    if (bottom >= 0) emit dataChanged(index(top, left), index(bottom, right));
}

std::optional<QString> ChannelTableModel::Mark(int row, int column) const {
    const auto ref = CellField(row, column);
    if (!ref) return std::nullopt;
    const auto it = marks_.constFind(ref->Key());
    if (it == marks_.constEnd()) return std::nullopt;
    return it->text;
}

bool ChannelTableModel::IsRefusedMark(int row, int column) const {
    const auto ref = CellField(row, column);
    if (!ref) return false;
    const auto it = marks_.constFind(ref->Key());
    return it != marks_.constEnd() && it->refused;
}

void ChannelTableModel::ClearMarks() {
    if (marks_.isEmpty()) return;
    marks_.clear();
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, kTableColumns - 1));
}

void ChannelTableModel::Follow() {
    if (frozen_) frozen_ = Frozen{rec_, moduleTypes_};  // the exchange waits while it is shown
    std::vector<TableRow> rows = BuildRows();
    if (rows == rows_) {
        if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kTableColumns - 1));
        return;
    }
    beginResetModel();
    rows_ = std::move(rows);
    IndexCells();
    endResetModel();
}

void ChannelTableModel::Freeze() {
    frozen_ = Frozen{rec_, moduleTypes_};
}

void ChannelTableModel::Thaw() {
    if (!frozen_) return;
    frozen_.reset();
    Follow();
}

}  // namespace orv::ui
