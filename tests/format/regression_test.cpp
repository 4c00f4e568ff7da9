// Every input that ever made a fuzz target fail, and a seed of each target,
// replayed through the target's own checks: a crash, an abort or a sanitizer
// report fails the run.
#include <gtest/gtest.h>

#include <filesystem>

#include "Inputs.h"
#include "TempFolder.h"

namespace {

// Runs every file of regressions/TARGET; a target without inputs fails.
void Replay(const char* target, int (*run)(const uint8_t*, size_t)) {
    std::vector<std::filesystem::path> files;
    const auto folder = std::filesystem::path("regressions") / target;
    if (std::filesystem::is_directory(folder)) {
        for (const auto& item : std::filesystem::directory_iterator(folder)) files.push_back(item.path());
    }
    ASSERT_FALSE(files.empty()) << "no inputs in " << folder.string();
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const auto bytes = ReadFileBytes(file);
        run(bytes.data(), bytes.size());
    }
}

} // namespace

TEST(Regressions, TextureFileInputsLoadOrFailCleanly) { Replay("fuzz_texture_file", fuzz_inputs::RunTextureFileInput); }

TEST(Regressions, DdsInputsLoadOrFailCleanly) { Replay("fuzz_dds", fuzz_inputs::RunDdsInput); }

TEST(Regressions, DecompressInputsDecodeOrFailCleanly) { Replay("fuzz_decompress", fuzz_inputs::RunDecompressInput); }

TEST(Regressions, ArchiveInputsOpenOrFailCleanly) { Replay("fuzz_archive", fuzz_inputs::RunArchiveInput); }

TEST(Regressions, VinylInputsOpenOrFailCleanly) { Replay("fuzz_vinyl", fuzz_inputs::RunVinylInput); }

TEST(Regressions, ThumbnailInputsOpenOrFailCleanly) { Replay("fuzz_stp", fuzz_inputs::RunStpInput); }

TEST(Regressions, LoadCacheInputsReadOrFailCleanly) { Replay("fuzz_load_cache", fuzz_inputs::RunLoadCacheInput); }

TEST(Regressions, CompressedArchiveInputsExpandOrFailCleanly) { Replay("fuzz_lzc", fuzz_inputs::RunLzcInput); }

TEST(Regressions, ImageFileInputsDecodeOrFailCleanly) { Replay("fuzz_image_file", fuzz_inputs::RunImageFileInput); }
