// The kvxctl commands, each returning the program's exit code. All but monitor wait at most 2 s
// for the device; Ctrl+C ends any of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvxctl {

int CommandIdentity();
// The 22 words as a table or JSON; with savePath also the parameter file KVXMon's Save writes.
int CommandRead(bool json, const char* savePath);
// Sends a parameter file as KVXMon's Load does, and confirms it.
int CommandWrite(const char* path);
// NAME=VALUE arguments, checked as the pages check them; sends only what differs.
int CommandSet(const std::vector<std::string>& arguments);
enum class MonitorFormat { Text, Csv, Json };
// Live values, one line per measurement, until durationSeconds (0: no end) or Ctrl+C.
int CommandMonitor(MonitorFormat format, double durationSeconds);
// Sends one command once the device has shown that it talks (reset a peak, the key).
int SendSingleCommand(uint16_t command);

}  // namespace kvxctl
