#include "CommandLine.h"

std::optional<std::string> ParsedArgs::Value(const std::string& name) const {
    const auto it = m_values.find(name);
    if (it == m_values.end() || it->second.empty()) {
        return std::nullopt;
    }
    return it->second.front();
}

const std::vector<std::string>& ParsedArgs::Values(const std::string& name) const {
    static const std::vector<std::string> none;
    const auto it = m_values.find(name);
    return it == m_values.end() ? none : it->second;
}

void ParsedArgs::Set(const std::string& name, std::vector<std::string> values) {
    m_values[name] = std::move(values);
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs) {
    ParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // A lone "-" or a negative number is a value, not an option.
        const bool looksLikeOption =
            arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9') && arg[1] != '.';
        if (!looksLikeOption) {
            parsed.positional.push_back(arg);
            continue;
        }
        const OptionSpec* spec = nullptr;
        for (const auto& candidate : specs) {
            if (candidate.name == arg) {
                spec = &candidate;
            }
        }
        if (spec == nullptr) {
            throw UsageError("unknown option " + arg);
        }
        if (parsed.Has(arg)) {
            throw UsageError("option " + arg + " given twice");
        }
        std::vector<std::string> values;
        for (int v = 0; v < spec->values; ++v) {
            if (++i >= args.size()) {
                throw UsageError("option " + arg + " needs " + std::to_string(spec->values) +
                                 (spec->values == 1 ? " value" : " values"));
            }
            values.push_back(args[i]);
        }
        parsed.Set(arg, std::move(values));
    }
    return parsed;
}
