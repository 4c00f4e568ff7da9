#pragma once
// The games' 32-bit name hash, the program-wide table of known names keyed by
// hash, and the plain-text name lists that fill it.
//
// Both tables are program-wide and only grow during a run: the lists are read
// once at start-up (LoadNameDatabase, then BuildKnownNames) and every opened
// car pack adds its car-specific names (FindCarName, RegisterCarNames).
// Single-threaded by design; nothing here locks.
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace zelko {

// Hash of every byte of the name (length-counted, so embedded zero bytes
// count). A name beginning with the case-sensitive prefix "0x" spells its hash
// in hexadecimal instead; the digits end at the first non-hex character.
//  - "0x" with no hex digit after it gives 0. That is what the digit loop
//    yields, and 0 is the value every pack reader and writer already refuses
//    as "invalid hash", so such a name cannot slip into a pack unnoticed.
//  - More than 8 digits keep value*16+digit in 32 bits, i.e. the last 8
//    digits count. Leading zeros ("0x00000000DEADBEEF") thus keep their
//    meaning, which cutting after the first 8 digits would not.
uint32_t NameHash(std::string_view name);

using NameSet = std::set<std::string>; // distinct names, byte-wise order
using GameNameSets = std::map<int, NameSet>; // GameId -> names

// The name lists, per game (keys kFirstGame..kLastGame once loaded).
struct NameLists {
    GameNameSets Cars; // car name prefixes
    GameNameSets Parts; // per-car suffixes
    GameNameSets GenericParts; // registered as they are
    GameNameSets PositionMarkers; // registered as they are
    GameNameSets Shaders; // registered as they are
    GameNameSets Textures; // per-car suffixes
    GameNameSets Vinyls; // per-car suffixes
    GameNameSets GenericTextures; // registered as they are
    NameSet InvalidHashes; // registered as they are, for every game
};

// Hash -> name; the last registration under a hash wins.
extern std::map<uint32_t, std::string> KnownNames;
// Set once BuildKnownNames has run; car names may only be added after that.
extern bool KnownNamesReady;
extern NameLists NameDatabase;
// GameId -> cars whose derived names are already registered.
extern std::map<int, NameSet> RegisteredCars;

// KnownNames[NameHash(name)] = name.
void RegisterName(std::string_view name);

// The known name for a hash, or nullptr. The pointer stays valid until
// ResetNameTables (a later registration under the same hash changes the text
// it points to).
const std::string* FindKnownName(uint32_t hash);

// Reads one list file: one name per line, taken whole (no trimming). CR LF
// ends a line like LF, so lists written on Windows read the same everywhere.
// Empty lines and lines starting with '#' are skipped. A missing file gives
// an empty list; one that exists but cannot be read throws
// Error("Failed to open the file").
std::vector<std::string> ReadNameList(const std::filesystem::path& file);

// Fills NameDatabase from listsFolder: "InvalidHashes.txt" directly in it and
// the eight per-game lists in one subfolder per game, named GameName(game).
// Replaces the previous contents; on failure the database is left unchanged.
void LoadNameDatabase(const std::filesystem::path& listsFolder);

// Registers the generic names of NameDatabase, then every line of
// listsFolder/"Textures.txt" in file order, then "DEFAULT_MATERIAL"; sets
// KnownNamesReady.
void BuildKnownNames(const std::filesystem::path& listsFolder);

// The first car name (ascending game, then list order) that the texture name
// begins with, followed by '_'; empty when there is none.
std::string FindCarName(std::string_view firstTextureName);

// Registers carName + "_" + each of the game's Parts, Textures and Vinyls
// names, once per game and car. Throws Error("operation not allowed") before
// BuildKnownNames; does nothing for an empty car name.
void RegisterCarNames(int game, const std::string& carName);

// Empties every table and clears KnownNamesReady, for tests and for tools
// that load lists from another folder.
void ResetNameTables();

} // namespace zelko
