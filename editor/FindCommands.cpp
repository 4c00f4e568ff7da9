// Find: the index of the open document's texture names and the go-to.
#include "editor/Zelko.h"

#include "format/Errors.h"
#include "texture/TextureObject.h"

namespace zelko {

void Zelko::Menu_Find() {
    findDialog_.Show();
    CreateTexturesList();
}

void Zelko::CreateTexturesList() {
    if (findIndexBuilt_ || document_.entries.empty()) return;
    findIndex_.clear();
    if (document_.entries.size() == 1 && container_) {
        // The one entry is loaded already: its list has every name.
        for (IListItem* item : textureList_->GetItems()) {
            findIndex_.push_back(MakeFindRecord(*static_cast<const TextureObject*>(item->GetData()), 0));
        }
    } else {
        // Messages go through while the packs are read; nothing may close the document meanwhile.
        DisabledWindow disabled(window);
        findIndex_ = BuildFindIndex(document_, [this](int percent) {
            SetStatus(L"Loading... " + std::to_wstring(percent) + L"%", false);
            PumpMessages();
        });
        SetStatus(L"Ready", false);
    }
    findIndexBuilt_ = true;
}

void Zelko::GoToFindRecord(const FindRecord& record) {
    if (record.entryId != uint32_t(settings_.recentFileIndex)) {
        // By the entry's id: a sorted file list has its rows elsewhere.
        int row = 0;
        for (IListItem* item : fileList_->GetItems()) {
            if (static_cast<const ArchiveEntry*>(item->GetData())->id == record.entryId) break;
            ++row;
        }
        if (row >= fileList_->RowCount() || !AskToSaveChanges()) return;
        fileList_->SelectRow(row);
        File_ProcessBIN(record.entryId);
    }
    int row = 0;
    for (IListItem* item : textureList_->GetItems()) {
        const auto* texture = static_cast<const TextureObject*>(item->GetData());
        if (texture->hash == 0) throw Error("invalid hash");
        if (texture->hash == record.hash) {
            textureList_->SelectRow(row);
            return;
        }
        ++row;
    }
}

} // namespace zelko
