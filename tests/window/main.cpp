// The window tests need a Qt application before any window exists; they never need a display.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/window.h"

// The font library keeps a small cache for the life of the process, which the leak checker of
// the sanitizer builds would otherwise report at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    platform::InitApplication(argc, argv);
    const int result = RUN_ALL_TESTS();
    // Windows destroyed from inside event handlers are deleted here, before the leak check.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}
