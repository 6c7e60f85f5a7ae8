#include "platform/common/context_state.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace platform {

namespace {

std::vector<ContextState*>& LiveContexts() {
    static std::vector<ContextState*> contexts;
    return contexts;
}

template <typename Handle>
void Replace(Handle ContextState::*member, Handle object, Handle stock) {
    for (ContextState* state : LiveContexts()) {
        if (state->*member == object) {
            state->*member = stock;
        }
    }
}

}  // namespace

int FontCell(int height) {
    return height == 0 ? kStockFontCell : std::abs(height);
}

int FontWeight(int weight) {
    return weight <= 0 ? kNormalWeight : weight;
}

void StartContext(ContextState* state, FontHandle font, PenHandle pen, BrushHandle brush) {
    *state = ContextState{};
    state->font = font;
    state->pen = pen;
    state->brush = brush;
    LiveContexts().push_back(state);
}

void ForgetContext(ContextState* state) {
    auto& live = LiveContexts();
    live.erase(std::remove(live.begin(), live.end(), state), live.end());
}

void Unselect(FontHandle font, FontHandle stock) {
    Replace(&ContextState::font, font, stock);
}

void Unselect(PenHandle pen, PenHandle stock) {
    Replace(&ContextState::pen, pen, stock);
}

void Unselect(BrushHandle brush, BrushHandle stock) {
    Replace(&ContextState::brush, brush, stock);
}

FontHandle SelectFont(DeviceContext dc, FontHandle font) {
    if (dc == nullptr || font == nullptr) {
        return nullptr;
    }
    return std::exchange(StateOf(dc)->font, font);
}

PenHandle SelectPen(DeviceContext dc, PenHandle pen) {
    if (dc == nullptr || pen == nullptr) {
        return nullptr;
    }
    return std::exchange(StateOf(dc)->pen, pen);
}

BrushHandle SelectBrush(DeviceContext dc, BrushHandle brush) {
    if (dc == nullptr || brush == nullptr) {
        return nullptr;
    }
    return std::exchange(StateOf(dc)->brush, brush);
}

int SetTextAlign(DeviceContext dc, int align) {
    if (dc == nullptr) {
        return 0;
    }
    return std::exchange(StateOf(dc)->align, align);
}

uint32_t SetBkColor(DeviceContext dc, uint32_t rgb) {
    if (dc == nullptr) {
        return 0;
    }
    return std::exchange(StateOf(dc)->bkColor, rgb & 0xFFFFFF);
}

void MoveTo(DeviceContext dc, int x, int y) {
    if (dc != nullptr) {
        StateOf(dc)->x = x;
        StateOf(dc)->y = y;
    }
}

}  // namespace platform
