// File dialogs as Qt's own file dialog widget, so the same dialog (and the same keyboard use:
// a full path typed into the name field, then Return) is met on every desktop.
#include "platform/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <atomic>
#include <cstring>

#include "platform/qt/stock_texts.h"
#include "platform/text_codec.h"
#include "platform/qt/window_widgets.h"

namespace platform {
namespace {
std::atomic<FileDialogHook> fileDialogHook{nullptr};

// Qt's dialog asks before replacing a file but never before creating one; an open that may
// create the file asks here, and a No leaves the user in the dialog to choose again.
class KvxFileDialog : public QFileDialog {
  public:
    KvxFileDialog(QWidget* owner, bool createPrompt)
        : QFileDialog(owner), createPrompt_(createPrompt) {}

    void accept() override {
        const QStringList files = selectedFiles();
        if (createPrompt_ && acceptMode() == AcceptOpen && !files.isEmpty()) {
            const QFileInfo chosen(files.first());
            if (!chosen.exists() && !chosen.isDir() &&
                QMessageBox::question(this, windowTitle(),
                                      CreateFileQuestion(QDir::toNativeSeparators(files.first())),
                                      QMessageBox::Yes | QMessageBox::No,
                                      QMessageBox::No) != QMessageBox::Yes) {
                return;
            }
        }
        QFileDialog::accept();
    }

  private:
    bool createPrompt_;
};

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
    // Made afresh for every call: no name or folder is remembered, and the texts are those of
    // the language in force now.
    KvxFileDialog dialog(WindowWidget(owner), kind == FileDialogKind::Open && spec.createPrompt);
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
