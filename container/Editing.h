#pragma once
// The editing rules of a loaded pack, shared by the editor's commands and the
// command line: free names, renames, the one-texture minimum, format changes
// with the games' texture flags, and saving back into the document. Every
// change here sets the container's modified flag itself.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "container/OpenFlow.h"

namespace zelko {

class IBinFile;
class TextureObject;

// Longest name the editor lets a user type.
constexpr size_t kMaxTextureNameLength = 64;

// The name hashes of every texture of the pack. Throws Error("invalid hash")
// for a texture whose hash is 0.
std::set<uint32_t> TextureHashes(const IBinFile& container);

// True when the name (games' code page) is not empty and its hash is not in
// `taken`: names are unique by hash, so a texture's own name is not free.
bool IsNameFree(const std::set<uint32_t>& taken, const std::string& name);

// Gives the texture a new name and its hash; it keeps its place in the pack.
void RenameTexture(IBinFile& container, TextureObject& texture, const std::string& name);

// Removes and destroys the texture. Throws Error("The file must contain at
// least one texture.") when it is the pack's last one, Error("Not in the
// pack") when the container does not hold it.
void DeleteTexture(IBinFile& container, TextureObject& texture);

// A copy of `source` under `name`, appended to the pack. Throws Error when
// the container cannot hold copies.
TextureObject& DuplicateTexture(IBinFile& container, const TextureObject& source, const std::string& name);

// Re-encodes the texture in `format` with the game flags of the archive's
// game, then the special flags of the built-in table for its name. False,
// with nothing changed, when it already has that format. Throws Error with
// the conversion's text (the record unchanged), and for an archive patched
// in place when the new format would change the texture's byte count.
bool ChangeTextureFormat(IBinFile& container, TextureObject& texture, uint32_t format);

// ChangeTextureFormat for each of `textures` in turn, the pixel work spread
// over `jobs` threads; `changed` hears of each changed texture (with its old
// format) in the list's order. Returns how many changed. The first error
// ends the run, after the changes before it were reported.
unsigned ChangeTextureFormats(IBinFile& container, const std::vector<TextureObject*>& textures, uint32_t format,
                              unsigned jobs, const std::function<void(TextureObject&, uint32_t)>& changed);

// The name a texture is looked up by in the texture-flag table: its known
// name (or "0x" and its hash), with the car prefix taken out. Throws
// Error("invalid hash") for hash 0.
std::string TextureFlagKey(uint32_t hash, const std::string& carName);

// Saves the container into its document's file, holding the file's lock and
// refusing (SaveError "<name> was changed by another program since it was
// opened") when the file is no longer the one the document was opened from.
// On success clears modified, takes the file's new identity and moves the
// offsets of the entries behind a rebuilt pack by the change of the file's
// size. Every failure is raised as SaveError ("Failed to save <path>:
// <reason>": the system's reason, or the pack writer's refusal), with
// modified still set and the file as it was.
void SaveIntoDocument(IBinFile& container, Document& document, bool makeBackup);

} // namespace zelko
