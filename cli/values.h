// Parameter words as a user reads and writes them on the command line: the value as the pages
// show it, the pages' list entries, and NAME=VALUE checked as far as it can be without the device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvxctl {

bool IsTimeWord(int word);
// The entries of a word's list on its parameter page, index 0 first; empty for number fields.
std::vector<std::string> Choices(int word);
// The value as the pages show it; times in the edit copy's unit (callers copy the device words
// to the edit copy first).
std::string ValueText(int word, uint16_t value);

struct Assignment {
    int word;
    std::string text;  // as typed, for the time words and messages
    uint16_t value;    // the word, for all but the time words
};

// A time as typed into a time field: digits with at most one decimal separator ("." or ",").
// How many digits may stand on either side depends on the unit, checked once it is known.
bool TimeSyntax(const std::string& text, int* integerDigits, int* decimals);
// Checks what can be checked without the device: the name, the form of the value and its range.
// False with the reason on stderr.
bool ParseAssignment(const std::string& argument, Assignment* out);

}  // namespace kvxctl
