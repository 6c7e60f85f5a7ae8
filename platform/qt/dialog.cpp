// Dialogs and property sheets on Qt Widgets. Controls are placed at their layout rectangles
// (dialog units times a fixed factor), keyed by id, and their notifications become Command
// messages for the procedure. A sheet is a QDialog holding a QTabWidget whose pages are filled
// with controls the first time they become current.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/common/dialog_support.h"
#include "platform/property_sheet.h"
#include "platform/qt/dialog_widgets.h"
#include "platform/qt/window_widgets.h"
#include "platform/text_codec.h"

namespace platform {

struct DialogObject {
    DialogProcedure procedure = nullptr;
    DialogObject* root = nullptr;  // the dialog or sheet this page belongs to (itself for those)
    QDialog* dialog = nullptr;
    std::map<int, QWidget*> controls;
    std::vector<QWidget*> focusOrder;  // the controls that take the focus, in layout order
    bool finishing = false;            // root only: no notification reaches a procedure any more
    // A property sheet's own state (root only).
    QTabWidget* tabs = nullptr;
    std::vector<std::unique_ptr<DialogObject>> pages;  // null until a page is first shown
    std::vector<QWidget*> pageAreas;
    std::vector<const PropertySheetPage*> pageSpecs;
    int current = -1;
};

namespace {

std::atomic<DialogShownHook> dialogShownHook{nullptr};
// Window thread only: the dialogs whose event loop runs, outermost first.
std::vector<DialogObject*> liveDialogs;

bool IsLive(const DialogObject* dialog) {
    return IsLiveDialog(liveDialogs, dialog);
}

void Deliver(DialogObject* dialog, const DialogMessage& message) {
    if (dialog != nullptr && !dialog->root->finishing && dialog->procedure != nullptr) {
        dialog->procedure(dialog, message);
    }
}

void Notify(DialogObject* dialog, int controlId, ControlNotification notification) {
    Deliver(dialog, DialogMessage{DialogMessageType::Command, controlId, notification});
}

// An edit field tells its dialog when it loses the focus. A popup (a context menu) only borrows
// the keyboard, so it does not count as leaving the field.
class KillFocusFilter : public QObject {
  public:
    KillFocusFilter(DialogObject* dialog, int controlId, QObject* parent)
        : QObject(parent), dialog_(dialog), controlId_(controlId) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            Notify(dialog_, controlId_, ControlNotification::KillFocus);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    DialogObject* dialog_;
    int controlId_;
};

QRect UnitsToPixels(int x, int y, int width, int height) {
    return QRect(x * kDialogUnitPixels, y * kDialogUnitPixels, width * kDialogUnitPixels,
                 height * kDialogUnitPixels);
}

// Where a static text's layout rectangle is kept, for fitting it again when its text changes.
constexpr char kLayoutRect[] = "kvxLayoutRect";

// A text wider than its rectangle (a longer language, a wider face) grows away from the control
// it names rather than being cut: a right-aligned label to the left, any other to the right.
void FitLabel(QWidget* widget) {
    auto* label = qobject_cast<QLabel*>(widget);
    if (label == nullptr || !label->property(kLayoutRect).isValid()) {
        return;
    }
    QRect rect = label->property(kLayoutRect).toRect();
    const int missing = label->sizeHint().width() - rect.width();
    if (missing > 0 && (label->alignment() & Qt::AlignRight)) {
        rect.setLeft(std::max(0, rect.left() - missing));
    } else if (missing > 0) {
        rect.setWidth(rect.width() + missing);
    }
    label->setGeometry(rect);
}

// The closed height of a list: its layout height counts the dropped-down part as well.
constexpr int kListClosedHeight = 12;

// Builds the controls of a layout into parent, in layout order, which is also the focus order.
std::vector<QWidget*> BuildControls(DialogObject* dialog, QWidget* parent,
                                    const DialogTemplate& layout) {
    std::vector<QWidget*> focusOrder;
    std::vector<QWidget*> frames;
    for (int i = 0; i < layout.controlCount; ++i) {
        const DialogControl& c = layout.controls[i];
        QRect rect = UnitsToPixels(c.x, c.y, c.width, c.height);
        const QString text = FromWindows1252(c.text != nullptr ? c.text : "");
        QWidget* widget = nullptr;
        switch (c.kind) {
            case ControlKind::Label:
            case ControlKind::UnitLabel: {
                auto* label = new QLabel(text, parent);
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(
                    (c.kind == ControlKind::Label ? Qt::AlignRight : Qt::AlignLeft) |
                    Qt::AlignVCenter);
                label->setProperty(kLayoutRect, rect);
                widget = label;
                break;
            }
            case ControlKind::GroupBox: {
                auto* frame = new QGroupBox(text, parent);
                // Drawn beneath the controls it surrounds and never in the way of a click.
                frame->setAttribute(Qt::WA_TransparentForMouseEvents);
                frame->setFocusPolicy(Qt::NoFocus);
                frames.push_back(frame);
                widget = frame;
                break;
            }
            case ControlKind::Edit: {
                auto* edit = new QLineEdit(text, parent);
                edit->setAlignment(Qt::AlignRight);
                edit->installEventFilter(new KillFocusFilter(dialog, c.id, edit));
                focusOrder.push_back(edit);
                widget = edit;
                break;
            }
            case ControlKind::List: {
                // The program reads only the selection, so the lists offer their items alone
                // and take no typed text.
                auto* list = new QComboBox(parent);
                rect.setHeight(kListClosedHeight * kDialogUnitPixels);
                const int id = c.id;
                QObject::connect(list, &QComboBox::activated, list, [dialog, id](int) {
                    Notify(dialog, id, ControlNotification::SelectionChanged);
                });
                focusOrder.push_back(list);
                widget = list;
                break;
            }
            case ControlKind::PushButton: {
                auto* button = new QPushButton(text, parent);
                button->setDefault(c.id == kIdOk);
                const int id = c.id;
                QObject::connect(button, &QPushButton::clicked, button, [dialog, id]() {
                    Notify(dialog, id, ControlNotification::Clicked);
                });
                focusOrder.push_back(button);
                widget = button;
                break;
            }
            case ControlKind::Bitmap: {
                auto* picture = new QLabel(parent);
                if (c.xpm != nullptr) {
                    const QPixmap pixmap(c.xpm);
                    picture->setPixmap(pixmap);
                    // A picture control takes the size of its picture.
                    rect.setSize(pixmap.size());
                }
                widget = picture;
                break;
            }
        }
        widget->setGeometry(rect);
        FitLabel(widget);
        // A page filled while the sheet is already on screen shows its new controls as well.
        widget->show();
        if (c.id != 0 && dialog->controls.count(c.id) == 0) {
            dialog->controls[c.id] = widget;
        }
    }
    for (QWidget* frame : frames) {
        frame->lower();
    }
    return focusOrder;
}

QWidget* Control(DialogHandle dialog, int controlId) {
    if (!IsLive(dialog)) {
        return nullptr;
    }
    auto it = dialog->controls.find(controlId);
    return it == dialog->controls.end() ? nullptr : it->second;
}

QFont DialogFont() {
    QFont font = QApplication::font();
    font.setPixelSize(13);
    return font;
}

// Lets the hook drive the dialog once its event loop runs; the window is made active first, so
// that focus moves reach the controls as they would under a user's hands.
void ScheduleShownHook(DialogObject* root) {
    DialogShownHook hook = dialogShownHook.load();
    if (hook == nullptr) {
        return;
    }
    QTimer::singleShot(0, root->dialog, [root, hook]() {
        root->dialog->activateWindow();
        for (int i = 0; i < 100 && !root->dialog->isActiveWindow(); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        hook(root);
    });
}

class ModalDialog : public QDialog {
  public:
    ModalDialog(DialogObject* dialog, QWidget* owner) : QDialog(owner), dialog_(dialog) {}

    // Escape and the close box ask the procedure, as a Cancel button would.
    void reject() override { Notify(dialog_, kIdCancel, ControlNotification::Clicked); }

  private:
    DialogObject* dialog_;
};

// The page keys of a sheet: +1 for Ctrl+Tab and Ctrl+PageDown, -1 for Ctrl+Shift+Tab and
// Ctrl+PageUp, 0 for any other key.
int PageStep(const QKeyEvent* key) {
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
    if (modifiers != Qt::ControlModifier && !shift) {
        return 0;
    }
    switch (key->key()) {
        case Qt::Key_Tab:
            return shift ? -1 : 1;
        case Qt::Key_Backtab:  // Shift+Tab as X reports it
            return -1;
        case Qt::Key_PageDown:
            return shift ? 0 : 1;
        case Qt::Key_PageUp:
            return shift ? 0 : -1;
        default:
            return 0;
    }
}

// Where the focus goes on a page: its first control that takes it, else the tabs.
void FocusFirstControl(DialogObject* sheet, DialogObject* page) {
    for (QWidget* control : page->focusOrder) {
        if (control->isEnabled()) {
            control->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    sheet->tabs->tabBar()->setFocus(Qt::TabFocusReason);
}

class SheetDialog : public QDialog {
  public:
    SheetDialog(DialogObject* sheet, QWidget* owner) : QDialog(owner), sheet_(sheet) {}

    // The page keys switch pages from whatever control has the focus. They are taken before the
    // control sees them: a list would otherwise move its selection on Ctrl+PageDown and swallow
    // Ctrl+Tab, and OK would then send a value nobody chose.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return QDialog::eventFilter(watched, event);
        }
        const int step = PageStep(static_cast<QKeyEvent*>(event));
        if (step == 0) {
            return QDialog::eventFilter(watched, event);
        }
        if (!sheet_->finishing) {
            StepPage(step);
        }
        return true;
    }

    // A page key that no control had: the focus is on the sheet itself.
    void keyPressEvent(QKeyEvent* key) override {
        if (const int step = PageStep(key); step != 0 && !sheet_->finishing) {
            StepPage(step);
        } else if (step == 0) {
            QDialog::keyPressEvent(key);
        }
    }

    // Watches a control for the page keys.
    void Watch(QWidget* control) { control->installEventFilter(this); }

    void accept() override {
        if (sheet_->finishing) {
            return;
        }
        Deliver(sheet_->pages[static_cast<size_t>(sheet_->current)].get(),
                DialogMessage{DialogMessageType::KillActive});
        for (auto& page : sheet_->pages) {
            Deliver(page.get(), DialogMessage{DialogMessageType::Apply});
        }
        sheet_->finishing = true;
        done(1);
    }

    // Cancel, Escape and the close box.
    void reject() override {
        if (sheet_->finishing) {
            return;
        }
        for (auto& page : sheet_->pages) {
            Deliver(page.get(), DialogMessage{DialogMessageType::Reset});
        }
        sheet_->finishing = true;
        done(0);
    }

  private:
    // The next or previous page, round the end, chosen as a click on its tab would choose it
    // (the same kill-active and set-active). The focus then goes to the new page's first
    // control, or stays on the tabs when it was there, or where it is when the page stayed.
    void StepPage(int step) {
        const int count = sheet_->tabs->count();
        const int target = ((sheet_->current + step) % count + count) % count;
        const bool onTabs = sheet_->tabs->tabBar()->hasFocus();
        sheet_->tabs->setCurrentIndex(target);
        if (sheet_->current == target && !onTabs) {
            FocusFirstControl(sheet_, sheet_->pages[static_cast<size_t>(target)].get());
        }
    }

    DialogObject* sheet_;
};

// Makes page index current: created (and initialised) the first time, then activated; the
// focus order runs from the tabs through this page's controls to OK and Cancel.
void ActivatePage(DialogObject* sheet, int index) {
    const size_t at = static_cast<size_t>(index);
    if (sheet->pages[at] == nullptr) {
        auto page = std::make_unique<DialogObject>();
        page->procedure = sheet->pageSpecs[at]->procedure;
        page->root = sheet;
        page->dialog = sheet->dialog;
        page->focusOrder =
            BuildControls(page.get(), sheet->pageAreas[at], *sheet->pageSpecs[at]->layout);
        sheet->pages[at] = std::move(page);
        for (QWidget* control : sheet->pages[at]->focusOrder) {
            static_cast<SheetDialog*>(sheet->dialog)->Watch(control);
        }
        Deliver(sheet->pages[at].get(), DialogMessage{DialogMessageType::InitDialog});
    }
    sheet->current = index;
    QWidget* previous = sheet->tabs;
    for (QWidget* control : sheet->pages[at]->focusOrder) {
        QWidget::setTabOrder(previous, control);
        previous = control;
    }
    QWidget::setTabOrder(previous, sheet->controls[kIdOk]);
    QWidget::setTabOrder(sheet->controls[kIdOk], sheet->controls[kIdCancel]);
    Deliver(sheet->pages[at].get(), DialogMessage{DialogMessageType::SetActive});
}

struct LiveScope {
    explicit LiveScope(DialogObject* dialog) : dialog_(dialog) { liveDialogs.push_back(dialog); }
    ~LiveScope() { liveDialogs.erase(std::find(liveDialogs.begin(), liveDialogs.end(), dialog_)); }
    LiveScope(const LiveScope&) = delete;
    LiveScope& operator=(const LiveScope&) = delete;

  private:
    DialogObject* dialog_;
};

}  // namespace

void SetDialogShownHook(DialogShownHook hook) {
    dialogShownHook.store(hook);
}

int ShowModalDialog(WindowHandle owner, const DialogTemplate& layout, DialogProcedure procedure) {
    if (qApp == nullptr || procedure == nullptr) {
        return -1;
    }
    DialogObject dialog;
    dialog.procedure = procedure;
    dialog.root = &dialog;
    ModalDialog window(&dialog, WindowWidget(owner));
    dialog.dialog = &window;
    window.setFont(DialogFont());
    window.setWindowTitle(FromWindows1252(layout.caption != nullptr ? layout.caption : ""));
    window.setFixedSize(layout.width * kDialogUnitPixels, layout.height * kDialogUnitPixels);
    window.setWindowModality(Qt::ApplicationModal);
    LiveScope live(&dialog);
    const std::vector<QWidget*> focusOrder = BuildControls(&dialog, &window, layout);
    Deliver(&dialog, DialogMessage{DialogMessageType::InitDialog});
    if (!focusOrder.empty()) {
        focusOrder.front()->setFocus();
    }
    ScheduleShownHook(&dialog);
    return window.exec();
}

void EndDialog(DialogHandle dialog, int result) {
    if (!IsLive(dialog) || dialog->root->finishing) {
        return;
    }
    dialog->root->finishing = true;
    dialog->dialog->done(result);
}

int ShowPropertySheet(WindowHandle owner, const PropertySheetSpec& spec) {
    if (qApp == nullptr || spec.pageCount <= 0 || spec.pages == nullptr || spec.startPage < 0 ||
        spec.startPage >= spec.pageCount) {
        return -1;
    }
    int width = 0;
    int height = 0;
    for (int i = 0; i < spec.pageCount; ++i) {
        const PropertySheetPage& page = spec.pages[i];
        if (page.layout == nullptr || page.procedure == nullptr) {
            return -1;
        }
        width = std::max(width, page.layout->width * kDialogUnitPixels);
        height = std::max(height, page.layout->height * kDialogUnitPixels);
    }

    DialogObject sheet;
    sheet.root = &sheet;
    SheetDialog window(&sheet, WindowWidget(owner));
    sheet.dialog = &window;
    window.setFont(DialogFont());
    window.setWindowTitle(FromWindows1252(spec.caption != nullptr ? spec.caption : ""));
    window.setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(&window);
    sheet.tabs = new QTabWidget(&window);
    layout->addWidget(sheet.tabs);
    for (int i = 0; i < spec.pageCount; ++i) {
        auto* area = new QWidget();
        area->setFixedSize(width, height);
        sheet.tabs->addTab(
            area, FromWindows1252(spec.pages[i].title != nullptr ? spec.pages[i].title : ""));
        sheet.pageAreas.push_back(area);
        sheet.pageSpecs.push_back(&spec.pages[i]);
        sheet.pages.emplace_back();
    }
    // The system's own OK and Cancel, in the order and the language the desktop gives them.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &window);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    ok->setDefault(true);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    sheet.controls[kIdOk] = ok;
    sheet.controls[kIdCancel] = cancel;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);

    for (QWidget* control : std::initializer_list<QWidget*>{sheet.tabs->tabBar(), ok, cancel}) {
        window.Watch(control);
    }

    LiveScope live(&sheet);
    sheet.tabs->setCurrentIndex(spec.startPage);
    ActivatePage(&sheet, spec.startPage);
    // The first Tab or arrow key belongs to the page, not to the tabs.
    FocusFirstControl(&sheet, sheet.pages[static_cast<size_t>(spec.startPage)].get());
    QObject::connect(sheet.tabs, &QTabWidget::currentChanged, &window, [&sheet](int index) {
        if (sheet.finishing || index < 0 || index == sheet.current) {
            return;
        }
        Deliver(sheet.pages[static_cast<size_t>(sheet.current)].get(),
                DialogMessage{DialogMessageType::KillActive});
        ActivatePage(&sheet, index);
    });
    ScheduleShownHook(&sheet);
    return window.exec() == 1 ? 1 : 0;
}

DialogHandle CurrentSheetPage(DialogHandle sheet) {
    return SheetPage(sheet, IsLive(sheet) ? sheet->current : -1);
}

DialogHandle SheetPage(DialogHandle sheet, int index) {
    if (!IsLive(sheet) || sheet->tabs == nullptr || index < 0 ||
        index >= static_cast<int>(sheet->pages.size())) {
        return nullptr;
    }
    return sheet->pages[static_cast<size_t>(index)].get();
}

void SetDialogTitle(DialogHandle dialog, const char* title) {
    if (IsLive(dialog)) {
        dialog->dialog->setWindowTitle(FromWindows1252(title != nullptr ? title : ""));
    }
}

void SetDlgItemText(DialogHandle dialog, int controlId, const char* text) {
    const QString value = FromWindows1252(text != nullptr ? text : "");
    QWidget* widget = Control(dialog, controlId);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
        FitLabel(label);
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        frame->setTitle(value);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(value);
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        list->setCurrentIndex(list->findText(value));
    }
}

int GetDlgItemText(DialogHandle dialog, int controlId, char* out, int size) {
    if (out == nullptr || size <= 0) {
        return 0;
    }
    QString value;
    QWidget* widget = Control(dialog, controlId);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        value = edit->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        value = label->text();
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        value = frame->title();
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        value = button->text();
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        value = list->currentText();
    }
    return CopyItemText(ToWindows1252(value), out, size);
}

void EnableDlgItem(DialogHandle dialog, int controlId, bool enabled) {
    if (QWidget* widget = Control(dialog, controlId)) {
        widget->setEnabled(enabled);
    }
}

bool IsDlgItemEnabled(DialogHandle dialog, int controlId) {
    QWidget* widget = Control(dialog, controlId);
    return widget != nullptr && widget->isEnabled();
}

void InsertListItem(DialogHandle dialog, int controlId, int index, const char* text) {
    if (auto* list = qobject_cast<QComboBox*>(Control(dialog, controlId))) {
        // Inserting must not make a selection of its own.
        const int selected = list->currentIndex();
        const int at = index < 0 || index > list->count() ? list->count() : index;
        list->insertItem(at, FromWindows1252(text != nullptr ? text : ""));
        list->setCurrentIndex(selected < 0 ? -1 : (selected >= at ? selected + 1 : selected));
    }
}

void SetListSelection(DialogHandle dialog, int controlId, int index) {
    if (auto* list = qobject_cast<QComboBox*>(Control(dialog, controlId))) {
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    }
}

int GetListSelection(DialogHandle dialog, int controlId) {
    auto* list = qobject_cast<QComboBox*>(Control(dialog, controlId));
    return list != nullptr ? list->currentIndex() : -1;
}

QDialog* DialogWidget(DialogHandle dialog) {
    return IsLive(dialog) ? dialog->dialog : nullptr;
}

QWidget* DialogItemWidget(DialogHandle dialog, int controlId) {
    return Control(dialog, controlId);
}

QTabWidget* SheetTabs(DialogHandle sheet) {
    return IsLive(sheet) ? sheet->tabs : nullptr;
}

}  // namespace platform
