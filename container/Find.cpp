#include "container/Find.h"

#include <algorithm>

#include "container/BinFile.h"
#include "format/Errors.h"
#include "format/Text.h"
#include "texture/TextureObject.h"

namespace zelko {

FindRecord MakeFindRecord(const TextureObject& texture, uint32_t entryId) {
    if (texture.hash == 0) throw Error("invalid hash");
    FindRecord record;
    record.name = texture.GetDisplayName(true);
    record.shown = Utf16FromCp1252(record.name);
    record.folded = FoldCase(record.shown);
    record.hash = texture.hash;
    record.entryId = entryId;
    return record;
}

std::u16string FoldCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = char16_t(c - 0x20);
    }
    return out;
}

bool Match(std::u16string_view name, std::u16string_view pattern, bool matchCase) {
    if (pattern.empty()) return true;
    if (matchCase) return name.find(pattern) != std::u16string_view::npos;
    return FoldCase(name).find(FoldCase(pattern)) != std::u16string::npos;
}

std::vector<FindRecord> BuildFindIndex(const Document& document, const std::function<void(int percent)>& progress) {
    std::vector<FindRecord> index;
    const size_t total = document.entries.size();
    size_t counter = 0;
    for (const auto& [id, listed] : document.entries) {
        ++counter;
        ArchiveEntry entry = listed;
        std::unique_ptr<IBinFile> pack;
        try {
            pack = OpenEntry(document, entry, Host{});
        } catch (const Error&) {
            // An entry that holds no pack, or one that does not load, has no names to offer.
        }
        const uint32_t entryId = id; // a structured binding some compilers cannot capture
        if (pack) pack->ForEachTexture([&](TextureObject* t) { index.push_back(MakeFindRecord(*t, entryId)); });
        if (progress) progress(int(double(counter) * 100.0 / double(total)));
    }
    return index;
}

std::vector<const FindRecord*> SearchIndex(const std::vector<FindRecord>& index, std::u16string_view pattern,
                                           bool matchCase) {
    std::vector<const FindRecord*> hits;
    if (pattern.empty()) return hits;
    // The pattern is folded once; each record carries its folded name.
    const std::u16string folded = matchCase ? std::u16string(pattern) : FoldCase(pattern);
    for (const FindRecord& record : index) {
        const std::u16string& name = matchCase ? record.shown : record.folded;
        if (name.find(folded) != std::u16string::npos) hits.push_back(&record);
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const FindRecord* a, const FindRecord* b) { return a->shown < b->shown; });
    return hits;
}

} // namespace zelko
