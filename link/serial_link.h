// The physical link: one serial port at 9600 8N1 with a reader thread feeding the parser in
// 4-byte chunks and a writer thread draining the transmit ring.
#pragma once

#include <cstdint>

// 1 when the port "COM<port>" is open and both threads run, else 0 with nothing left behind.
int OpenLink(int port, int baud);
// The same for a port name: "COM<n>", or a device path (anything with a '/').
int OpenLinkByName(const char* name, int baud);
// The system's reason (errno) the last open failed, for callers that name it.
int32_t LinkOpenError();
// Waits until every byte put so far has left on the line, up to timeoutMs; for callers that
// close the link right after a command. False on a timeout or with no link open.
bool FlushLink(int timeoutMs);
// Stops and joins both threads and releases the port; harmless when nothing is open.
void CloseLink();
// After each read the reader waits up to ms for more bytes to gather in the kernel before it
// reads again, so a device that streams 50 messages a second wakes it far less often. Every
// byte still reaches the parser in order, only up to ms later. 0 (the default) reads each
// message as it comes, for callers that time-stamp messages.
void SetReadGather(int ms);

// Observation point for tests: a hook that sees every chunk, on the reader thread, just before
// the parser does.
using ReceiveHook = void (*)(const uint8_t* bytes, int count);
void SetReceiveHook(ReceiveHook hook);
// Told, on the reader thread, how many bytes each read brought (count) and how many of earlier
// reads still wait for the rest of their chunk (held), before they reach the hook above and the
// parser: a monitor stamps each byte by its place in the read.
using ReadHook = void (*)(int held, int count);
void SetReadHook(ReadHook hook);
