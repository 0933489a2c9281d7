// The Comms page's port mapping: which serial device the selected COM port uses, and mapping it
// to one of the detected devices, a typed path or a device server's address.
#include <QComboBox>
#include <QLabel>

#include "link/device_address.h"
#include "link/port_names.h"
#include "link/qt/port_settings.h"
#include "ui/main_window.h"
#include "ui/platform_link.h"

namespace orv::ui {

void MainWindow::BuildComDeviceChoices() {
    QComboBox* list = w_.lstComDevice;
    const QString typed = list->currentText();
    list->clear();
    for (const DeviceChoice& d : LocalDeviceChoices()) {
        list->addItem(d.device, d.device);
        list->setItemData(list->count() - 1, d.tip, Qt::ToolTipRole);
    }
    list->setCurrentText(typed);
}

void MainWindow::ShowComDevice() {
    const int com = w_.Field<&ConfigRecord::lstComPort>()->currentIndex() + 1;
    if (com < kFirstComPort || com > kLastComPort) {
        w_.lblComDevice->clear();
        return;
    }
    const std::optional<std::string> mapped = ReadComMapping(com);
    const QString device = QString::fromStdString(mapped ? *mapped : DefaultDeviceForCom(com));
    w_.lblComDevice->setText(mapped ? device : device + " (default)");
    w_.lblComDevice->setToolTip(QString("COM%1 uses %2").arg(com).arg(device));
    w_.lstComDevice->setCurrentText(device);
}

void MainWindow::MapComDevice() {
    const int com = w_.Field<&ConfigRecord::lstComPort>()->currentIndex() + 1;
    if (com < kFirstComPort || com > kLastComPort) return;
    const std::string device = w_.lstComDevice->currentText().trimmed().toStdString();
    if (const std::string problem = device.empty() ? std::string() : ComMappingProblem(device);
        !problem.empty()) {
        ShowMessage(QString::fromStdString(problem), AppTitle(), MessageKind::kWarning);
        ShowComDevice();  // back to what COMn uses
        return;
    }
    if (device.empty() || device == DefaultDeviceForCom(com))
        ClearComMapping(com);
    else
        SetComMapping(com, device);
    ShowComDevice();
}

}  // namespace orv::ui
