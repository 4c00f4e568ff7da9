#pragma once
// What differs between Windows and Linux beyond files (SafeFile) and text
// (Text): where the running program lies.
#include <filesystem>

namespace zelko {

// The running program's own file; empty when it cannot be told.
std::filesystem::path ProgramPath();

// The folder that holds the running program (its Data folder and, for the
// editor, its settings and log lie there); empty when it cannot be told.
std::filesystem::path ProgramFolder();

} // namespace zelko
