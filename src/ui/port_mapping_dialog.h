// Unit > Port Mapping…: COM1 to COM16 with what each leads to (a serial device, or a device
// server's tcp:// or rfc2217:// address), edited in one place. An empty target lets the COM port
// use its default device again.
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;

namespace orv::ui {

class PortMappingDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PortMappingDialog(QWidget* parent = nullptr);

    // The edit of COMn's target (1..16).
    QLineEdit* Target(int comNumber) const { return targets_[comNumber - 1]; }

  public slots:
    // Keeps the mapping and closes, or names what is wrong beneath the list and keeps everything
    // as it was (the store and the dialog's texts alike).
    void accept() override;

  private:
    std::array<QLineEdit*, 16> targets_{};
    QLabel* problem_ = nullptr;
};

}  // namespace orv::ui
