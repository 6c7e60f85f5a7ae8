// Parameter words leave through the command queue; the device's answer to a poll rewrites the
// device copy, and comparing it with the edit copy shows whether the device took them.
#include "link/transfer.h"

#include <cstdint>

#include "link/protocol.h"
#include "params/parameter_set.h"
#include "platform/event.h"
#include "records/language.h"
#include "records/window_state.h"

namespace {

constexpr int kConfirmTimeoutMs = 2000;
constexpr int kSlotNotTransferred = 81;
constexpr int kSlotConfirmTimeout = 82;
constexpr int kSlotTitle = 34;

// Ascending transfer codes, except that word 21 (3065) follows word 8 (3075):
// this order is kept as it always was.
constexpr ParameterWord kTransferOrder[kParameterCount] = {
    limit1Mode,       limit2Mode,   dpdtMode,       timerRange,
    outputPolarity,   iout,         analogPolarity, limit1AutoReset,
    limit2AutoReset,  autoShutDown, filter,         limit1Setpoint,
    limit2Setpoint,   dpdtSetpoint, dudt,           limit1Hysteresis,
    limit2Hysteresis, p1Min,        p1Max,          ts,
    limit1Tr,         limit2Tr,
};

}  // namespace

void QueueAllParameters() {
    for (ParameterWord word : kTransferOrder) {
        QueueWord(kParameterTable[word].transferCode,
                  parameterSet.deviceWords[word].load(std::memory_order_acquire));
    }
}

int ParametersConfirmed() {
    // Word 0 first, with acquire: the words a reply carried before it are then visible too.
    if (parameterSet.deviceWords[0].load(std::memory_order_acquire) != parameterSet.editWords[0]) {
        return 0;
    }
    for (int i = 1; i < kParameterCount; ++i) {
        if (parameterSet.deviceWords[i].load(std::memory_order_acquire) !=
            parameterSet.editWords[i]) {
            return 0;
        }
    }
    return 1;
}

// Resets before the poll goes out, so that neither a stale reply satisfies this wait nor the
// reset can swallow a reply that came quickly; resets again so a late reply satisfies no later
// wait. A missing event means no reply can ever be seen.
bool PollAndWait(int timeoutMs, platform::EventHandle stop) {
    platform::EventHandle event = replyEvent.load(std::memory_order_acquire);
    if (event == nullptr) {
        return false;
    }
    platform::ResetEvent(event);
    SendPoll();
    const platform::EventHandle events[] = {event, stop};
    const bool replied = platform::WaitForEvents(events, stop != nullptr ? 2 : 1, timeoutMs) == 0;
    platform::ResetEvent(event);
    return replied;
}

void ConfirmationStep() {
    // Cleared first: the message box below runs its own loop, whose link ticks must not start a
    // second confirmation.
    windowFlags.confirmPending.store(0, std::memory_order_relaxed);
    platform::WindowHandle owner = mainWindow.load(std::memory_order_acquire);
    if (!PollAndWait(kConfirmTimeoutMs)) {
        ShowSlotMessage(owner, kSlotConfirmTimeout, kSlotTitle, 0);
    } else if (ParametersConfirmed() == 0) {
        ShowSlotMessage(owner, kSlotNotTransferred, kSlotTitle, 0);
    }
}

bool IdentityPollIdle() {
    return liveValues.linkTimeout.load(std::memory_order_relaxed) == 0 ||
           liveValues.identity[0].load(std::memory_order_relaxed) != 0;
}

void IdentityPoll() {
    if (!IdentityPollIdle()) {
        SendPoll();
    }
}
