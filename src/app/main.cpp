// orv-config [FILE]: shows the splash, loads the main window, shows it and closes the splash, then
// opens FILE as File > Open would.
#include <QApplication>
#include <QCoreApplication>

#include "app/command_line.h"
#include "ui/main_window.h"
#include "ui/splash.h"

int main(int argc, char** argv) {
    if (orv::app::AsksForHelpOrVersion(argc, argv)) {
        // Answered without a display: a terminal on a server has none.
        QCoreApplication app(argc, argv);
        orv::app::SetApplicationIdentity();
        orv::app::ParseCommandLine(app.arguments());  // prints and ends the program
    }
    QApplication app(argc, argv);
    orv::app::SetApplicationIdentity();
    const std::optional<QString> file = orv::app::ParseCommandLine(app.arguments());

    orv::ui::Splash splash;
    splash.show();
    splash.repaint();

    orv::ui::MainWindow window(&splash);
    window.show();
    splash.close();
    if (file) window.OpenFile(*file);
    return app.exec();
}
