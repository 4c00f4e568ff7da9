#pragma once
// Command-line parsing for the subcommands: options with or without a value,
// options that take several values, and positional arguments.
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace zelko::cli {

// A wrong command line; reported with the command's usage, exit code 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Options {
public:
    // flags: options without a value; valued: options with one value;
    // lists: options followed by one or more values (repeatable).
    Options(const Args& args, size_t from, std::set<std::string> flags, std::set<std::string> valued,
            std::set<std::string> lists = {});

    bool Has(const std::string& name) const { return flags_.count(name) || values_.count(name); }
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    std::string Required(const std::string& name) const;
    const std::vector<std::string>& List(const std::string& name) const;
    // A whole number in [min, max]; the fallback when the option is absent.
    long Number(const std::string& name, long fallback, long min, long max) const;

    const std::vector<std::string>& Positional() const { return positional_; }
    bool Help() const { return help_; }

private:
    std::set<std::string> flags_;
    std::map<std::string, std::string> values_;
    std::map<std::string, std::vector<std::string>> lists_;
    std::vector<std::string> positional_;
    bool help_ = false;
};

} // namespace zelko::cli
