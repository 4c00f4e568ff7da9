#pragma once
// Exception kinds of the data layers. Their text is a fixed English message
// that the editor and the command line show as it stands.
#include <stdexcept>
#include <string>

namespace zelko {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised where a length would wrap a position around the address space;
// kept apart from Error so a caller can tell a hostile length from a short file.
class OverflowError : public Error {
public:
    using Error::Error;
};

} // namespace zelko
