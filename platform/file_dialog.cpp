// File dialogs as Qt's own file dialog widget, so the same dialog (and the same keyboard use:
// a full path typed into the name field, then Return) is met on every desktop.
#include "platform/file_dialog.h"

#include <QFileDialog>
#include <atomic>
#include <cstring>

#include "platform/text_codec.h"
#include "platform/window_widgets.h"

namespace platform {
namespace {
std::atomic<FileDialogHook> fileDialogHook{nullptr};
}  // namespace

void SetFileDialogHook(FileDialogHook hook) {
    fileDialogHook.store(hook);
}

uint32_t ShowFileDialog(WindowHandle owner, FileDialogKind kind, const FileDialogSpec& spec,
                        char* path, int pathSize) {
    if (pathSize <= 0) {
        return 1;
    }
    path[0] = '\0';
    if (FileDialogHook hook = fileDialogHook.load()) {
        return hook(kind, spec, path, pathSize);
    }
    QFileDialog dialog(WindowWidget(owner));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(kind == FileDialogKind::Save ? QFileDialog::AcceptSave
                                                      : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.overwritePrompt);
    const QString pattern = QString::fromLatin1(spec.pattern);
    // Linux names are case-sensitive; list "x.kvx" beside "X.KVX" as the user expects. The
    // patterns Qt matches with are hidden, so the user reads the description as it stands.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilter(FromWindows1252(spec.filterDescription) + " (" + pattern + " " +
                         pattern.toLower() + ")");
    dialog.setDefaultSuffix(QString::fromLatin1(spec.defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return 0;
    }
    const QByteArray chosen = QFile::encodeName(dialog.selectedFiles().first());
    if (chosen.size() + 1 > pathSize) {
        return 2;
    }
    std::memcpy(path, chosen.constData(), static_cast<size_t>(chosen.size()) + 1);
    return 0;
}

}  // namespace platform
