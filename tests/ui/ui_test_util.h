// Helpers for driving the real main window in tests.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "ui/main_window.h"

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

    explicit Harness(LoadProgress* progress = nullptr)
        : window(std::make_unique<MainWindow>(progress)) {
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
    QSettings s("ORV Pro Configuration", "ORV Pro Configuration");
    s.clear();
    s.sync();
}
inline void PutSetting(const QString& key, const QString& value) {
    QSettings s("ORV Pro Configuration", "ORV Pro Configuration");
    s.setValue("Settings/" + key, value);
    s.sync();
}
inline std::optional<QString> GetSetting(const QString& key) {
    QSettings s("ORV Pro Configuration", "ORV Pro Configuration");
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

}  // namespace orv::ui::test
