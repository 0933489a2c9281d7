// Start-up benchmark: time from process start to the main window shown (its first paint), on the
// offscreen platform. Runs the real start-up (splash, load, show, splash closed) N times in fresh
// processes and prints each figure and the median: ui_startup_bench [runs]
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/main_window.h"
#include "ui/splash.h"

namespace {

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Calls `painted` at the first paint event of the watched window.
class PaintWatch : public QObject {
  public:
    explicit PaintWatch(std::function<void()> painted) : painted_(std::move(painted)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && painted_) std::exchange(painted_, nullptr)();
        return false;
    }

  private:
    std::function<void()> painted_;
};

// One start-up in this process: prints the milliseconds from `started` to the window shown.
int StartOnce(int argc, char** argv, double started) {
    QApplication app(argc, argv);
    orv::ui::Splash splash;
    splash.show();
    splash.repaint();
    orv::ui::MainWindow window(&splash, nullptr, orv::ui::MainWindow::BankControls::kOnceShown);
    window.show();
    splash.close();
    // Shown means painted: the first paint of the window's contents.
    PaintWatch watch([&] {
        std::printf("%.1f\n", Now() - started);
        std::fflush(stdout);
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    window.installEventFilter(&watch);
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", "/tmp/orv-startup-bench", 0);  // never the user's own settings
    if (argc > 2 && std::string(argv[1]) == "--child") {
        int one = 1;
        return StartOnce(one, argv, std::atof(argv[2]));
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    std::vector<double> ms;
    for (int k = 0; k < runs; ++k) {
        int out[2];
        if (pipe(out) != 0) return 1;
        const double started = Now();
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            // A fresh program image, as a real start: exec ourselves in child mode.
            execl("/proc/self/exe", argv[0], "--child", std::to_string(started).c_str(), nullptr);
            _exit(127);
        }
        close(out[1]);
        char buf[64] = {};
        const ssize_t n = read(out[0], buf, sizeof buf - 1);
        close(out[0]);
        int st = 0;
        waitpid(pid, &st, 0);
        if (n > 0) ms.push_back(std::atof(buf));
    }
    if (ms.empty()) return 1;
    for (double v : ms) std::printf("start to main window shown: %.1f ms\n", v);
    std::sort(ms.begin(), ms.end());
    std::printf("median of %zu runs: %.1f ms\n", ms.size(), ms[ms.size() / 2]);
    return 0;
}
