// The drawing state a device context carries from call to call (selected font, pen and brush,
// text alignment, background colour, current position), the calls that only set it, and the rules
// for making and deleting the objects it selects: the same in every back end.
#pragma once

#include <cstdint>

#include "platform/device_context.h"

namespace platform {

struct ContextState {
    FontHandle font = nullptr;
    PenHandle pen = nullptr;
    BrushHandle brush = nullptr;
    int align = kAlignLeft | kAlignTop;
    uint32_t bkColor = Rgb(255, 255, 255);
    int x = 0;  // the current position
    int y = 0;
};

// The back end's: the state of one of its contexts.
ContextState* StateOf(DeviceContext dc);

// A fresh context's state: the back end's stock objects, left/top alignment, white background.
// It is counted as alive until ForgetContext, so that deleting a drawing object that the
// context still holds cannot leave it pointing at freed memory. Window thread only.
void StartContext(ContextState* state, FontHandle font, PenHandle pen, BrushHandle brush);
void ForgetContext(ContextState* state);
// Every live context that holds the object gets the stock one in its place.
void Unselect(FontHandle font, FontHandle stock);
void Unselect(PenHandle pen, PenHandle stock);
void Unselect(BrushHandle brush, BrushHandle stock);

// A font's character cell and weight as every back end makes it. The program gives its fonts by
// their cell; a negative height (elsewhere the height without the internal leading) is taken as
// that cell too, so both back ends build the same picture. Zero means the stock font's cell; a
// weight of zero or less, normal (400).
inline constexpr int kStockFontCell = 16;
inline constexpr int kNormalWeight = 400;
int FontCell(int height);
int FontWeight(int weight);

// Deletes one of the back end's fonts, pens or brushes (its destructor frees what the window
// system made for it) after unselecting it everywhere. The stock objects are never deleted.
template <typename Object>
void DeleteDrawingObject(Object* object, Object* stock) {
    if (object == nullptr || object == stock) {
        return;
    }
    Unselect(object, stock);
    delete object;
}

}  // namespace platform
