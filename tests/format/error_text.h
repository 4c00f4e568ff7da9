#pragma once
// The message of what an action raises, for the tests' error checks.
#include <exception>
#include <functional>
#include <string>

#include "format/Errors.h"

// Empty when the action raises nothing; marked when what it raises is not an Error.
inline std::string ErrorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const zelko::Error& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("not an Error: ") + e.what();
    }
    return "";
}
