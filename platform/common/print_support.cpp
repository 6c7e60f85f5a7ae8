#include "platform/common/print_support.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<PrintDialogHook> printDialogHook{nullptr};

}  // namespace

void SetPrintDialogHook(PrintDialogHook hook) {
    printDialogHook.store(hook);
}

PrintDialogHook CurrentPrintDialogHook() {
    return printDialogHook.load();
}

}  // namespace platform
