// Saves that fail at every step in turn (creating, writing, flushing,
// renaming, locking): the files on disk stay as they were, byte for byte,
// nothing is left behind, and the message names the file and the reason.
#include <gtest/gtest.h>

#include <map>

#include "TempFolder.h"
#include "container/Editing.h"
#include "container/OpenFlow.h"
#include "container/SampleArchive.h"
#include "format/ByteStream.h"
#include "format/GameFiles.h"
#include "format/SafeFile.h"
#include "format/error_text.h"
#include "format/pack_builder.h"
#include "texture/TextureObject.h"

using namespace zelko;
namespace fs = std::filesystem;

namespace {

const std::vector<FileStep> kWritingSteps = {FileStep::Open, FileStep::Write, FileStep::Flush, FileStep::Rename};

std::map<fs::path, std::vector<uint8_t>> Snapshot(const fs::path& folder) {
    std::map<fs::path, std::vector<uint8_t>> files;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (item.is_regular_file()) files[item.path()] = ReadFileBytes(item.path());
    }
    return files;
}

// Runs `save` with each step failing at its nth run, for every nth up to
// `runs`, and checks what each failure left: the message names `target` (or,
// with an empty target, a file in the folder) and a reason.
void ExpectFailuresChangeNothing(const fs::path& folder, const fs::path& target, const std::function<void()>& save,
                                 const std::vector<FileStep>& steps, int runs = 1) {
    for (FileStep step : steps) {
        for (int nth = 1; nth <= runs; ++nth) {
            SCOPED_TRACE("step " + std::to_string(int(step)) + ", run " + std::to_string(nth));
            const auto before = Snapshot(folder);
            detail::FailFileStep(step, nth);
            const std::string error = ErrorText(save);
            detail::FailFileStep(step, 0);
            const std::string prefix = "Failed to save " + (target.empty() ? folder : target).string();
            EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
            EXPECT_NE(error.find(": ", prefix.size()), std::string::npos) << "no reason given: " << error;
            EXPECT_EQ(Snapshot(folder), before);
        }
    }
}

struct Sample {
    TempFolder dir;
    fs::path path;
    explicit Sample(const char* name = "CARS.BIN") : path(dir.path() / name) { WriteSampleArchive(path); }
};

} // namespace

TEST(Saves, ARebuiltArchiveIsReplacedWholeOrNotAtAll) {
    Sample s;
    Document doc = OpenDocument(s.path, false, Host{});
    auto bin = OpenEntry(doc, doc.entries.at(0), Host{});
    RenameTexture(*bin, *bin->pack->textures[0], "RENAMED");
    ExpectFailuresChangeNothing(s.dir.path(), s.path, [&] { SaveIntoDocument(*bin, doc, false); },
                                {FileStep::Open, FileStep::Write, FileStep::Flush, FileStep::Rename, FileStep::Lock});
    // With a backup: the copy of the original fails first, then the new archive.
    const fs::path backup = s.dir.path() / "CARS.BIN.bak";
    ExpectFailuresChangeNothing(
        s.dir.path(), backup, [&] { SaveIntoDocument(*bin, doc, true); }, kWritingSteps);
    EXPECT_TRUE(bin->modified);
    // A read-only archive is not replaced, whoever runs the program.
    const auto before = Snapshot(s.dir.path());
    fs::permissions(s.path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(ErrorText([&] { SaveIntoDocument(*bin, doc, false); }),
              "Failed to save " + s.path.string() + ": CARS.BIN is read-only");
    fs::permissions(s.path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Snapshot(s.dir.path()), before);

    const auto original = ReadFileBytes(s.path);
    SaveIntoDocument(*bin, doc, true);
    EXPECT_EQ(ReadFileBytes(backup), original); // copied: the archive never left its place
    EXPECT_EQ(Snapshot(s.dir.path()).size(), 2u);
}

TEST(Saves, AnInPlacePatchIsJournalledAndRolledBack) {
    Sample s("STREAM.BUN");
    Document doc = OpenDocument(s.path, false, Host{});
    auto bin = OpenEntry(doc, doc.entries.at(0), Host{});
    TextureObject& t = *bin->pack->textures[0];
    std::vector<uint8_t> pixels(t.pixelsSize, 0xEE);
    t.SetData(t.width, t.height, t.mipCount, pixels.data(), uint32_t(pixels.size()), nullptr, 0);
    bin->changedTextures.push_back(&t);
    bin->modified = true;
    const fs::path journal = JournalPathFor(s.path);
    // The archive's open, the journal's steps (open, two writes, two flushes,
    // rename), then the patch's own write and flush.
    const auto save = [&] { SaveIntoDocument(*bin, doc, false); };
    ExpectFailuresChangeNothing(s.dir.path(), {}, save, {FileStep::Open}, 2);
    ExpectFailuresChangeNothing(s.dir.path(), {}, save, {FileStep::Write, FileStep::Flush}, 3);
    ExpectFailuresChangeNothing(s.dir.path(), {}, save, {FileStep::Rename, FileStep::Lock});

    // A crash between the patch and the journal's removal: the next open undoes the patch.
    const auto original = ReadFileBytes(s.path);
    SaveIntoDocument(*bin, doc, false);
    const auto patched = ReadFileBytes(s.path);
    ASSERT_NE(patched, original);
    const uint64_t offset = doc.entries.at(0).offset;
    std::vector<uint8_t> saved(original.begin() + long(offset),
                               original.begin() + long(offset + doc.entries.at(0).size));
    SaveFileAtomically(journal, [&](FileWriter& out) {
        uint8_t header[32] = {};
        StoreU32(header, 0x4C4E4A5A);
        StoreU32(header + 4, 1);
        StoreU32(header + 8, uint32_t(original.size()));
        StoreU32(header + 16, uint32_t(offset));
        StoreU32(header + 24, uint32_t(saved.size()));
        out.Write(header, sizeof header);
        out.Write(saved.data(), saved.size());
    });
    // Temporary files of saves whose process has ended go too; a running save's stay.
    const auto temporary = [&](const char* process) {
        return s.dir.path() / (std::string("STREAM.BUN.zelko-") + process + "-0-1.tmp");
    };
    const std::string self = std::to_string(CurrentProcessId());
    WriteFile(temporary("999999999"), {1});
    WriteFile(temporary(self.c_str()), {1});
    const Document reopened = OpenDocument(s.path, false, Host{});
    EXPECT_TRUE(reopened.rolledBack);
    EXPECT_EQ(ReadFileBytes(s.path), original);
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_FALSE(fs::exists(temporary("999999999")));
    EXPECT_TRUE(fs::exists(temporary(self.c_str())));
    fs::remove(temporary(self.c_str()));
    // A journal of another file's size is not applied.
    WriteFile(journal, std::vector<uint8_t>(40, 1));
    EXPECT_FALSE(OpenDocument(s.path, false, Host{}).rolledBack);
    EXPECT_EQ(ReadFileBytes(s.path), original);
}

// Expanding a compressed archive and resetting the memory files: failures, then what they write.
TEST(Saves, ExpandedArchivesAndMemoryFiles) {
    TempFolder dir;
    const fs::path lzc = dir.path() / "level.LzC"; // the extension in any case
    std::vector<uint8_t> archive(4096, 7);
    StoreU32(archive.data(), 0xB3300000);
    StoreU32(archive.data() + 4, 4088);
    const std::vector<uint8_t> compressed = packtest::Jdlz(archive);
    WriteFile(lzc, compressed);
    ExpectFailuresChangeNothing(
        dir.path(), lzc, [&] { ExpandCompressedArchive(lzc); }, kWritingSteps);
    ExpandCompressedArchive(lzc);
    EXPECT_EQ(ReadFileBytes(lzc), archive);
    ExpandCompressedArchive(lzc); // starts with a chunk id now: stays
    EXPECT_EQ(ReadFileBytes(lzc), archive);
    // The game's own, other extensions, COMP and streams that do not decode stay as they are.
    std::vector<uint8_t> corrupt = compressed, comp = compressed;
    corrupt[4] = 3;
    std::copy_n("COMP", 4, comp.begin());
    const std::pair<const char*, std::vector<uint8_t>> untouched[] = {
        {"GAMEPLAY.LZC", compressed}, {"level.bin", compressed}, {"a.lzc", corrupt}, {"b.lzc", comp}};
    for (const auto& [name, bytes] : untouched) {
        WriteFile(dir.path() / name, bytes);
        EXPECT_EQ(ErrorText([&] { ExpandCompressedArchive(dir.path() / name); }), "") << name;
        EXPECT_EQ(ReadFileBytes(dir.path() / name), bytes) << name;
    }
    WriteFile(dir.path() / "short.lzc", {'J', 'D'});
    EXPECT_EQ(ErrorText([&] { ExpandCompressedArchive(dir.path() / "short.lzc"); }), "End of file");
    EXPECT_EQ(ErrorText([&] { ExpandCompressedArchive(dir.path() / "missing.lzc"); }), "Failed to open the file");

    const fs::path game = dir.path() / "game", memory = game / "Global" / "GlobalMemoryFile.bin";
    fs::create_directories(game / "TRACKS");
    fs::create_directories(game / "Global");
    WriteFile(memory, {9, 9, 9});
    WriteFile(game / "Global" / "inGameMemoryFile.bin", {9});
    EXPECT_FALSE(ResetMemoryFiles(game)); // no track file yet
    EXPECT_EQ(ReadFileBytes(memory), std::vector<uint8_t>({9, 9, 9}));
    WriteFile(game / "TRACKS" / "L4RA.BUN", {1});
    ExpectFailuresChangeNothing(
        dir.path(), memory, [&] { ResetMemoryFiles(game); }, kWritingSteps);
    EXPECT_TRUE(ResetMemoryFiles(game));
    EXPECT_EQ(ReadFileBytes(memory), GlobalMemoryFileContent());
    EXPECT_EQ(ReadFileBytes(game / "Global" / "inGameMemoryFile.bin"), EmptyMemoryFileContent());
    EXPECT_FALSE(fs::exists(game / "Global" / "PermanentMemoryFile.bin"));
}
