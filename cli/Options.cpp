#include "cli/Options.h"

#include <cerrno>
#include <cstdlib>

namespace zelko::cli {

Options::Options(const Args& args, size_t from, std::set<std::string> flags, std::set<std::string> valued,
                 std::set<std::string> lists) {
    bool onlyPositional = false;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyPositional || a.size() < 2 || a[0] != '-' || a == "-") {
            positional_.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyPositional = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            help_ = true;
            continue;
        }
        std::string name = a, inlineValue;
        bool hasInline = false;
        if (const auto eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
            name = a.substr(0, eq);
            inlineValue = a.substr(eq + 1);
            hasInline = true;
        }
        if (flags.count(name)) {
            if (hasInline) throw UsageError("option " + name + " takes no value");
            flags_.insert(name);
        } else if (valued.count(name)) {
            if (hasInline) {
                values_[name] = inlineValue;
            } else if (i + 1 < args.size()) {
                values_[name] = args[++i];
            } else {
                throw UsageError("option " + name + " needs a value");
            }
        } else if (lists.count(name)) {
            auto& list = lists_[name];
            if (hasInline) list.push_back(inlineValue);
            while (i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0) list.push_back(args[++i]);
            if (list.empty()) throw UsageError("option " + name + " needs a value");
        } else {
            throw UsageError("unknown option " + a);
        }
    }
}

std::string Options::Value(const std::string& name, const std::string& fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

std::string Options::Required(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) throw UsageError("option " + name + " is required");
    return it->second;
}

const std::vector<std::string>& Options::List(const std::string& name) const {
    static const std::vector<std::string> none;
    const auto it = lists_.find(name);
    return it == lists_.end() ? none : it->second;
}

long Options::Number(const std::string& name, long fallback, long min, long max) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return fallback;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(it->second.c_str(), &end, 10);
    if (errno || end == it->second.c_str() || *end || v < min || v > max) {
        throw UsageError("option " + name + " needs a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max));
    }
    return v;
}

} // namespace zelko::cli
