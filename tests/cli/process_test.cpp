// The command-line tool as separate processes: killed in the middle of a
// save, and eight of them saving one archive at once.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Pictures.h"
#include "TempFolder.h"
#include "container/OpenFlow.h"
#include "container/SampleArchive.h"
#include "imaging/ImageFile.h"

extern char** environ;

using namespace zelko;
namespace fs = std::filesystem;

namespace {

// The tool beside the tests in the build folder.
const fs::path kTool = fs::absolute("cli/zelko");

// Starts the tool with `args`, its error output going to `errors`.
pid_t Start(const std::vector<std::string>& args, const fs::path& errors = "/dev/null") {
    std::vector<std::string> all = {kTool.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, kTool.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Kills `args` at 50 moments spread over one whole run; after each the
// archive, once opened again, is the old one or the new one, byte for byte.
void KillDuringSaves(const fs::path& archive, const std::vector<std::string>& args) {
    const auto original = ReadFileBytes(archive);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(Start(args)), 0);
    const auto whole = std::chrono::steady_clock::now() - started;
    const auto saved = ReadFileBytes(archive);
    ASSERT_NE(saved, original);
    std::mt19937 random(7);
    for (int run = 0; run < 50; ++run) {
        WriteFile(archive, original);
        const pid_t pid = Start(args);
        std::this_thread::sleep_for(whole * (run + random() % 10 / 10.0) / 50);
        kill(pid, SIGKILL);
        Wait(pid);
        OpenDocument(archive, false, Host{}); // rolls back and clears what a killed save left
        const auto after = ReadFileBytes(archive);
        EXPECT_TRUE(after == original || after == saved) << "run " << run;
        for (const auto& item : fs::directory_iterator(archive.parent_path())) {
            const std::string name = item.path().filename().string();
            EXPECT_EQ(name.find(archive.filename().string() + ".zelko-"), std::string::npos)
                << "run " << run << ": " << name;
        }
    }
}

} // namespace

TEST(Processes, AKilledSaveLeavesTheOldArchiveOrTheNewOne) {
    ASSERT_TRUE(fs::exists(kTool)) << kTool;
    TempFolder dir;
    const fs::path rebuilt = dir.path() / "CARS.BIN";
    WriteSampleArchive(rebuilt);
    KillDuringSaves(rebuilt, {"rename", rebuilt.string(), "NIS_240_SX_BODY", "NIS_240_SX_BODY_2", "--no-backup"});

    // Patched in place: the journal puts an interrupted patch back on the next open.
    const fs::path stream = dir.path() / "STREAM.BIN";
    WriteSampleArchive(stream);
    const fs::path image = dir.path() / "body.png";
    const ScratchImage picture = pictures::Filled(DxgiFormat::B8G8R8A8_UNORM, 16, 16, 1,
                                                  std::vector<uint8_t>(1024, 0x7F));
    ASSERT_EQ(SaveToImageFile(*picture.GetImage(0, 0, 0), ImageFileFormat::PNG, image), kOk);
    KillDuringSaves(stream, {"replace", stream.string(), "NIS_240_SX_BODY", image.string(), "--no-backup"});
}

TEST(Processes, EightWritersAtOnceLoseNothingSilently) {
    TempFolder dir;
    const fs::path archive = dir.path() / "CARS.BIN";
    WriteSampleArchive(archive);
    // {entry, texture}: eight textures of the three packs.
    const std::pair<const char*, const char*> renames[] = {
        {"1", "NIS_240_SX_BODY"}, {"1", "NIS_240_SX_TIRE"},   {"1", "NIS_240_SX_INTERIOR"}, {"1", "NIS_240_SX_BADGING"},
        {"2", "FRONTEND_LOGO"},   {"2", "LOADING_SCREEN_01"}, {"3", "ROAD_ASPHALT"},        {"3", "ROAD_ASPHALT_N"}};
    std::vector<pid_t> pids;
    for (size_t i = 0; i < 8; ++i) {
        pids.push_back(Start({"rename", archive.string(), "--entry", renames[i].first, renames[i].second,
                              std::string(renames[i].second) + "_NEW", "--no-backup"},
                             dir.path() / ("err" + std::to_string(i))));
    }
    std::vector<int> codes;
    for (pid_t pid : pids) codes.push_back(Wait(pid));

    const Document document = OpenDocument(archive, false, Host{});
    std::vector<std::string> names;
    for (const auto& [id, listed] : document.entries) {
        ArchiveEntry entry = listed;
        OpenEntry(document, entry, Host{})->ForEachTexture([&](TextureObject* t) { names.push_back(t->name); });
    }
    int saved = 0;
    for (size_t i = 0; i < 8; ++i) {
        const bool renamed = std::find(names.begin(), names.end(), std::string(renames[i].second) + "_NEW") !=
            names.end();
        const auto bytes = ReadFileBytes(dir.path() / ("err" + std::to_string(i)));
        const std::string errors(bytes.begin(), bytes.end());
        if (codes[i] == 0) {
            ++saved;
            EXPECT_TRUE(renamed) << renames[i].second << " was reported saved but is not in the file";
        } else {
            EXPECT_EQ(codes[i], 1) << errors;
            EXPECT_FALSE(renamed) << renames[i].second;
            EXPECT_TRUE(errors.find("was changed by another program since it was opened") != std::string::npos ||
                        errors.find("is being saved by another program") != std::string::npos)
                << errors;
        }
    }
    EXPECT_GE(saved, 1);
    EXPECT_EQ(names.size(), 12u);
}
#endif
