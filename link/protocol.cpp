#include "link/protocol.h"

void ReadIdentity(char out[kIdentitySize]) { out[0] = 0; }
void StoreIdentity(const char*) {}
void ParseReceived(const uint8_t*, int) {}
void ResetProtocolState() {}
void EncodeLongMessage(uint16_t, uint8_t*) {}
void SendCommand(uint16_t) {}
void SendPoll() {}
bool QueueWord(uint16_t, uint16_t) { return false; }
bool CommandQueueEmpty() { return true; }
void LinkTick() {}
