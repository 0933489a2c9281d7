// orv-config: shows the splash, loads the main window, shows it and closes the splash.
#include <QApplication>

#include "shell/splash.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("ORV Pro Configuration");

    orv::shell::Splash splash;
    splash.show();
    splash.repaint();

    orv::ui::MainWindow window(&splash);
    window.show();
    splash.close();
    return app.exec();
}
