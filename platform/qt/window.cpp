// The main window on Qt Widgets: a fixed-size top-level widget holding a menu bar and a client
// widget. Window-system events become messages for the window procedure. The client widget only
// shows the persistent client image; the system code changes that image solely through
// invalidation, erasing and painting, as a classic window system would have it do.
#include "platform/window.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFile>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/common/menu_walk.h"
#include "platform/common/window_support.h"
#include "platform/common/window_timers.h"
#include "platform/device_context.h"
#include "platform/message_box.h"
#include "platform/qt/image_context.h"
#include "platform/qt/window_widgets.h"
#include "platform/text_codec.h"

namespace platform {
namespace {
class TopLevelWidget;
class ClientAreaWidget;
}  // namespace

struct MenuCommand {
    int id;
    QAction* action;
    bool checked;  // the mark the program set; a click must not change it
};

struct WindowObject {
    WindowProcedure procedure = nullptr;
    uint32_t backgroundRgb = 0;
    TopLevelWidget* top = nullptr;
    ClientAreaWidget* client = nullptr;
    QVBoxLayout* layout = nullptr;
    QMenuBar* menuBar = nullptr;
    std::vector<MenuCommand> menuCommands;
    std::vector<std::pair<int, QPushButton*>> buttons;
    std::unique_ptr<WindowTimers> timers;  // made at the first SetTimer, with its Qt timer
    std::unique_ptr<QTimer> timersWake;
    TimerIdleCheck idleCheck = nullptr;
    QImage image;
    ScaledImage scaled;  // the image as the display shows it, when its ratio is not 1
    // Accumulated by InvalidateRect until a paint takes it.
    QRegion updateRegion;
    bool eraseRequested = false;
    bool paintPosted = false;
    bool paintAfterTicks = false;  // a timer tick asked for a paint; it runs after the ticks
    // Between BeginPaint and EndPaint: the region being painted and its context.
    bool painting = false;
    bool paintTaken = false;
    QRegion paintRegion;
    DeviceContext paintContext = nullptr;
    QRect erasedChange;  // pixels the erase of this paint changed
    bool destroying = false;
    bool paintedOnce = false;  // a paint has ended, so the image holds the program's picture
    // Painted pixels not yet handed to Qt, and when Qt last got some. One rectangle, not a
    // region: Qt copies a single rectangle with a plain row copy, while a region of several goes
    // through its span blending, which is slower and hands large areas to a thread pool.
    QRect flushRect;
    std::chrono::steady_clock::time_point lastFlush;
    std::unique_ptr<QTimer> flushTimer;

    ~WindowObject() { DeleteImageContext(paintContext); }
};

namespace {

// Everything below runs on the window thread; none of this state is seen by another thread.
LiveWindowList<WindowObject> liveWindows;
// How many of our Qt event handlers are on the stack. While any is, a window's widgets must
// not be deleted at once (the handler would return into a deleted object).
int entryDepth = 0;
bool loopRunning = false;
// The event loop level of RunMessageLoop's loop; a box or dialog opened from it runs deeper.
int mainLoopLevel = 0;
// While a window's timer ticks are delivered: the window, and the event loop level they run in.
WindowObject* tickWindow = nullptr;
int tickLoopLevel = 0;
bool quitPending = false;
int quitCode = 0;

struct EntryScope {
    EntryScope() { ++entryDepth; }
    ~EntryScope() { --entryDepth; }
    EntryScope(const EntryScope&) = delete;
    EntryScope& operator=(const EntryScope&) = delete;
};

bool IsLive(const WindowObject* window) {
    return liveWindows.Contains(window);
}

QEvent::Type PaintRequestEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Windows-style virtual key codes for the keys the program may look at; any other key gets a
// code of its own above 0xFFFF, where no virtual key lies.
int VirtualKey(const QKeyEvent* event) {
    const int key = event->key();
    const bool keypad = (event->modifiers() & Qt::KeypadModifier) != 0;
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) {
        return 0x60 + (key - Qt::Key_0);
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z) ||
        key == Qt::Key_Space) {
        return key;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return 0x70 + (key - Qt::Key_F1);
    }
    if (keypad) {
        switch (key) {
            case Qt::Key_Asterisk:
                return 0x6A;
            case Qt::Key_Plus:
                return 0x6B;
            case Qt::Key_Minus:
                return 0x6D;
            case Qt::Key_Period:
                return 0x6E;
            case Qt::Key_Slash:
                return 0x6F;
            default:
                break;
        }
    }
    static const std::map<int, int> kSpecial = {
        {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},       {Qt::Key_Backtab, 0x09},
        {Qt::Key_Return, 0x0D},    {Qt::Key_Enter, 0x0D},     {Qt::Key_Shift, 0x10},
        {Qt::Key_Control, 0x11},   {Qt::Key_Alt, 0x12},       {Qt::Key_Pause, kKeyPause},
        {Qt::Key_CapsLock, 0x14},  {Qt::Key_Escape, 0x1B},    {Qt::Key_PageUp, 0x21},
        {Qt::Key_PageDown, 0x22},  {Qt::Key_End, 0x23},       {Qt::Key_Home, 0x24},
        {Qt::Key_Left, 0x25},      {Qt::Key_Up, 0x26},        {Qt::Key_Right, 0x27},
        {Qt::Key_Down, 0x28},      {Qt::Key_Print, 0x2C},     {Qt::Key_Insert, 0x2D},
        {Qt::Key_Delete, 0x2E},    {Qt::Key_Meta, 0x5B},      {Qt::Key_Menu, 0x5D},
        {Qt::Key_NumLock, 0x90},   {Qt::Key_ScrollLock, 0x91}};
    if (auto it = kSpecial.find(key); it != kSpecial.end()) {
        return it->second;
    }
    if (key == 0 || key == Qt::Key_unknown) {
        return 0;
    }
    // Unicode keys lie below Qt's special keys (0x01000000 and up), so both stay distinct.
    return key < 0x01000000 ? 0x10000 + key : key;
}

// A message from the window system: Qt is in one of our handlers while the procedure runs.
void Deliver(WindowObject* window, const WindowMessage& message) {
    EntryScope scope;
    if (IsLive(window)) {
        SendWindowMessage(window, message);
    }
}

void RunPaint(WindowObject* window);

// For the start-up measurement (scripts/measure.sh): with KVXMON_REPORT_FIRST_FRAME set, the
// wall-clock time of the first frame put on screen goes to stderr, in nanoseconds since the epoch.
void ReportFirstFrame() {
    static bool reported = false;
    if (reported) {
        return;
    }
    reported = true;
    if (qEnvironmentVariableIsSet("KVXMON_REPORT_FIRST_FRAME")) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::fprintf(stderr, "kvxmon: first frame at %lld\n",
                     static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    }
}

void SchedulePaint(WindowObject* window);

// Keeps a client image at the display's device pixel ratio beside the 1:1 one, so that texts
// and lines are drawn at the display's resolution instead of enlarged. Returns whether the ratio
// changed; the new picture is blank until the next paint.
bool MatchDisplayRatio(WindowObject* window, double ratio) {
    if (ratio == window->scaled.ratio || ratio <= 0) {
        return false;
    }
    window->scaled = ScaledImage{};
    window->scaled.ratio = ratio;
    if (ratio != 1.0) {
        QImage image(DeviceRect(ratio, window->image.rect()).size(), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(ToQRgb(window->backgroundRgb));
        window->scaled.image = image;
    }
    return true;
}

class TopLevelWidget : public QWidget {
  public:
    explicit TopLevelWidget(WindowObject* window) : window_(window) {}
    ~TopLevelWidget() override {
        // The window's state goes with its widgets; one that Qt tears down by itself also
        // leaves the live list here.
        liveWindows.Remove(window_);
        delete window_;
    }
    TopLevelWidget(const TopLevelWidget&) = delete;
    TopLevelWidget& operator=(const TopLevelWidget&) = delete;

  protected:
    bool event(QEvent* event) override {
        if (event->type() == PaintRequestEvent()) {
            EntryScope scope;
            window_->paintPosted = false;
            if (IsLive(window_)) {
                RunPaint(window_);
            }
            return true;
        }
        return QWidget::event(event);
    }

    void closeEvent(QCloseEvent* event) override {
        // The procedure decides: its default processing destroys the window.
        event->ignore();
        Deliver(window_, WindowMessage{MessageType::Close});
    }

    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        // The window system asks for the whole client area, erased, whenever it appears.
        if (IsLive(window_)) {
            InvalidateRect(window_, nullptr, true);
        }
    }

  private:
    WindowObject* window_;
};

class ClientAreaWidget : public QWidget {
  public:
    ClientAreaWidget(WindowObject* window, QSize size, QWidget* parent)
        : QWidget(parent), window_(window), size_(size) {
        setFixedSize(size);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
        releaseTimer_.setSingleShot(true);
        // When the wait ends, input the window system has already read may still be queued
        // behind the timer: one more turn of the event loop lets a waiting press come first.
        // The serial keeps that late turn from ending the wait of a newer release.
        connect(&releaseTimer_, &QTimer::timeout, this, [this]() {
            QMetaObject::invokeMethod(
                this,
                [this, serial = releaseSerial_]() {
                    if (serial == releaseSerial_) {
                        DeliverPendingRelease();
                    }
                },
                Qt::QueuedConnection);
        });
    }
    QSize sizeHint() const override { return size_; }

  protected:
    void paintEvent(QPaintEvent* event) override {
        // Only shows what the paints put into the image.
        if (IsLive(window_)) {
            QPainter painter(this);
            painter.setClipRegion(event->region());
            // The image made for the target's scale: the screen's gets the scaled one, a
            // rendering at 1:1 (the screen dump) the 1:1 one.
            const QImage& scaled = window_->scaled.image;
            const bool atRatio =
                !scaled.isNull() && painter.deviceTransform().m11() == scaled.devicePixelRatioF();
            painter.drawImage(QPoint(0, 0), atRatio ? scaled : window_->image);
            if (window_->paintedOnce) {
                ReportFirstFrame();
            }
            // Moved to a screen of another ratio: the picture is made again at the new one, all
            // of it, as at an exposure.
            if (devicePixelRatioF() != window_->scaled.ratio) {
                QMetaObject::invokeMethod(
                    this,
                    [window = window_, widget = this]() {
                        if (IsLive(window) &&
                            MatchDisplayRatio(window, widget->devicePixelRatioF())) {
                            InvalidateRect(window, nullptr, true);
                        }
                    },
                    Qt::QueuedConnection);
            }
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        event->accept();
        const int key = VirtualKey(event);
        bool repeat = event->isAutoRepeat();
        if (releasePending_) {
            if (key == pendingKey_ && IsRepeatPair(pendingTime_, event->timestamp())) {
                // The held-back release and this press are one step of the server's auto-repeat.
                releasePending_ = false;
                releaseTimer_.stop();
                repeat = true;
            } else {
                DeliverPendingRelease();
            }
        }
        WindowMessage message{MessageType::KeyDown};
        message.key = key;
        message.autoRepeat = repeat;
        Deliver(window_, message);
    }

    void keyReleaseEvent(QKeyEvent* event) override {
        event->accept();
        // Qt pairs every auto-repeated press with a release and flags the pair when it finds the
        // press already queued; a held key is released only once.
        if (event->isAutoRepeat()) {
            return;
        }
        // Qt finds that press only when it has already arrived, so an unflagged release may still
        // be half of a repeat: it is held back until a press of the same key has had its chance.
        DeliverPendingRelease();
        releasePending_ = true;
        pendingKey_ = VirtualKey(event);
        pendingTime_ = event->timestamp();
        ++releaseSerial_;
        releaseTimer_.start(kReleaseGraceMs);
    }

    void focusInEvent(QFocusEvent* event) override {
        QWidget::focusInEvent(event);
        // An open menu borrows the keyboard without the window losing its focus.
        if (event->reason() == Qt::PopupFocusReason) {
            return;
        }
        // The push buttons never take the focus, so it never comes from one of them.
        Deliver(window_, WindowMessage{MessageType::SetFocus});
    }

    // Tab is a key like any other for the program, not focus navigation.
    bool focusNextPrevChild(bool) override { return false; }

  private:
    // An auto-repeat's release and press carry the same server time; a person cannot lift and
    // press a key again within a few milliseconds.
    static constexpr quint64 kRepeatPairMs = 5;
    // How long a release waits for its press. The server sends both together, so the press is
    // normally in hand within a millisecond; the wait only has to outlast a paint.
    static constexpr int kReleaseGraceMs = 40;

    static bool IsRepeatPair(quint64 releaseTime, quint64 pressTime) {
        return (pressTime >= releaseTime ? pressTime - releaseTime : releaseTime - pressTime) <=
               kRepeatPairMs;
    }

    void DeliverPendingRelease() {
        if (!releasePending_) {
            return;
        }
        releasePending_ = false;
        releaseTimer_.stop();
        WindowMessage message{MessageType::KeyUp};
        message.key = pendingKey_;
        Deliver(window_, message);
    }

    WindowObject* window_;
    QSize size_;
    bool releasePending_ = false;
    int pendingKey_ = 0;
    quint64 pendingTime_ = 0;
    unsigned releaseSerial_ = 0;
    QTimer releaseTimer_;
};

void SchedulePaint(WindowObject* window) {
    // Asked for by a timer tick: painted at the end of the same wake-up instead of in another
    // turn of the loop. The ticks came when nothing else was waiting, as a window system gives
    // them, so no input is passed over; a nested loop (a message box) still posts as usual.
    if (window == tickWindow && !window->painting &&
        QThread::currentThread()->loopLevel() == tickLoopLevel) {
        window->paintAfterTicks = true;
        return;
    }
    if (window->paintPosted) {
        return;
    }
    window->paintPosted = true;
    // Low priority: like a window system's paint, it waits for the input already queued.
    QCoreApplication::postEvent(window->top, new QEvent(PaintRequestEvent()), Qt::LowEventPriority);
}

// Hands painted pixels to Qt, which copies them to the screen. At most one hand-over in
// kFramePeriod: a graph tick paints every 20 ms, but the curve moves a pixel only every 50 ms at
// the default roll, so a person sees the same motion at 25 frames a second while the process and
// the X server do half the copies and round trips. A paint after a quiet spell shows at once.
// The window's timers deliver their ticks on the same period, so a frame costs one wake-up.
constexpr auto kFramePeriod = std::chrono::milliseconds(40);
// A tick that comes a little early still shows its frame instead of waiting for the next one.
constexpr auto kFrameTolerance = std::chrono::milliseconds(10);

void FlushNow(WindowObject* window) {
    if (window->flushTimer) {
        window->flushTimer->stop();
    }
    window->lastFlush = std::chrono::steady_clock::now();
    if (!window->flushRect.isEmpty()) {
        window->client->update(std::exchange(window->flushRect, QRect()));
    }
}

void QueueFlush(WindowObject* window, const QRect& rect) {
    // At a fractional ratio Qt rounds a logical rectangle to device pixels and may leave out a
    // partly covered column or row; one logical pixel more on each side takes it in.
    const double ratio = window->scaled.ratio;
    window->flushRect |=
        ratio == std::floor(ratio) ? rect : rect.adjusted(-1, -1, 1, 1) & window->image.rect();
    const auto now = std::chrono::steady_clock::now();
    const auto next = window->lastFlush + kFramePeriod;
    if (now >= next - kFrameTolerance) {
        FlushNow(window);
        return;
    }
    if (!window->flushTimer) {
        window->flushTimer = std::make_unique<QTimer>();
        window->flushTimer->setSingleShot(true);
        window->flushTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(window->flushTimer.get(), &QTimer::timeout, [window]() {
            if (IsLive(window)) {
                FlushNow(window);
            }
        });
    }
    if (!window->flushTimer->isActive()) {
        window->flushTimer->start(
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count()));
    }
}

void RunPaint(WindowObject* window) {
    // A paint that runs a nested event loop is not painted over; its EndPaint reschedules.
    if (window->painting || window->updateRegion.isEmpty()) {
        return;
    }
    RunProgramPaint(window, IsLive);
}

void DefaultProcessing(WindowObject* window, const WindowMessage& message) {
    switch (message.type) {
        case MessageType::Close:
            DestroyWindow(window);
            break;
        case MessageType::EraseBackground:
            window->erasedChange |= FillRegion(
                &window->image, window->painting ? window->paintRegion : window->updateRegion,
                window->backgroundRgb, &window->scaled);
            break;
        case MessageType::Paint:
            EndPaint(window, BeginPaint(window));
            break;
        default:
            break;
    }
}

// The window timers' hold on the event loop: they look at their idle checks whenever the window
// thread is about to wait, and another thread reaches them by a queued call.
void HookTimersToEventLoop() {
    static bool hooked = false;
    QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance();
    if (hooked || loop == nullptr) {
        return;
    }
    hooked = true;
    QObject::connect(loop, &QAbstractEventDispatcher::aboutToBlock, &WindowTimers::BeforeSleep);
    WindowTimers::SetWakePost([]() {
        QMetaObject::invokeMethod(QCoreApplication::instance(), &WindowTimers::BeforeSleep,
                                  Qt::QueuedConnection);
    });
}

void AddMenuCommand(WindowObject* window, QAction* action, int commandId) {
    action->setData(commandId);
    window->menuCommands.push_back(MenuCommand{commandId, action, false});
    QObject::connect(action, &QAction::triggered, action, [window, action]() {
        // Qt flips a checkable action on a click; the program alone sets the marks.
        if (!IsLive(window)) {
            return;
        }
        for (const MenuCommand& command : window->menuCommands) {
            if (command.action == action) {
                action->setChecked(command.checked);
            }
        }
    });
    // Queued, so that a command that replaces the menus never deletes the menu that is still
    // handling the click.
    QObject::connect(
        action, &QAction::triggered, window->top,
        [window, commandId]() {
            WindowMessage message{MessageType::Command};
            message.id = commandId;
            Deliver(window, message);
        },
        Qt::QueuedConnection);
}

}  // namespace

bool InitApplication(int& argc, char** argv) {
    if (QCoreApplication::instance() != nullptr) {
        return true;
    }
    // Qt would abort here, or an offscreen fallback would leave a program without a window that
    // holds the serial port until it is killed; the caller says so and ends instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return false;
    }
    // Lives for the whole run; argc must stay valid as long as the application.
    static QApplication* application = new QApplication(argc, argv);
    // The program ends by its quit message only, not when its last window disappears.
    QApplication::setQuitOnLastWindowClosed(false);
    // Ties the windows to the installed kvxmon.desktop, whose icon and name a Wayland desktop
    // shows for them.
    QGuiApplication::setDesktopFileName(QStringLiteral("kvxmon"));
    // On a minimal system whose only fonts are the Liberation set the package depends on,
    // fontconfig resolves "sans-serif" to Liberation Mono, and every button and label would come
    // out in a typewriter face. The desktop's own choice stands whenever it is proportional;
    // otherwise the interface gets Liberation Sans, which the drawing names as well.
    QFont interfaceFont = QApplication::font();
    const QString sans = QStringLiteral("Liberation Sans");
    if (QFontInfo(interfaceFont).fixedPitch() && QFontDatabase::hasFamily(sans)) {
        interfaceFont.setFamilies({sans});
        QApplication::setFont(interfaceFont);
    }
    (void)application;
    SetMessagePresenter(ShowWindowMessageBox);
    return true;
}

WindowHandle CreateMainWindow(const char* title, int clientWidth, int clientHeight,
                              uint32_t backgroundRgb, WindowProcedure procedure) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr ||
        procedure == nullptr || clientWidth <= 0 || clientHeight <= 0) {
        return nullptr;
    }
    auto* window = new WindowObject;
    window->procedure = procedure;
    window->backgroundRgb = backgroundRgb & 0xFFFFFF;
    window->image = QImage(clientWidth, clientHeight, QImage::Format_RGB32);
    window->image.fill(ToQRgb(window->backgroundRgb));

    auto* top = new TopLevelWidget(window);
    window->top = top;
    top->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                        Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    top->setWindowTitle(FromWindows1252(title != nullptr ? title : ""));
    window->layout = new QVBoxLayout(top);
    window->layout->setContentsMargins(0, 0, 0, 0);
    window->layout->setSpacing(0);
    window->layout->setSizeConstraint(QLayout::SetFixedSize);
    window->client = new ClientAreaWidget(window, QSize(clientWidth, clientHeight), top);
    window->layout->addWidget(window->client);
    window->client->setFocus(Qt::OtherFocusReason);
    MatchDisplayRatio(window, window->client->devicePixelRatioF());
    liveWindows.Add(window);

    SendWindowMessage(window, WindowMessage{MessageType::Create});
    if (!IsLive(window)) {
        return nullptr;
    }
    // Centred on the screen's free area, by the window's size with its menu bar, in the
    // screen's logical pixels (at 200 % a 2560-pixel screen is 1280 wide). A window larger than
    // the free area keeps its top left corner, caption and menu, on it instead of going off the
    // screen to the left and top.
    window->layout->activate();
    top->adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        top->move(free.x() + std::max(0, (free.width() - top->width()) / 2),
                  free.y() + std::max(0, (free.height() - top->height()) / 2));
    }
    return window;
}

void ShowWindow(WindowHandle window) {
    if (!IsLive(window)) {
        return;
    }
    window->top->show();
    // The offscreen platform has no stacking order and says so on every raise.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        window->top->raise();
    }
    window->top->activateWindow();
}

void DestroyWindow(WindowHandle window) {
    if (!IsLive(window) || window->destroying) {
        return;
    }
    window->destroying = true;
    SendWindowMessage(window, WindowMessage{MessageType::Destroy});
    liveWindows.Remove(window);
    if (window->timers) {
        window->timers->KillAll();
    }
    if (window->flushTimer) {
        window->flushTimer->stop();
    }
    TopLevelWidget* top = window->top;
    top->hide();
    if (entryDepth > 0) {
        top->deleteLater();
    } else {
        delete top;
    }
}

void SetWindowTitle(WindowHandle window, const char* title) {
    if (IsLive(window)) {
        window->top->setWindowTitle(FromWindows1252(title != nullptr ? title : ""));
    }
}

void SetWindowIcon(WindowHandle window, const char* const* xpm) {
    if (IsLive(window) && xpm != nullptr) {
        const QIcon icon{QPixmap(xpm)};
        window->top->setWindowIcon(icon);
        QApplication::setWindowIcon(icon);
    }
}

int RunMessageLoop() {
    if (QCoreApplication::instance() == nullptr) {
        return 0;
    }
    int code = quitCode;
    if (!quitPending) {
        loopRunning = true;
        mainLoopLevel = QThread::currentThread()->loopLevel() + 1;
        code = QCoreApplication::exec();
        loopRunning = false;
    }
    quitPending = false;
    // Windows destroyed from inside the loop are deleted now rather than never.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return code;
}

void PostQuitMessage(int exitCode) {
    // Kept when no loop runs yet: the next RunMessageLoop then returns at once.
    quitCode = exitCode;
    quitPending = true;
    if (loopRunning) {
        QCoreApplication::exit(exitCode);
    }
}

void PostCommand(WindowHandle window, int commandId) {
    if (!IsLive(window)) {
        return;
    }
    QMetaObject::invokeMethod(
        window->top,
        [window, commandId]() {
            WindowMessage message{MessageType::Command};
            message.id = commandId;
            Deliver(window, message);
        },
        Qt::QueuedConnection);
}

bool SendWindowMessage(WindowHandle window, const WindowMessage& message) {
    if (!IsLive(window)) {
        return false;
    }
    const bool handled = window->procedure(window, message);
    if (!handled && IsLive(window)) {
        DefaultProcessing(window, message);
    }
    return handled;
}

void SetMenu(WindowHandle window, const MenuResource* menu) {
    if (!IsLive(window)) {
        return;
    }
    if (window->menuBar != nullptr) {
        window->layout->setMenuBar(nullptr);
        delete window->menuBar;  // with its popups and actions
        window->menuBar = nullptr;
        window->menuCommands.clear();
    }
    if (menu == nullptr || menu->entries == nullptr) {
        return;
    }
    auto* bar = new QMenuBar(window->top);
    bar->setNativeMenuBar(false);
    // Popups by their QMenu; the bar itself is null.
    WalkMenu(
        *menu, static_cast<QMenu*>(nullptr),
        [bar](QMenu* parent, const char* text) {
            return parent != nullptr ? parent->addMenu(FromWindows1252(text))
                                     : bar->addMenu(FromWindows1252(text));
        },
        [window, bar](QMenu* parent, const char* text, int commandId) {
            AddMenuCommand(window,
                           parent != nullptr ? parent->addAction(FromWindows1252(text))
                                             : bar->addAction(FromWindows1252(text)),
                           commandId);
        },
        [](QMenu* parent) { parent->addSeparator(); });
    window->layout->setMenuBar(bar);
    window->menuBar = bar;
    bar->show();
}

void CheckMenuItem(WindowHandle window, int commandId, bool checked) {
    if (!IsLive(window)) {
        return;
    }
    for (MenuCommand& command : window->menuCommands) {
        if (command.id != commandId) {
            continue;
        }
        command.checked = checked;
        // Only marked items are checkable, so an unmarked one shows no empty box.
        if (checked) {
            command.action->setCheckable(true);
            command.action->setChecked(true);
        } else {
            command.action->setChecked(false);
            command.action->setCheckable(false);
        }
    }
}

bool IsMenuItemChecked(WindowHandle window, int commandId) {
    QAction* action = FindMenuAction(window, commandId);
    return action != nullptr && action->isChecked();
}

int AttachedMenuCount(WindowHandle window) {
    if (!IsLive(window)) {
        return 0;
    }
    return static_cast<int>(window->top->findChildren<QMenuBar*>().size());
}

void SetTimer(WindowHandle window, int timerId, int periodMs) {
    if (!IsLive(window)) {
        return;
    }
    if (!window->timers) {
        HookTimersToEventLoop();
        window->timersWake = std::make_unique<QTimer>();
        window->timersWake->setSingleShot(true);
        window->timersWake->setTimerType(Qt::PreciseTimer);
        QObject::connect(window->timersWake.get(), &QTimer::timeout, [window]() {
            if (IsLive(window)) {
                window->timers->RunDue();
            }
        });
        window->timers = std::make_unique<WindowTimers>(
            [window](std::optional<std::chrono::milliseconds> wait) {
                if (wait) {
                    window->timersWake->start(*wait);
                } else {
                    window->timersWake->stop();
                }
            },
            [window](int id) {
                tickWindow = window;
                tickLoopLevel = QThread::currentThread()->loopLevel();
                WindowMessage message{MessageType::Timer};
                message.id = id;
                Deliver(window, message);
            },
            [window]() {
                tickWindow = nullptr;
                if (IsLive(window) && std::exchange(window->paintAfterTicks, false)) {
                    EntryScope scope;
                    RunPaint(window);
                }
            },
            kFramePeriod);
        window->timers->SetIdleCheck(IdleFunction(window->idleCheck));
    }
    window->timers->Set(timerId, WindowTimerPeriod(periodMs));
}

void SetTimerIdleCheck(WindowHandle window, TimerIdleCheck check) {
    if (!IsLive(window)) {
        return;
    }
    window->idleCheck = check;
    if (window->timers) {
        window->timers->SetIdleCheck(IdleFunction(check));
    }
}

void WakeWindowTimers() {
    WindowTimers::WakeAll();
}

void KillTimer(WindowHandle window, int timerId) {
    if (IsLive(window) && window->timers) {
        window->timers->Kill(timerId);
    }
}

void CreatePushButton(WindowHandle window, int controlId, const char* text, int x, int y, int width,
                      int height) {
    if (!IsLive(window)) {
        return;
    }
    auto* button = new QPushButton(FromWindows1252(text != nullptr ? text : ""), window->client);
    // The keys belong to the window: a focused button would take Space as its own click.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setGeometry(x, y, width, height);
    button->show();
    window->buttons.emplace_back(controlId, button);
    QObject::connect(button, &QPushButton::clicked, [window, controlId]() {
        WindowMessage message{MessageType::Command};
        message.id = controlId;
        Deliver(window, message);
    });
}

void SetFocus(WindowHandle window) {
    if (IsLive(window)) {
        window->client->setFocus(Qt::OtherFocusReason);
    }
}

void SetWaitCursor(WindowHandle window, bool waiting) {
    if (IsLive(window)) {
        window->top->setCursor(waiting ? Qt::WaitCursor : Qt::ArrowCursor);
    }
}

void InvalidateRect(WindowHandle window, const Rect* rect, bool erase) {
    if (!IsLive(window)) {
        return;
    }
    QRect area = window->image.rect();
    if (rect != nullptr) {
        // A rectangle with right <= left or bottom <= top is empty.
        area &= QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    }
    if (area.isEmpty()) {
        return;
    }
    window->updateRegion += area;
    if (erase) {
        window->eraseRequested = true;
    }
    SchedulePaint(window);
}

void UpdateWindow(WindowHandle window) {
    if (IsLive(window)) {
        RunPaint(window);
    }
}

DeviceContext BeginPaint(WindowHandle window) {
    if (!IsLive(window) || window->painting) {
        return nullptr;
    }
    window->painting = true;
    window->paintTaken = true;
    window->paintRegion = std::exchange(window->updateRegion, QRegion());
    window->erasedChange = QRect();
    if (std::exchange(window->eraseRequested, false)) {
        SendWindowMessage(window, WindowMessage{MessageType::EraseBackground});
        if (!IsLive(window)) {
            return nullptr;
        }
    }
    window->paintContext = CreateImageContext(&window->image, window->paintRegion, &window->scaled);
    return window->paintContext;
}

void EndPaint(WindowHandle window, DeviceContext dc) {
    if (!IsLive(window) || !window->painting || dc != window->paintContext) {
        return;
    }
    const QRect changed = window->erasedChange | ChangedArea(window->paintContext);
    DeleteImageContext(window->paintContext);
    window->paintContext = nullptr;
    window->painting = false;
    window->paintedOnce = true;
    // Only what the paint changed goes to the screen; a paint that changed no pixel (a graph
    // tick without a new sample) is neither copied to the backing store nor flushed.
    if (!changed.isEmpty()) {
        QueueFlush(window, (window->paintRegion & changed).boundingRect());
    }
    window->paintRegion = QRegion();
    // Invalidated while it painted: that part is painted next.
    if (!window->updateRegion.isEmpty()) {
        SchedulePaint(window);
    }
}

DeviceContext GetDC(WindowHandle window) {
    if (!IsLive(window)) {
        return nullptr;
    }
    return CreateImageContext(&window->image, QRegion(window->image.rect()), &window->scaled);
}

void ReleaseDC(WindowHandle window, DeviceContext dc) {
    DeleteImageContext(dc);
    if (IsLive(window) && dc != nullptr) {
        QueueFlush(window, window->image.rect());
    }
}

uint32_t GetClientPixel(WindowHandle window, int x, int y) {
    if (!IsLive(window) || !window->image.rect().contains(x, y)) {
        return kInvalidPixel;
    }
    return FromQRgb(window->image.pixel(x, y));
}

int ClientWidth(WindowHandle window) {
    return IsLive(window) ? window->image.width() : 0;
}

int ClientHeight(WindowHandle window) {
    return IsLive(window) ? window->image.height() : 0;
}

bool SaveClientImage(WindowHandle window, const char* path) {
    if (!IsLive(window) || path == nullptr) {
        return false;
    }
    // The picture as the user sees it: the client image at the display's resolution with the
    // push buttons over it.
    QImage shot =
        window->scaled.image.isNull() ? window->image.copy() : window->scaled.image.copy();
    {
        QPainter painter(&shot);
        for (const auto& [id, button] : window->buttons) {
            if (button->isVisible()) {
                button->render(&painter, button->pos(), QRegion(), QWidget::DrawChildren);
            }
        }
    }
    return shot.save(QFile::decodeName(path), "PNG");
}

QWidget* WindowWidget(WindowHandle window) {
    return IsLive(window) ? window->top : nullptr;
}

WindowTimers* TimersOf(WindowHandle window) {
    return IsLive(window) ? window->timers.get() : nullptr;
}

QWidget* ClientWidget(WindowHandle window) {
    return IsLive(window) ? window->client : nullptr;
}

QAction* FindMenuAction(WindowHandle window, int commandId) {
    if (!IsLive(window)) {
        return nullptr;
    }
    for (const MenuCommand& command : window->menuCommands) {
        if (command.id == commandId) {
            return command.action;
        }
    }
    return nullptr;
}

std::vector<WindowHandle> LiveWindowHandles() {
    return liveWindows.All();
}

bool InMainMessageLoop() {
    return loopRunning && QThread::currentThread()->loopLevel() == mainLoopLevel;
}

}  // namespace platform
