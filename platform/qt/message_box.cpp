// Message boxes as real modal Qt boxes, the presenter the window program installs.
#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>

#include "platform/text_codec.h"
#include "platform/qt/window_widgets.h"

namespace platform {
namespace {
// Qt centres a box on its owner, but an owner that is still being created has no place yet and
// the box would land in the screen's corner. Such a box is centred on the screen's free area,
// where the main window appears too. The box has its final size only once its own show has run.
class OwnedMessageBox : public QMessageBox {
  public:
    explicit OwnedMessageBox(QWidget* owner) : QMessageBox(owner) {}

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        const QWidget* owner = parentWidget();
        if (owner != nullptr && owner->isVisible()) {
            return;
        }
        const QScreen* screen = owner != nullptr ? owner->screen() : this->screen();
        if (screen == nullptr) {
            screen = QGuiApplication::primaryScreen();
        }
        if (screen != nullptr) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
};
}  // namespace

MessageResult ShowWindowMessageBox(WindowHandle owner, const char* text, const char* caption,
                                   MessageIcon icon, MessageButtons buttons) {
    if (qApp == nullptr) {
        // No window system to show it on: the answer that keeps the program safe.
        return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Ok;
    }
    // Owned by the window (centred on it, or on the screen while it is not shown; modal); the
    // window's timers and paints go on in the box's own event loop. An owner that is not a live
    // window gives a box of its own.
    OwnedMessageBox box(WindowWidget(owner));
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(FromWindows1252(caption));
    box.setText(FromWindows1252(text));
    switch (icon) {
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageResult::Ok;
}

}  // namespace platform
