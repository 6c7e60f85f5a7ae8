// The command-line scanner kvxctl and kvxsim share, so both read options the usual way: every
// long option as "--name VALUE" or "--name=VALUE", the short ones as "-p VALUE", "--" before
// operands that begin with a dash, and one line that names what was not understood.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace options {

struct Spec {
    const char* name;       // "--port"
    const char* shortName;  // "-p", or nullptr
    bool takesValue;
};

struct Scanned {
    std::vector<std::pair<std::string, std::string>> options;  // long name and value ("" for flags)
    std::vector<std::string> operands;
    std::string error;  // empty when every argument was understood
};

inline const Spec* Find(const std::vector<Spec>& specs, const std::string& name) {
    for (const Spec& spec : specs) {
        if (name == spec.name || (spec.shortName != nullptr && name == spec.shortName)) {
            return &spec;
        }
    }
    return nullptr;
}

inline Scanned Scan(int argc, char** argv, const std::vector<Spec>& specs) {
    Scanned out;
    bool operandsOnly = false;
    for (int i = 1; i < argc && out.error.empty(); ++i) {
        const std::string arg = argv[i];
        if (operandsOnly || arg.size() < 2 || arg[0] != '-') {
            out.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
            continue;
        }
        const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const Spec* spec = Find(specs, name);
        if (spec == nullptr) {
            out.error = "unknown option '" + name + "'";
        } else if (!spec->takesValue && equals != std::string::npos) {
            out.error = "option '" + std::string(spec->name) + "' takes no value";
        } else if (!spec->takesValue) {
            out.options.emplace_back(spec->name, "");
        } else if (equals != std::string::npos) {
            out.options.emplace_back(spec->name, arg.substr(equals + 1));
        } else if (i + 1 < argc) {
            out.options.emplace_back(spec->name, argv[++i]);
        } else {
            out.error = "option '" + std::string(spec->name) + "' needs a value";
        }
    }
    return out;
}

}  // namespace options
