#pragma once
// What differs between Windows and Linux beyond files (SafeFile): where the
// running program lies.
#include <filesystem>

namespace zelko {

// The folder that holds the running program (its Data folder and, for the
// editor, its settings and log lie there); empty when it cannot be told.
std::filesystem::path ProgramFolder();

} // namespace zelko
