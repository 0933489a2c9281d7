#include "ui/port_mapping_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "link/device_address.h"
#include "link/port_names.h"
#include "link/qt/port_settings.h"

namespace orv::ui {

PortMappingDialog::PortMappingDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("dlgPortMapping");
    setWindowTitle("Port Mapping");
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        "What each COM port leads to: a serial device, or a unit behind a serial device server "
        "(rfc2217://HOST:PORT for RFC 2217, tcp://HOST:PORT for raw TCP). Leave a line empty "
        "for the port's default device.",
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* grid = new QGridLayout;
    const auto mapped = ReadAllComMappings();
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        auto* name = new QLabel(QString::fromStdString(ComName(n)), this);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString("txtComTarget_%1").arg(n));
        edit->setPlaceholderText(QString::fromStdString(DefaultDeviceForCom(n)) + " (default)");
        if (const auto it = mapped.find(n); it != mapped.end())
            edit->setText(QString::fromStdString(it->second));
        edit->setMinimumWidth(320);
        name->setBuddy(edit);
        const int row = (n - 1) % 8, column = (n - 1) / 8 * 2;
        grid->addWidget(name, row, column);
        grid->addWidget(edit, row, column + 1);
        targets_[n - 1] = edit;
    }
    layout->addLayout(grid);
    problem_ = new QLabel(this);
    problem_->setObjectName("lblPortMappingProblem");
    problem_->setWordWrap(true);
    problem_->setStyleSheet("QLabel { color: rgb(200, 0, 0); }");
    problem_->hide();
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PortMappingDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PortMappingDialog::reject);
    layout->addWidget(buttons);
}

void PortMappingDialog::accept() {
    // Every target is checked before any is kept: a mistake in one line keeps nothing.
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const std::string target = Target(n)->text().trimmed().toStdString();
        if (target.empty()) continue;
        if (const std::string problem = ComMappingProblem(target); !problem.empty()) {
            problem_->setText(QString::fromStdString(ComName(n) + ": " + problem));
            problem_->show();
            Target(n)->setFocus();
            Target(n)->selectAll();
            return;
        }
    }
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const std::string target = Target(n)->text().trimmed().toStdString();
        if (target.empty() || target == DefaultDeviceForCom(n))
            ClearComMapping(n);
        else
            SetComMapping(n, target);
    }
    QDialog::accept();
}

}  // namespace orv::ui
