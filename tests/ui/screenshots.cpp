// Saves a picture of every page of the main window (and the splash) to the folder given as the
// first argument, for looking the layout over: ui_screenshots <folder>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

#include "ui/main_window.h"
#include "ui/splash.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(dir);

    orv::ui::Splash splash;
    splash.show();
    orv::ui::MainWindow w(&splash);
    splash.grab().save(dir + "/splash.png");
    splash.close();
    w.show();
    app.processEvents();

    // Banks 2 and 3 carry an input module and a relay module so both tab sets are seen.
    w.moduleTypes() = {15, 13, 14, 0};
    w.ApplyModuleTypes();
    auto* tabs = w.findChild<QTabWidget*>("SSTab1");
    for (int k = 0; k < tabs->count(); ++k) {
        tabs->setTabEnabled(7, true);  // only for the picture of the LAN page
        tabs->setCurrentIndex(k);
        app.processEvents();
        w.grab().save(QString("%1/page%2.png").arg(dir).arg(k));
    }
    return 0;
}
