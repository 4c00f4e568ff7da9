#pragma once
// One texture pack found in an opened document, and what the core asks of
// the program that drives a long operation.
#include <cstdint>
#include <functional>
#include <string>

namespace zelko {

enum EntryKind : uint32_t {
    kEntryPack = 0, // a pack inside a game archive
    kEntryWorldFolder = 1, // a folder of World thumbnail files
    kEntryVinyl = 2, // a World vinyl file
};

struct ArchiveEntry {
    uint32_t id = 0; // 0-based, in order of discovery
    std::string name; // "Texture file", ...
    uint32_t offset = 0; // position of the pack's chunk header
    uint32_t size = 0; // the whole chunk, header included
    uint32_t textureCount = 0; // entries of the hash table; 0 when not read
    uint32_t kind = kEntryPack;

    // id + 1, a blank and the name: how lists, the status bar and errors show it.
    std::string Text() const { return std::to_string(uint64_t(id) + 1) + " " + name; }
};

constexpr const char* kTextureFileEntryName = "Texture file";
constexpr const char* kVinylEntryName = "ZRC World Vinyls File (.vyl)";
constexpr const char* kWorldFolderEntryName = "ZRC World Thumbnails (.stp)";

// Callbacks of the program driving a long operation; every one may be empty.
// Texts are UTF-8.
struct Host {
    std::function<void(const std::string& text)> progress; // transient status text
    std::function<void()> pumpMessages; // keep the window responsive
    std::function<void(const std::string& text)> showMessage; // an information box
    std::function<void(const std::string& text)> report; // status text that is also logged
    std::function<void(const std::string& text)> failure; // what failed, without any prefix

    void Progress(const std::string& text) const {
        if (progress) progress(text);
    }
    void Report(const std::string& text) const {
        if (report) report(text);
    }
    void Failure(const std::string& text) const {
        if (failure) failure(text);
    }
    void Pump() const {
        if (pumpMessages) pumpMessages();
    }
    void Message(const std::string& text) const {
        if (showMessage) showMessage(text);
    }
};

} // namespace zelko
