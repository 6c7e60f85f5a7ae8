// What the main windows of every back end share: the list of live windows (a handle is used only
// while its window is in it) and the way the program's paint is run from the update region.
#pragma once

#include <algorithm>
#include <vector>

#include "platform/device_context.h"
#include "platform/window.h"

namespace platform {

template <typename Window>
class LiveWindowList {
  public:
    void Add(Window* window) { windows_.push_back(window); }
    // false when it was not in the list.
    bool Remove(const Window* window) {
        const auto it = std::find(windows_.begin(), windows_.end(), window);
        if (it == windows_.end()) {
            return false;
        }
        windows_.erase(it);
        return true;
    }
    bool Contains(const Window* window) const {
        return window != nullptr &&
               std::find(windows_.begin(), windows_.end(), window) != windows_.end();
    }
    const std::vector<Window*>& All() const { return windows_; }

  private:
    std::vector<Window*> windows_;
};

// Runs the program's paint of a window whose update region is not empty. Window has the flags
// painting (between BeginPaint and EndPaint), paintTaken (set by BeginPaint) and paintContext;
// isLive(window) tells whether the paint destroyed it.
template <typename Window, typename IsLive>
void RunProgramPaint(Window* window, IsLive isLive) {
    window->paintTaken = false;
    SendWindowMessage(window, WindowMessage{MessageType::Paint});
    if (!isLive(window)) {
        return;
    }
    if (window->painting) {
        // Begun but never ended: end it, or no paint would ever run again.
        EndPaint(window, window->paintContext);
    } else if (!window->paintTaken) {
        // Handled without painting: validated anyway, or the paint would come back forever.
        EndPaint(window, BeginPaint(window));
    }
}

}  // namespace platform
