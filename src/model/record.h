// The configuration record: every field the editor shows, named after the control that shows it.
//
// Text fields hold 8-bit byte strings (Latin-1 at the UI edge); numbers stay as decimal text until
// the image builder or a validation reads them. Choice fields hold the selected position in their
// fixed item list, -1 meaning "nothing selected". There is no second copy of this data anywhere.
// The RIC limits and the MAC address text live beside it in model/addresses.h; the list of its
// fields (name, member, kind, count) is written once in model/fields.h, which drives the JSON form
// and the window's binding.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orv {

constexpr int kBanks = 4;
constexpr int kChannelsPerBank = 16;
constexpr int kStatesPerChannel = 4;
constexpr int kChannelStates = 256;  // txtRIC, lstFunc, lstType, lstBaud, lstRepeat, txtMsg
constexpr int kRelays = 32;          // 8 outputs per bank
constexpr int kRelayOutputsPerBank = 8;
constexpr int kRelayRicFields = 256;  // txtRlyRIC: 8 slots per relay
constexpr int kRelayBeepFields = 96;  // lstRlyBeep: 3 actions per relay
constexpr int kDictEntries = 128;
constexpr int kMaxMessageLength = 69;
constexpr int kNoSelection = -1;

// Module type codes of a bank.
constexpr int kModuleNotFitted = 0;
constexpr int kModuleDryContact = 13;
constexpr int kModuleRelay = 14;
constexpr int kModuleOptoInput = 15;

using ModuleTypes = std::array<int, kBanks>;

struct ConfigRecord {
    // Channel states, i = bank * 64 + channel * 4 + state.
    std::array<std::string, kChannelStates> txtRIC;
    std::array<int, kChannelStates> lstFunc{};
    std::array<int, kChannelStates> lstType{};
    std::array<int, kChannelStates> lstBaud{};
    std::array<int, kChannelStates> lstRepeat{};
    std::array<std::string, kChannelStates> txtMsg;

    // Relays, r = bank * 8 + output; k = 8r + slot, m = 3r + action.
    std::array<std::string, kRelayRicFields> txtRlyRIC;
    std::array<int, kRelayBeepFields> lstRlyBeep{};

    // General page.
    std::array<std::string, 4> txtRepTime;
    std::array<std::string, 2> txtVer;
    std::string txtFileName;

    // Comms page, unit side.
    std::string txtRS485Address;
    bool optMaster = true;                                           // optSlave is its complement
    std::array<int, 2> lstPortBaudrate{kNoSelection, kNoSelection};  // 0 RS232, 1 RS485
    std::array<int, 2> lstPortFormat{kNoSelection, kNoSelection};

    // Comms page, editor side (never in images or files).
    int lstComPort = kNoSelection;
    int lstBaudPC = kNoSelection;
    int lstPCFormat = kNoSelection;

    // LAN page.
    std::array<std::string, 4> txtIP;
    std::array<std::string, 6> txtMAC;

    // Pulse Timing page.
    std::array<std::string, 8> txtPulseTime;
    std::string txtFastOne, txtFastZero, txtSlowOne, txtSlowZero;

    // Options page.
    std::array<bool, 8> chkOptions{};

    // Message dictionary (working storage chosen by the builder).
    std::array<std::string, kDictEntries> txtDict;

    bool optSlave() const { return !optMaster; }
    bool operator==(const ConfigRecord&) const = default;
};

// Index helpers.
constexpr int ChannelStateIndex(int bank, int channel, int state) {
    return bank * 64 + channel * 4 + state;
}
constexpr int BankOf(int channelStateIndex) {
    return channelStateIndex / 64;
}
constexpr int ChannelOf(int channelStateIndex) {
    return (channelStateIndex % 64) / 4;
}
constexpr int StateOf(int channelStateIndex) {
    return channelStateIndex % 4;
}

constexpr int RelayIndex(int bank, int output) {
    return bank * kRelayOutputsPerBank + output;
}
constexpr int RelayRicIndex(int relay, int slot) {
    return relay * 8 + slot;
}
constexpr int RelayBeepIndex(int relay, int action) {
    return relay * 3 + action;
}

// Slots of txtRlyRIC within one relay.
enum RelaySlot : int {
    kSlotCloseFrom = 0,
    kSlotOpenFrom = 1,
    kSlotToggleFrom = 2,
    kSlotCloseTMax = 3,
    kSlotCloseTo = 4,
    kSlotOpenTo = 5,
    kSlotToggleTo = 6,
    kSlotToggleRepeatFilter = 7,
};
// Actions of lstRlyBeep within one relay.
enum RelayAction : int { kActionClose = 0, kActionOpen = 1, kActionToggle = 2 };

// Trigger states of an input channel.
enum ChannelState : int { kStateReset = 0, kStateSlow = 1, kStateFast = 2, kStateSteady = 3 };

}  // namespace orv
