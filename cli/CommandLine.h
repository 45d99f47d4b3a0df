// Parsing of the command line tool's arguments: positional arguments and options that take
// a fixed number of values. Anything malformed is a usage error.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OptionSpec {
    std::string name; // with its dashes: "--elements", "-o"
    int values = 1;   // 0 for a flag
};

class ParsedArgs {
public:
    std::vector<std::string> positional;

    bool Has(const std::string& name) const { return m_values.count(name) != 0; }
    // The single value of an option, if given.
    std::optional<std::string> Value(const std::string& name) const;
    const std::vector<std::string>& Values(const std::string& name) const;

    void Set(const std::string& name, std::vector<std::string> values);

private:
    std::map<std::string, std::vector<std::string>> m_values;
};

// Parses `args` against `specs`. Throws UsageError for an unknown option, a missing value or
// an option given twice.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);
