// What the printing of every back end shares: the hook that answers in the print dialog's place,
// and the printer contexts alive now, each a back end's printer object found by its device
// context.
#pragma once

#include <algorithm>
#include <vector>

#include "platform/printer.h"

namespace platform {

// The hook SetPrintDialogHook set, or null: the dialog is shown.
PrintDialogHook CurrentPrintDialogHook();

// Window thread only. Printer is the back end's object, with its device context in dc.
template <typename Printer>
class LivePrinters {
  public:
    void Add(Printer* printer) { printers_.push_back(printer); }
    void Remove(Printer* printer) {
        printers_.erase(std::remove(printers_.begin(), printers_.end(), printer), printers_.end());
    }
    // The live printer whose context dc is, or null.
    Printer* Find(DeviceContext dc) const {
        if (dc == nullptr) {
            return nullptr;
        }
        for (Printer* printer : printers_) {
            if (printer->dc == dc) {
                return printer;
            }
        }
        return nullptr;
    }

  private:
    std::vector<Printer*> printers_;
};

}  // namespace platform
