// The file dialogs of the File menu behind a small interface, so that tests can script them.
#pragma once

#include <QString>
#include <optional>

class QFileDialog;
class QWidget;

namespace orv::ui {

struct FileDialogRequest {
    QString title;             // "Open Configuration File" / "Save Configuration File"
    QString filter;            // "ORV (*.ORV);;All Files (*.*)"
    QString directory;         // initial folder (the stored Path)
    QString fileName;          // initial name (the stored FileName)
    QString sidebarFolder;     // offered beside the usual places when set (Open: the history),
                               // where the dialog can (see kNativeDialogsOnly)
    bool newestFirst = false;  // the files listed by when they were written, newest first
};

class FileDialogProvider {
  public:
    virtual ~FileDialogProvider() = default;
    // The chosen full path, or nothing when the user cancels. Open accepts only an existing
    // file; Save asks before replacing one.
    virtual std::optional<QString> GetOpenFileName(QWidget* parent,
                                                   const FileDialogRequest& request) = 0;
    virtual std::optional<QString> GetSaveFileName(QWidget* parent,
                                                   const FileDialogRequest& request) = 0;
};

// Whether the file dialogs are always the platform's own (Windows), the history folder then
// being offered by the folder Open History starts in rather than as an extra place.
#ifdef _WIN32
inline constexpr bool kNativeDialogsOnly = true;
#else
inline constexpr bool kNativeDialogsOnly = false;
#endif

// Sets up a dialog for a request, as the real dialogs show it.
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request, bool save);

// The real dialogs.
class QtFileDialogProvider : public FileDialogProvider {
  public:
    std::optional<QString> GetOpenFileName(QWidget* parent,
                                           const FileDialogRequest& request) override;
    std::optional<QString> GetSaveFileName(QWidget* parent,
                                           const FileDialogRequest& request) override;
};

}  // namespace orv::ui
