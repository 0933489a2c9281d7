// Building the pages of the main window. Every control is placed at a fixed position (the window
// has a fixed design size) and created in reading order, which gives the tab order of each page.
#pragma once

#include <array>
#include <span>

#include "model/lists.h"
#include "ui/widgets.h"

class QAbstractItemModel;
class QObject;

namespace orv::ui {

// One shared item model per fixed list: a thousand drop-downs share a handful of models.
// Item text is the display text, Qt::UserRole holds the item code.
struct ListModels {
    QAbstractItemModel* func = nullptr;
    QAbstractItemModel* pagerType = nullptr;
    QAbstractItemModel* pagingBaud = nullptr;
    QAbstractItemModel* repeat = nullptr;
    QAbstractItemModel* relayBeep = nullptr;
    QAbstractItemModel* baudRates = nullptr;
    QAbstractItemModel* frameFormats = nullptr;
    QAbstractItemModel* modules = nullptr;
    QAbstractItemModel* comPorts = nullptr;
};
ListModels MakeListModels(QObject* owner);

void BuildInfoPage(QWidget* page, Widgets& w);
void BuildGeneralPage(QWidget* page, Widgets& w, const ListModels& m);
// The bank frame with its two tab sets (channel tabs and relay tabs), without their contents.
void BuildBankFrame(QWidget* page, int bank, Widgets& w);
// The four channel-state frames of each of the 16 channel tabs of a bank.
void BuildChannelTabs(int bank, Widgets& w, const ListModels& m);
// The Close, Open and Toggle frames of each of the 8 relay tabs of a bank.
void BuildRelayTabs(int bank, Widgets& w, const ListModels& m);
void BuildCommsPage(QWidget* page, Widgets& w, const ListModels& m);
void BuildLanPage(QWidget* page, Widgets& w);
void BuildPulseTimingPage(QWidget* page, Widgets& w);
void BuildOptionsPage(QWidget* page, Widgets& w);
// The dictionary entries live in two frames that are never shown.
void BuildDictionaryFrames(QWidget* parent, Widgets& w);
// Link buttons, size report, BUSY and the transfer progress bar below the tabs.
void BuildCommandArea(QWidget* central, Widgets& w);

}  // namespace orv::ui
