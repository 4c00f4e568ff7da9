// Every input that ever made a fuzz target fail, replayed through the
// target's own checks: a crash, an abort or a sanitizer report fails the run.
#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "TextureFileInput.h"

namespace {

std::vector<std::filesystem::path> Corpus(const char* target) {
    std::vector<std::filesystem::path> files;
    const auto folder = std::filesystem::path("regressions") / target;
    if (std::filesystem::is_directory(folder)) {
        for (const auto& item : std::filesystem::directory_iterator(folder)) files.push_back(item.path());
    }
    return files;
}

} // namespace

TEST(Regressions, TextureFileInputsLoadOrFailCleanly) {
    const auto files = Corpus("fuzz_texture_file");
    EXPECT_FALSE(files.empty());
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const auto bytes = ReadFileBytes(file);
        fuzz_texture_file::RunTextureFileInput(bytes.data(), bytes.size());
    }
}
