// Channel Table benchmark on the offscreen platform: opening the table (window, model, view, first
// paint) with four input banks (256 rows) and with four relay banks (96 rows), a paste of 256 rows
// by 6 columns with every check, and the undo of that paste. Prints one line per figure, the
// median of N runs in milliseconds: ui_table_bench [runs]
#include <QApplication>
#include <QElapsedTimer>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "ui/channel_table.h"
#include "ui/main_window.h"
#include "ui/record_edits.h"

namespace {

using orv::ui::ChannelTable;
using orv::ui::MainWindow;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds of fn, with the events it posted (painting) handled.
double Time(const std::function<void()>& fn) {
    QElapsedTimer t;
    t.start();
    fn();
    QApplication::processEvents();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", "/tmp/orv-table-bench");  // never the user's own settings
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;

    std::vector<double> open256, open96, paste, undo;
    for (int k = 0; k < runs; ++k) {
        for (const orv::ModuleTypes& types :
             {orv::ModuleTypes{15, 15, 15, 15}, orv::ModuleTypes{14, 14, 14, 14}}) {
            MainWindow window;
            window.setMessageSink([](const QString&, const QString&, orv::ui::MessageKind) {});
            window.moduleTypes() = types;
            window.ApplyModuleTypes();
            window.show();
            QApplication::processEvents();
            const double opened = Time([&] {
                window.MenuEditChannelTable();
                window.channelTable()->view()->viewport()->repaint();
            });
            (types[0] == 14 ? open96 : open256).push_back(opened);
            if (types[0] == 14) continue;

            // Every row's RIC, beep, type, baud, repeat and message, as a spreadsheet copies
            // them; a few RICs refused and messages converted, as in real sheets.
            QString clip;
            for (int r = 0; r < 256; ++r)
                clip += QString("%1\t%2\t%3\t%4\t%5\tSITE %6 ALARM \u00e9%7\r\n")
                            .arg(r % 50 == 7 ? 2097152 + r : 1200000 + r)
                            .arg(QChar('A' + r % 4))
                            .arg(r % 2 ? "Num." : "Alpha")
                            .arg(r % 3 == 0   ? "512"
                                 : r % 3 == 1 ? "1200"
                                              : "2400")
                            .arg(QChar('A' + (r + 1) % 4))
                            .arg(r)
                            .arg(r % 10);
            ChannelTable* table = window.channelTable();
            table->view()->setCurrentIndex(table->proxy()->index(0, orv::ui::kColumnRic));
            orv::ui::ChannelTableModel::Report report;
            paste.push_back(Time([&] { report = table->PasteText(clip); }));
            const int refused = 5;  // rows 7, 57, 107, 157 and 207
            if (report.taken != 256 * 6 - refused) {
                std::fprintf(stderr, "the paste took %d cells, not %d\n", report.taken,
                             256 * 6 - refused);
                return 1;
            }
            undo.push_back(Time([&] { window.edits()->Undo(); }));
        }
    }
    std::printf("open256 %.1f\nopen96 %.1f\npaste %.1f\nundo %.1f\n", Median(open256),
                Median(open96), Median(paste), Median(undo));
    return 0;
}
