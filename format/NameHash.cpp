#include "format/NameHash.h"

#include "format/Errors.h"
#include "format/GameVersion.h"

#include <fstream>
#include <system_error>
#include <utility>

namespace zelko {

std::map<uint32_t, std::string> KnownNames;
bool KnownNamesReady = false;
NameLists NameDatabase;
std::map<int, NameSet> RegisteredCars;

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

[[noreturn]] void FailedToOpen() { throw Error("Failed to open the file"); }

void ReadInto(const std::filesystem::path& file, NameSet& names) {
    for (std::string& name : ReadNameList(file)) names.insert(std::move(name));
}

void RegisterAll(const NameSet& names) {
    for (const std::string& name : names) RegisterName(name);
}

void RegisterAll(const GameNameSets& lists, int game) {
    auto it = lists.find(game);
    if (it != lists.end()) RegisterAll(it->second);
}

const NameSet* SetOf(const GameNameSets& lists, int game) {
    auto it = lists.find(game);
    return it == lists.end() ? nullptr : &it->second;
}

} // namespace

uint32_t NameHash(std::string_view name) {
    if (name.size() >= 2 && name[0] == '0' && name[1] == 'x') {
        uint32_t value = 0;
        for (char c : name.substr(2)) {
            int digit = HexDigit(c);
            if (digit < 0) break;
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        return value;
    }
    uint32_t h = 0xFFFFFFFFu;
    for (char c : name) {
        // The games hash signed chars: 0xE9 adds -23, not 233.
        h = h * 33 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    }
    return h;
}

void RegisterName(std::string_view name) { KnownNames[NameHash(name)] = name; }

const std::string* FindKnownName(uint32_t hash) {
    auto it = KnownNames.find(hash);
    return it == KnownNames.end() ? nullptr : &it->second;
}

std::vector<std::string> ReadNameList(const std::filesystem::path& file) {
    // Binary mode and our own CR LF handling: a Windows text-mode read would
    // drop the CR itself, and doing it here once gives the same names on
    // every platform.
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(file, ec) && !ec) return {};
        FailedToOpen();
    }

    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        // eof here means the line ended without '\n': a lone CR there is no
        // line break and stays part of the name, as it would in text mode.
        if (!in.eof() && !line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        names.push_back(line);
    }
    // A file that opens but cannot be read (a directory on POSIX, say) is
    // no more usable than one that does not open.
    if (in.bad()) FailedToOpen();
    return names;
}

void LoadNameDatabase(const std::filesystem::path& listsFolder) {
    NameLists lists;
    ReadInto(listsFolder / "InvalidHashes.txt", lists.InvalidHashes);
    for (int game = kFirstGame; game <= kLastGame; ++game) {
        const std::filesystem::path folder = listsFolder / GameName(game);
        ReadInto(folder / "Cars.txt", lists.Cars[game]);
        ReadInto(folder / "PositionMarkers.txt", lists.PositionMarkers[game]);
        ReadInto(folder / "Parts.txt", lists.Parts[game]);
        ReadInto(folder / "Shaders.txt", lists.Shaders[game]);
        ReadInto(folder / "Textures.txt", lists.Textures[game]);
        ReadInto(folder / "GenericTextures.txt", lists.GenericTextures[game]);
        ReadInto(folder / "GenericParts.txt", lists.GenericParts[game]);
        ReadInto(folder / "Vinyls.txt", lists.Vinyls[game]);
    }
    NameDatabase = std::move(lists);
}

void BuildKnownNames(const std::filesystem::path& listsFolder) {
    RegisterAll(NameDatabase.InvalidHashes);
    for (int game = kFirstGame; game <= kLastGame; ++game) {
        RegisterAll(NameDatabase.Shaders, game);
        RegisterAll(NameDatabase.PositionMarkers, game);
        RegisterAll(NameDatabase.GenericTextures, game);
        RegisterAll(NameDatabase.GenericParts, game);
    }
    // File order, not set order: a later line wins over an earlier one with
    // the same hash, which lets the list settle collisions by position.
    for (const std::string& name : ReadNameList(listsFolder / "Textures.txt")) RegisterName(name);
    RegisterName("DEFAULT_MATERIAL");
    KnownNamesReady = true;
}

std::string FindCarName(std::string_view firstTextureName) {
    for (const auto& [game, cars] : NameDatabase.Cars) {
        for (const std::string& car : cars) {
            if (firstTextureName.size() > car.size() && firstTextureName.compare(0, car.size(), car) == 0 &&
                firstTextureName[car.size()] == '_')
                return car;
        }
    }
    return {};
}

void RegisterCarNames(int game, const std::string& carName) {
    if (!KnownNamesReady) throw Error("operation not allowed");
    if (carName.empty()) return;
    if (!RegisteredCars[game].insert(carName).second) return;

    const std::string prefix = carName + "_";
    for (const GameNameSets* lists : {&NameDatabase.Parts, &NameDatabase.Textures, &NameDatabase.Vinyls}) {
        if (const NameSet* suffixes = SetOf(*lists, game)) {
            for (const std::string& suffix : *suffixes) RegisterName(prefix + suffix);
        }
    }
}

void ResetNameTables() {
    KnownNames.clear();
    KnownNamesReady = false;
    NameDatabase = NameLists{};
    RegisteredCars.clear();
}

} // namespace zelko
