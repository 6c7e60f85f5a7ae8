// Sending the 22 parameter words and proving by reading them back that the device took them.
#pragma once

#include "platform/event.h"

void QueueAllParameters();
// 1 when every edit word equals the device word, else 0.
int ParametersConfirmed();
// Polls the device and waits up to timeoutMs for its parameter reply (word 0); false without it,
// also as soon as stop (when given) is set.
bool PollAndWait(int timeoutMs, platform::EventHandle stop = nullptr);
// Run by the link tick when the queue has drained and a transfer awaits confirmation.
void ConfirmationStep();
// Timer 1000: poll once while a device talks but has not identified itself.
void IdentityPoll();
// True when the identity poll now would send nothing.
bool IdentityPollIdle();
