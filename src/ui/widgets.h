// The controls of the main window. A record field's controls are found through the field table;
// object names follow the field names with the index after an underscore ("txtRIC_5", "lstMod_0")
// so tools and tests can find them.
#pragma once

#include <array>
#include <cstddef>
#include <tuple>
#include <utility>

#include "model/fields.h"
#include "model/record.h"
#include "ui/qt_text.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace orv::ui {

template <FieldKind>
struct ControlOf;
template <>
struct ControlOf<FieldKind::kText> {
    using type = QLineEdit;
};
template <>
struct ControlOf<FieldKind::kChoice> {
    using type = QComboBox;
};
template <>
struct ControlOf<FieldKind::kCheck> {
    using type = QCheckBox;
};
template <>
struct ControlOf<FieldKind::kOption> {
    using type = QRadioButton;  // checked when the field is set
};

// The controls of one record field, element for element (one for a single field).
template <class Field>
using FieldControls = std::array<typename ControlOf<Field::kind>::type*, Field::count>;

template <class Table>
struct ControlTable;
template <class... Field>
struct ControlTable<std::tuple<Field...>> {
    using type = std::tuple<FieldControls<Field>...>;
};
// The controls of every record field, in the order of kRecordFields.
using RecordControls = ControlTable<RecordFieldTable>::type;

struct Widgets {
    // The control of every record field; Field<&ConfigRecord::txtRIC>() names one.
    RecordControls fields{};

    // The controls of a family (an array), or the control of a single field.
    template <auto Member>
    auto& Field() {
        constexpr std::size_t k = FieldIndexOf<Member>();
        static_assert(k < kRecordFieldCount, "the field table has no entry for this member");
        using Entry = std::tuple_element_t<k, RecordFieldTable>;
        if constexpr (Entry::family)
            return std::get<k>(fields);
        else
            return std::get<k>(fields)[0];
    }
    template <auto Member>
    const auto& Field() const {
        return const_cast<Widgets*>(this)->Field<Member>();
    }

    QTabWidget* SSTab1 = nullptr;

    // Bank pages.
    std::array<QGroupBox*, kBanks> frmBankType{};
    std::array<QTabWidget*, kBanks> Bank{};
    std::array<QTabWidget*, kBanks> BankType14{};
    std::array<QGroupBox*, kChannelStates> frmChn{};
    std::array<QLabel*, kChannelStates> lblRepeat{};
    std::array<QGroupBox*, kRelays> frmRlyClose{};
    std::array<QGroupBox*, kRelays> frmRlyOpen{};
    std::array<QGroupBox*, kRelays> frmRlyToggle{};

    // Info and General pages; lstMod shows ModuleType, which is not a record field.
    QGroupBox* frmVersion = nullptr;
    std::array<QComboBox*, kBanks> lstMod{};

    // Comms page.
    QLabel* lblComDevice = nullptr;
    QComboBox* lstComDevice = nullptr;
    QPushButton* cmdMapPort = nullptr;
    QPushButton* cmdAutoBaud = nullptr;
    QRadioButton* optSlave = nullptr;  // the complement of optMaster
    QLabel* lblRS485Address = nullptr;

    // LAN page.
    QPushButton* cmdMACwrite = nullptr;
    QPushButton* cmdMACincrement = nullptr;

    // Pulse Timing page.
    QPushButton* cmdMeasurePulse = nullptr;

    // Dictionary labels (the entries are record fields, never shown).
    std::array<QLabel*, kDictEntries> lblDict{};

    // Outside the tabs.
    QPushButton* cmdConnect = nullptr;
    QLabel* lblConnected = nullptr;
    QPushButton* cmdGet = nullptr;
    QPushButton* cmdPut = nullptr;
    QPushButton* cmdReset = nullptr;
    QPushButton* cmdSize = nullptr;
    QProgressBar* pbSize = nullptr;
    QLabel* lblSize = nullptr;
    QProgressBar* pb100 = nullptr;
    QLabel* lblBusy = nullptr;
    QLabel* lblUnitCheck = nullptr;    // what the last action did, where pb100 shows during one
    QPushButton* cmdCancel = nullptr;  // beside pb100 while a Read, Write or Compare runs
};

// Calls visit(field, controls) for every entry of the field table with its controls.
template <class W, class Visitor>
void ForEachFieldControls(W& widgets, Visitor&& visit) {
    [&]<std::size_t... k>(std::index_sequence<k...>) {
        (visit(std::get<k>(kRecordFields), std::get<k>(widgets.fields)), ...);
    }
    (std::make_index_sequence<kRecordFieldCount>{});
}

// Shows a record value in its control, without touching a control that shows it already (so no
// change signal is sent for nothing). A checked option cannot be unchecked directly: the
// master/slave role checks its complement too.
template <class Field, class Control, class Value, class Complement>
void ShowInControl(Control* control, const Value& value, Complement* complement) {
    if constexpr (Field::kind == FieldKind::kText) {
        const QString text = FromRecord(value);
        if (control->text() != text) control->setText(text);
    } else if constexpr (Field::kind == FieldKind::kChoice) {
        const int position = value < -1 || value >= control->count() ? -1 : value;
        if (control->currentIndex() != position) control->setCurrentIndex(position);
    } else if constexpr (Field::kind == FieldKind::kCheck) {
        control->setChecked(value);
    } else {
        control->setChecked(value);
        complement->setChecked(!value);
    }
}

// While the transfer's bar takes the status line's place, the line (a refusal, the pending close)
// moves this far down, onto a row of its own below the bar.
constexpr int kStatusLineBelowBar = 28;

// Page indices of SSTab1.
enum Page : int {
    kPageInfo = 0,
    kPageGeneral = 1,
    kPageBank1 = 2,
    kPageComms = 6,
    kPageLan = 7,
    kPagePulseTiming = 8,
    kPageOptions = 9,
};

}  // namespace orv::ui
