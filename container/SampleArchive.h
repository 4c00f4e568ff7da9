#pragma once
// A small demo archive made from generated images: several packs of
// different games and formats between other chunks, for first runs,
// screenshots and tests.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace zelko {

// The archive's bytes. Deterministic: the same bytes on every run.
std::vector<uint8_t> MakeSampleArchive();

// Writes the sample archive to `path`; throws Error on failure.
void WriteSampleArchive(const std::filesystem::path& path);

} // namespace zelko
