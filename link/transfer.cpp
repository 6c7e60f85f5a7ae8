#include "link/transfer.h"

void QueueAllParameters() {}
int ParametersConfirmed() { return 1; }
bool PollAndWait(int) { return false; }
void ConfirmationStep() {}
void IdentityPoll() {}
