#include "cli/values.h"

#include <cstdlib>

#include "cli/session.h"
#include "params/parameter_set.h"
#include "platform/console.h"

namespace kvxctl {

namespace {

// Case, a final point and the spelling of the plus-minus sign do not matter in a typed name.
std::string ChoiceKey(const std::string& text) {
    std::string key = Lower(text);
    const std::string plusMinus = platform::Windows1252ToUtf8("\xB1");
    if (key.rfind(plusMinus, 0) == 0) {
        key = "+-" + key.substr(plusMinus.size());
    }
    if (!key.empty() && key.back() == '.') {
        key.pop_back();
    }
    return key;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int FindWordByName(const std::string& name) {
    for (int i = 0; i < kParameterCount; ++i) {
        if (Lower(name) == Lower(kParameterTable[i].name)) {
            return i;
        }
    }
    return -1;
}

std::string RangeText(int word) {
    const ParameterInfo& info = kParameterTable[word];
    const std::vector<std::string> choices = Choices(word);
    std::string text = std::to_string(info.minValue) + " to " + std::to_string(info.maxValue);
    if (!choices.empty()) {
        text += " (";
        for (size_t i = 0; i < choices.size(); ++i) {
            text += (i > 0 ? ", " : "") + std::to_string(i) + " " + choices[i];
        }
        text += ")";
    } else if (word == dudt) {
        text += " % (0 is Off)";
    } else {
        text += " %";
    }
    if (word == p1Max) {
        text += ", and at least p1Min + 10";
    } else if (word == p1Min) {
        text += ", and at most p1Max - 10";
    }
    return text;
}

}  // namespace

bool IsTimeWord(int word) {
    return word == limit1Tr || word == limit2Tr || word == ts;
}

std::vector<std::string> Choices(int word) {
    switch (word) {
        case limit1Mode:
        case limit2Mode:
            return {SlotText(3), "Min.", "Max."};
        case limit1AutoReset:
        case limit2AutoReset:
        case autoShutDown:
            return {SlotText(3), SlotText(4)};
        case dpdtMode:
            return {SlotText(3), "+dP/dt",
                    platform::Windows1252ToUtf8("\xB1"
                                                "dP/dt")};
        case timerRange:
            return {"100", "1000"};
        case outputPolarity:
            return {"n.inv", "inv"};
        case iout:
            return {"0-20mA", "4-20mA"};
        case analogPolarity:
            return {"Norm.", "Inv."};
        case filter:
            return {SlotText(19), "3s", "6s", "10s"};
        default:
            return {};
    }
}

std::string ValueText(int word, uint16_t value) {
    const std::vector<std::string> choices = Choices(word);
    if (!choices.empty()) {
        if (value >= choices.size()) {
            return "(not in the list)";
        }
        if (word == timerRange) {
            return choices[value] + (value == 0 ? " (times in 0.01 s)" : " (times in 0.1 s)");
        }
        return choices[value];
    }
    if (IsTimeWord(word)) {
        char text[16];
        FormatTimeText(value, text);
        return std::string(text) + " s";
    }
    if (word == dudt && value == 0) {
        return SlotText(3);
    }
    return std::to_string(value) + " %";
}

bool TimeSyntax(const std::string& text, int* integerDigits, int* decimals) {
    int digits = 0;
    int separator = -1;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if ((c == '.' || c == ',') && separator < 0) {
            separator = static_cast<int>(i);
        } else {
            return false;
        }
    }
    if (digits == 0) {
        return false;
    }
    *integerDigits = separator < 0 ? static_cast<int>(text.size()) : separator;
    *decimals = separator < 0 ? 0 : static_cast<int>(text.size()) - separator - 1;
    return true;
}

bool ParseAssignment(const std::string& argument, Assignment* out) {
    const size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
        Fail("'%s' is not NAME=VALUE", argument);
        return false;
    }
    const std::string name = argument.substr(0, equals);
    std::string text = argument.substr(equals + 1);
    const int word = FindWordByName(name);
    if (word < 0) {
        Fail("unknown parameter '%s' (kvxctl set --help lists the names)", name);
        return false;
    }
    const char* canonical = kParameterTable[word].name;
    const std::vector<std::string> choices = Choices(word);
    // What read prints is taken back as it stands: "90 %", "1.25 s", "100 (times in 0.01 s)".
    text = Trim(text);
    if (word == timerRange && text.find(" (") != std::string::npos) {
        text = text.substr(0, text.find(" ("));
    } else if (choices.empty() && !text.empty() && text.back() == (IsTimeWord(word) ? 's' : '%')) {
        text = Trim(text.substr(0, text.size() - 1));
    }
    out->word = word;
    out->text = text;
    out->value = 0;
    if (IsTimeWord(word)) {
        int integerDigits = 0;
        int decimals = 0;
        if (!TimeSyntax(text, &integerDigits, &decimals)) {
            Fail("%s: not a number: '%s'", canonical, text);
            return false;
        }
        // The largest time in either unit is 999.9 s; the unit decides the rest later.
        if (integerDigits > 3 || decimals > 2) {
            Fail(
                "%s=%s is out of range: a time in seconds, 0.00 to 99.99 (timerRange 0) or 0.0 to "
                "999.9 (timerRange 1)",
                canonical, text);
            return false;
        }
        return true;
    }
    for (size_t i = 0; i < choices.size(); ++i) {
        if (ChoiceKey(text) == ChoiceKey(choices[i])) {
            out->value = static_cast<uint16_t>(i);
            return true;
        }
    }
    if (word == dudt && ChoiceKey(text) == ChoiceKey(SlotText(3))) {
        out->value = 0;  // the dU/dt field reads "Off" as 0
        return true;
    }
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits =
        negative || (!text.empty() && text[0] == '+') ? text.substr(1) : text;
    if (!AllDigits(digits)) {
        int integerDigits = 0;
        int decimals = 0;
        Fail(!choices.empty() ? "%s: not a number nor one of its choices: '%s' (%s)"
             : TimeSyntax(digits, &integerDigits, &decimals) ? "%s: not a whole number: '%s'"
                                                             : "%s: not a number: '%s'",
             canonical, text, RangeText(word));
        return false;
    }
    const ParameterInfo& info = kParameterTable[word];
    const long value = negative ? -std::atol(digits.c_str()) : std::atol(digits.c_str());
    if (value < info.minValue || value > info.maxValue) {
        Fail("%s=%s is out of range: %s", canonical, text, RangeText(word));
        return false;
    }
    out->value = static_cast<uint16_t>(value);
    return true;
}

}  // namespace kvxctl
