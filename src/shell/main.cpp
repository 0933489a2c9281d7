// orv-config [FILE]: shows the splash, loads the main window, shows it and closes the splash, then
// opens FILE as File > Open would.
#include <QApplication>
#include <QCoreApplication>

#include "shell/command_line.h"
#include "shell/splash.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    if (orv::shell::AsksForHelpOrVersion(argc, argv)) {
        // Answered without a display: a terminal on a server has none.
        QCoreApplication app(argc, argv);
        orv::shell::SetApplicationIdentity();
        orv::shell::ParseCommandLine(app.arguments());  // prints and ends the program
    }
    QApplication app(argc, argv);
    orv::shell::SetApplicationIdentity();
    const std::optional<QString> file = orv::shell::ParseCommandLine(app.arguments());

    orv::shell::Splash splash;
    splash.show();
    splash.repaint();

    orv::ui::MainWindow window(&splash);
    window.show();
    splash.close();
    if (file) window.OpenFile(*file);
    return app.exec();
}
