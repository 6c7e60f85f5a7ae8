// The real file dialog, driven the way a user drives it: a full path typed into the name field
// and Return, the questions before creating and before replacing a file answered either way.
#include "platform/file_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "window_fixture.h"

namespace {

using FileDialog = KvxWindowTest;

// The modal widget on screen when it is a T, else nullptr.
template <typename T>
T* Shown() {
    auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
    return widget != nullptr && widget->isVisible() ? widget : nullptr;
}

// Runs the steps one after another from the dialog's own event loop; each step is retried every
// few milliseconds until it reports that it could act. A driver whose steps did not all run is
// deleted by the caller, so it cannot act in the next case.
QPointer<QTimer> Drive(std::vector<std::function<bool()>> steps) {
    auto* timer = new QTimer;
    auto at = std::make_shared<size_t>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, at, steps] {
        if (*at < steps.size() && steps[*at]()) {
            ++*at;
        }
        if (*at == steps.size()) {
            timer->deleteLater();
        }
    });
    timer->start(10);
    return timer;
}

std::function<bool()> TypeAndReturn(const std::string& text) {
    return [text] {
        auto* dialog = Shown<QFileDialog>();
        if (dialog != nullptr) {
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            edit->setText(QString::fromStdString(text));
            // From a timer of its own: a question the key raises runs a nested loop, in which the
            // driving timer must go on firing.
            QTimer::singleShot(0, edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); });
        }
        return dialog != nullptr;
    };
}

std::function<bool()> Answer(QMessageBox::StandardButton button) {
    return [button] {
        auto* box = Shown<QMessageBox>();
        if (box != nullptr) {
            box->button(button)->click();
        }
        return box != nullptr;
    };
}

std::function<bool()> Escape() {
    return [] {
        auto* dialog = Shown<QFileDialog>();
        if (dialog != nullptr) {
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
        return dialog != nullptr;
    };
}

TEST_F(FileDialog, TypedPathsReturnAndTheQuestionsBeforeCreatingAndReplacing) {
    ASSERT_NE(Start(), nullptr);
    std::ofstream(dir / "old.KVX") << "x";
    std::ofstream(dir / "low.kvx") << "x";
    const std::string d = dir.string() + "/";
    using K = platform::FileDialogKind;
    const struct {
        K kind;
        std::vector<std::function<bool()>> steps;
        std::string chosen;  // "" for cancelled
    } cases[] = {
        {K::Open, {TypeAndReturn(d + "new"), Answer(QMessageBox::Yes)}, d + "new.KVX"},
        {K::Open, {TypeAndReturn(d + "new"), Answer(QMessageBox::No), Escape()}, ""},
        {K::Open, {TypeAndReturn(d + "low.kvx")}, d + "low.kvx"},
        {K::Save, {TypeAndReturn(d + "old"), Answer(QMessageBox::Yes)}, d + "old.KVX"},
        {K::Save, {TypeAndReturn(d + "old"), Answer(QMessageBox::No), Escape()}, ""},
        {K::Save, {TypeAndReturn(d + "fresh")}, d + "fresh.KVX"},
    };
    for (const auto& c : cases) {
        const platform::FileDialogSpec spec{"Korvex File (*.KVX)", "*.KVX", "KVX",
                                            c.kind == K::Save, c.kind == K::Open};
        QPointer<QTimer> driver = Drive(c.steps);
        char path[512] = "stale";
        EXPECT_EQ(platform::ShowFileDialog(window, c.kind, spec, path, sizeof path), 0u);
        EXPECT_EQ(std::string(path), c.chosen);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        delete driver.data();
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "new.KVX")) << "the dialog itself creates nothing";
}

}  // namespace
