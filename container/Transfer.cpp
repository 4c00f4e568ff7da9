#include "container/Transfer.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "container/BinFile.h"
#include "format/Errors.h"
#include "format/NameHash.h"
#include "format/Parallel.h"
#include "format/SafeFile.h"
#include "format/Text.h"
#include "imaging/Dds.h"
#include "imaging/ImageFile.h"
#include "imaging/ImageResult.h"
#include "texture/Conversion.h"
#include "texture/TextureObject.h"

namespace zelko {

std::vector<std::filesystem::path> FolderFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        if (!item.is_directory()) files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

// What the threads make of one file ahead of its turn: the image fitted to
// the texture it replaces, or the new texture it adds.
struct ImportedFile {
    bool ready = false; // else the work waits for the file's turn
    bool ok = false;
    ScratchImage image;
    std::unique_ptr<TextureObject> added;
    std::string error;
};

} // namespace

ImportOutcome ImportFiles(IBinFile& container, const std::vector<TextureObject*>& rows,
                          std::vector<std::filesystem::path> files, const Host& host,
                          const std::function<void(TextureObject&)>& onAdded, unsigned jobs) {
    std::map<uint32_t, TextureObject*> targets;
    for (TextureObject* t : rows) {
        if (t->hash == 0) throw Error("invalid hash");
        targets.emplace(t->hash, t);
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());

    ImportOutcome out;
    const bool canRebuild = container.CanRebuild();
    const size_t total = files.size();
    // A texture that several files replace takes them in turn: only the
    // first may be fitted ahead, as the later ones fit what it made.
    std::vector<TextureObject*> target(total, nullptr);
    std::vector<bool> ahead(total, false);
    std::set<TextureObject*> seen;
    for (size_t i = 0; i < total; ++i) {
        const auto found = targets.find(NameHash(TextureNameFromFile(files[i])));
        if (found != targets.end()) target[i] = found->second;
        ahead[i] = target[i] ? seen.insert(target[i]).second : canRebuild && container.pack;
    }
    const auto prepare = [&](size_t i) {
        ImportedFile result;
        result.ready = true;
        if (target[i]) {
            // Archives patched in place keep every size: the image is fitted to the texture.
            result.ok = LoadImageForTexture(files[i], *target[i], canRebuild ? Resizing::KeepSize : Resizing::ToTarget,
                                            result.image, result.error);
        } else {
            try {
                result.added = ImportAsNewTexture(container.pack->packInMemory, files[i]);
                result.ok = true;
            } catch (const std::exception& e) {
                result.error = e.what();
            }
        }
        return result;
    };

    ForEachInOrder<ImportedFile>(
        total, jobs, [&](size_t i) { return ahead[i] ? prepare(i) : ImportedFile{}; },
        [&](size_t index, ImportedFile& prepared) {
            const auto& file = files[index];
            const std::string shown = Utf8FromPath(file);
            const std::string stem = TextureNameFromFile(file);
            host.Progress("PROCESSING: Replacing (" + std::to_string(index * 100 / total) +
                          "%): " + Utf8FromCp1252(stem));
            host.Pump();
            if (!target[index] && !canRebuild) {
                out.failures.push_back(shown + ": Could not find texture to replace");
                return;
            }
            if (target[index] || container.pack) {
                if (!prepared.ready) prepared = prepare(index);
            }
            if (target[index]) {
                if (!prepared.ok || !container.ReplaceImage(target[index], prepared.image)) {
                    host.Failure("Failed to import the file: " + shown);
                    out.failures.push_back(shown + ": " + prepared.error);
                    return;
                }
                out.last = target[index];
                out.changedTextures.push_back(target[index]);
            } else {
                try {
                    if (!container.pack) throw Error("No texture pack is open");
                    if (!prepared.ok) throw Error(prepared.error);
                    TextureObject& added = container.AddImportedTexture(file, std::move(prepared.added));
                    if (onAdded) onAdded(added);
                    out.last = &added;
                    out.changedTextures.push_back(&added);
                } catch (const std::exception& e) {
                    host.Failure("Failed to add the file: " + shown);
                    out.failures.push_back(shown + ": " + e.what());
                    return;
                }
            }
            out.changed = true;
            ++out.succeeded;
        },
        [&] { host.Pump(); });
    host.Report("Processed textures: " + std::to_string(out.succeeded));
    return out;
}

namespace {

constexpr const char* kExtensions[kExportFormatCount] = {"dds", "bmp", "gif", "tiff", "jpg", "png", "tga"};
constexpr ImageFileFormat kWicFormats[kExportFormatCount] = {
    ImageFileFormat::DDS,  ImageFileFormat::BMP, ImageFileFormat::GIF, ImageFileFormat::TIFF,
    ImageFileFormat::JPEG, ImageFileFormat::PNG, ImageFileFormat::TGA};

std::string HexName(uint32_t hash) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", hash);
    return text;
}

// Names come from the games' data: they must not reach outside the folder.
std::string SafeFileName(std::string name) {
    for (char& c : name) {
        const auto u = uint8_t(c);
        if (u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
            c == '|') {
            c = '_';
        }
    }
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name;
}

std::filesystem::path WithExtension(const std::filesystem::path& folder, const std::string& base, const char* ext) {
    return folder / PathFromUtf8(base + "." + ext);
}

} // namespace

const char* ExportExtension(int format) {
    return format >= 0 && format < kExportFormatCount ? kExtensions[format] : "";
}

int ExportFormatFromName(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) c = char(std::tolower(uint8_t(c)));
    if (!lower.empty() && lower[0] == '.') lower.erase(0, 1);
    if (lower == "tif") return 3;
    if (lower == "jpeg") return 4;
    for (int i = 0; i < kExportFormatCount; ++i) {
        if (lower == kExtensions[i]) return i;
    }
    return -1;
}

std::string ExportName(const TextureObject& texture, bool hashWhenTruncated) {
    std::string name = texture.GetDisplayName(true);
    if (hashWhenTruncated) {
        if (texture.hash == 0) throw Error("invalid hash");
        if (NameHash(name) != texture.hash) name = HexName(texture.hash);
    }
    return SafeFileName(Utf8FromCp1252(name));
}

namespace {

// A texture made into the bytes of its file, or the reason it could not be.
struct EncodedTexture {
    bool decoded = false;
    bool ok = false;
    HResult encoded = kOk;
    std::string error;
    std::vector<uint8_t> bytes;
};

EncodedTexture EncodeTexture(const TextureObject& texture, int format) {
    EncodedTexture result;
    ScratchImage image;
    result.decoded = DecodeTexture(texture, image, result.error);
    if (!result.decoded) return result;
    result.ok = image.GetImageCount() != 0;
    result.error.clear();
    if (result.ok && format == 0) {
        result.encoded = SaveToDDSMemory(image.GetImages(), image.GetImageCount(), image.GetMetadata(), result.bytes);
    } else if (result.ok) {
        const TexMetadata& m = image.GetMetadata();
        result.ok = ConvertImage(image, kFormatARGB, uint32_t(m.width), uint32_t(m.height), uint32_t(m.mipLevels),
                                 Resizing::KeepSize, result.error);
        if (result.ok) result.encoded = SaveToImageMemory(*image.GetImage(0, 0, 0), kWicFormats[format], result.bytes);
    }
    return result;
}

} // namespace

bool ExportTextures(const std::vector<const TextureObject*>& textures, const ExportOptions& options, const Host& host,
                    ExportOutcome* outcome) {
    const char* ext = ExportExtension(options.format);
    if (options.folder.empty() || *ext == 0) return false;
    // The pixels are decoded and encoded on every job; names, files and
    // messages follow in the textures' order, as with one job.
    ForEachInOrder<EncodedTexture>(
        textures.size(), options.jobs, [&](size_t i) { return EncodeTexture(*textures[i], options.format); },
        [&](size_t i, EncodedTexture& file) {
            if (!file.decoded) return;
            const std::string name = ExportName(*textures[i], options.hashWhenTruncated);
            std::filesystem::path target = WithExtension(options.folder, name, ext);
            std::error_code ec;
            if (!options.overwrite) {
                for (int n = 1; std::filesystem::exists(target, ec); ++n) {
                    target = WithExtension(options.folder, name + " (" + std::to_string(n) + ")", ext);
                }
            }
            // Only a file replaced waits for the disk: a new one has no earlier content to lose.
            const SaveMode mode = std::filesystem::exists(target, ec) ? SaveMode::Durable : SaveMode::NewFile;
            bool ok = file.ok;
            std::string error = std::move(file.error);
            if (ok && Failed(file.encoded)) {
                ok = false;
                error = "Unable to write the file: " + Utf8FromPath(target) +
                    ". Error code: " + HResultHex(file.encoded);
            }
            if (ok) {
                // An overwritten file is replaced whole or not at all.
                try {
                    SaveFileAtomically(target, file.bytes.data(), file.bytes.size(), mode);
                } catch (const SaveError& failure) {
                    ok = false;
                    error = failure.what();
                }
            }
            if (ok) {
                host.Report("Texture exported: " + name);
                if (outcome) outcome->written.push_back(target);
            } else {
                host.Failure("Failed to export texture: " + name);
                host.Message(error);
                if (outcome) ++outcome->failed;
            }
            host.Pump();
        },
        [&] { host.Pump(); });
    return true;
}

} // namespace zelko
