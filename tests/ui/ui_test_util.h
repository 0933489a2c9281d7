// Helpers for driving the real main window in tests.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QSettings>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../test_env.h"
#include "link/qt/user_store.h"
#include "ui/main_window.h"

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace orv::ui::test {

// A message the window showed (recorded instead of a modal box).
struct ShownMessage {
    QString title;
    QString text;
    MessageKind kind;
};

// A window with its messages recorded.
struct Harness {
    std::unique_ptr<MainWindow> window;
    std::vector<ShownMessage> messages;

    explicit Harness(LoadProgress* progress = nullptr,
                     MainWindow::BankControls bank = MainWindow::BankControls::kWithTheWindow)
        : window(std::make_unique<MainWindow>(progress, nullptr, bank)) {
        window->setMessageSink([this](const QString& title, const QString& text, MessageKind kind) {
            messages.push_back({title, text, kind});
        });
    }
    template <typename W>
    W* find(const QString& name) const {
        return window->findChild<W*>(name);
    }
    QLineEdit* edit(const QString& name) const { return find<QLineEdit>(name); }
    QComboBox* combo(const QString& name) const { return find<QComboBox>(name); }
};

// The settings store the window reads and writes, group "Settings".
inline void ClearSettings() {
    QSettings s = OpenUserStore();
    s.clear();
    s.sync();
}
inline void PutSetting(const QString& key, const QString& value) {
    QSettings s = OpenUserStore();
    s.setValue("Settings/" + key, value);
    s.sync();
}
inline std::optional<QString> GetSetting(const QString& key) {
    QSettings s = OpenUserStore();
    if (!s.contains("Settings/" + key)) return std::nullopt;
    return s.value("Settings/" + key).toString();
}

// File dialogs that answer with prepared paths and remember what they were asked.
class ScriptedDialogs : public FileDialogProvider {
  public:
    std::optional<QString> openAnswer;
    std::optional<QString> saveAnswer;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;

    std::optional<QString> GetOpenFileName(QWidget*, const FileDialogRequest& r) override {
        openRequests.push_back(r);
        return openAnswer;
    }
    std::optional<QString> GetSaveFileName(QWidget*, const FileDialogRequest& r) override {
        saveRequests.push_back(r);
        return saveAnswer;
    }
};

// An environment variable set for one scope (kHistoryBaseVariable: where the next window keeps
// its history), restored afterwards.
struct ScopedEnv {
    ScopedEnv(const char* n, const QString& value)
        : name(n), old(qgetenv(n)), had(qEnvironmentVariableIsSet(n)) {
        qputenv(name, QDir::toNativeSeparators(value).toLocal8Bit());
    }
    ~ScopedEnv() { had ? qputenv(name, old) : qunsetenv(name); }
    const char* name;
    QByteArray old;
    bool had;
};

// The window's history copies, newest first, as "event subject" ("before new untitled").
inline std::vector<std::string> HistoryCopies(const MainWindow& window) {
    std::vector<std::string> out;
    for (const HistoryEntry& e : window.history().List()) out.push_back(e.event + " " + e.subject);
    return out;
}

// A file dropped on target as a file manager drops it; true when the drag was taken.
inline bool DropFile(QWidget* target, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QApplication::processEvents();  // the file opens once the drop has ended
    return drop.isAccepted();
}

}  // namespace orv::ui::test
