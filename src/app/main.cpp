// orv-config [FILE]: shows the splash, loads the main window, shows it and closes the splash, then
// opens FILE as File > Open would.
#include <QApplication>
#include <QCoreApplication>
#include <optional>

#include "app/command_line.h"
#include "app/console.h"
#include "app/teardown.h"
#include "app/termination.h"
#include "ui/main_window.h"
#include "ui/splash.h"

int main(int argc, char** argv) {
    // The command line is read before the window's application needs a display: --help,
    // --version and a wrong argument are answered on a terminal without one.
    orv::app::AttachParentConsole(argc);
    std::optional<QString> file;
    {
        QCoreApplication commandLine(argc, argv);
        orv::app::SetApplicationIdentity();
        file = orv::app::ParseCommandLine(commandLine.arguments());
    }
    orv::app::ReleaseParentConsole();
    QApplication app(argc, argv);
    orv::app::SetApplicationIdentity();
    orv::app::SetApplicationIcon();

    int status = 0;
    {
        orv::ui::Splash splash;
        splash.show();
        splash.repaint();

        orv::ui::MainWindow window(&splash, nullptr, orv::ui::MainWindow::BankControls::kOnceShown);
        orv::app::CloseOnTerminationSignals(window);
        window.show();
        splash.close();
        orv::app::CloseWhenQuitting(window);
        if (file) window.OpenFile(*file);
        status = app.exec();
    }
    // Every way out comes here (File > Exit, the close box, the session's end): what the windows
    // left running ends while the application still exists.
    orv::app::EndWidgetsBeforeApplication();
    return status;
}
