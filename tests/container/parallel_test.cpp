// Batch work on several threads: results, files and messages are those of a
// one-thread run, in the same order.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <stdexcept>
#include <thread>

#include "TempFolder.h"
#include "container/Editing.h"
#include "container/OpenFlow.h"
#include "container/SampleArchive.h"
#include "container/Transfer.h"
#include "format/Parallel.h"
#include "texture/TextureObject.h"

using namespace zelko;
namespace fs = std::filesystem;

TEST(Parallel, ResultsArriveInOrderAndErrorsInTheirPlace) {
    for (unsigned jobs : {1u, 2u, 5u}) {
        SCOPED_TRACE(jobs);
        std::vector<size_t> seen;
        std::mt19937 random(jobs);
        std::vector<int> delays(40);
        for (int& d : delays) d = int(random() % 3);
        const auto run = [&](size_t failAt) {
            seen.clear();
            ForEachInOrder<size_t>(
                delays.size(), jobs,
                [&](size_t i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(delays[i]));
                    if (i == failAt) throw std::runtime_error("item " + std::to_string(i));
                    return i * i;
                },
                [&](size_t i, size_t& square) {
                    EXPECT_EQ(square, i * i);
                    seen.push_back(i);
                });
        };
        run(size_t(-1));
        ASSERT_EQ(seen.size(), delays.size());
        for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], i);
        // Everything before the failing item is handed over, nothing after it.
        EXPECT_THROW(run(17), std::runtime_error);
        EXPECT_EQ(seen.size(), 17u);
    }
}

TEST(Parallel, ExportsAndFormatChangesMatchOneJob) {
    TempFolder dir;
    const fs::path archive = dir.path() / "CARS.BIN";
    WriteSampleArchive(archive);
    Document doc = OpenDocument(archive, false, Host{});

    struct Run {
        std::vector<std::string> messages;
        std::map<std::string, std::vector<uint8_t>> files;
        std::vector<std::vector<uint8_t>> pixels;
    };
    const auto run = [&](unsigned jobs) {
        Run r;
        Host host;
        host.report = [&](const std::string& text) { r.messages.push_back(text); };
        const ExportOptions options{.folder = dir.path() / ("png-" + std::to_string(jobs)),
                                    .format = ExportFormatFromName("png"),
                                    .jobs = jobs};
        fs::create_directories(options.folder);
        for (auto& [id, entry] : doc.entries) {
            auto bin = OpenEntry(doc, entry, Host{});
            std::vector<const TextureObject*> textures;
            std::vector<TextureObject*> targets;
            bin->ForEachTexture([&](TextureObject* t) {
                textures.push_back(t);
                targets.push_back(t);
            });
            // Twice, so names collide and get numbers.
            textures.insert(textures.end(), textures.begin(), textures.end());
            ExportTextures(textures, options, host, nullptr);
            targets.push_back(targets.front()); // listed twice, converted once
            const unsigned changed = ChangeTextureFormats(
                *bin, targets, kFormatDXT5, jobs,
                [&](TextureObject& t, uint32_t old) { r.messages.push_back(t.name + " " + std::to_string(old)); });
            r.messages.push_back(std::to_string(changed));
            for (TextureObject* t : targets) {
                const auto view = t->PixelView();
                r.pixels.emplace_back(view.begin(), view.end());
            }
        }
        for (const auto& item : fs::directory_iterator(options.folder))
            r.files[item.path().filename().string()] = ReadFileBytes(item.path());
        return r;
    };
    const Run one = run(1), three = run(3);
    EXPECT_EQ(one.files.size(), 24u);
    EXPECT_EQ(three.messages, one.messages);
    EXPECT_TRUE(three.files == one.files);
    EXPECT_TRUE(three.pixels == one.pixels);
}
