#include "profile/profile_list_store.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/text_convert.h"

namespace morva {

namespace fs = std::filesystem;

namespace {

Json::Value NewEntry(const std::string& name, const std::string& id) {
    Json::Value entry(Json::objectValue);
    entry["profilename"] = name;
    entry["profileUUID"] = id;
    entry["profileislink"] = 0;
    entry["profilelinkmame"] = "";
    return entry;
}

void SetNames(Json::Value& profile, const std::string& name, const std::string& id) {
    json::Member(profile, "profilename") = name;
    json::Member(profile, "profileUUID") = id;
}

// Ids of the folder's profile files (".Json" whose "profileUUID" is its own file name) but those
// in `skip`, sorted: time-stamp ids sort oldest first. Only the files not skipped are read.
std::vector<std::string> ProfileFilesIn(const fs::path& folder,
                                        const std::set<std::string>& skip = {}) {
    std::vector<std::string> ids;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const fs::path& path = entry.path();
        const std::string stem = path.stem().string();
        if (path.extension() != ".Json" || skip.contains(stem) || !entry.is_regular_file(ec) ||
            !IsPlainName(stem))
            continue;
        if (json::ToString(json::Get(ReadJsonFile(path.string()), "profileUUID")) == stem)
            ids.push_back(stem);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace

int RemoveUnlistedProfiles(const std::string& folder) {
    const fs::path root(folder);
    const Json::Value list = ReadJsonFile((root / CProfileListStore::kListFileName).string());
    const Json::Value& items = list["profilelist"];
    if (!items.isArray() || items.empty())
        return 0;
    std::set<std::string> listed;
    for (const Json::Value& item : items)
        listed.insert(json::ToString(json::Get(item, "profileUUID")));
    int removed = 0;
    for (const std::string& id : ProfileFilesIn(root, listed)) {
        std::error_code ec;
        removed += fs::remove(root / (id + ".Json"), ec) ? 1 : 0;
    }
    return removed;
}

int TidyAfterKilledWrites(const std::string& dataFolder) {
    int removed = RemoveLeftoverTempFiles(dataFolder);
    std::error_code ec;
    for (const auto& folder : fs::directory_iterator(dataFolder, ec)) {
        if (folder.is_directory(ec))
            removed += RemoveUnlistedProfiles(folder.path().string());
    }
    return removed;
}

CProfileListStore::CProfileListStore(int deviceType, std::string userDataFolder,
                                     std::string defaultProfilePath, JsonWriter writer)
    : deviceType_(deviceType),
      folder_(std::move(userDataFolder)),
      defaultProfilePath_(std::move(defaultProfilePath)),
      writer_(std::move(writer)) {
    if (!folder_.empty() && folder_.back() != '/')
        folder_ += '/';
    if (!writer_)
        writer_ = WriteJsonFile;
}

std::string CProfileListStore::ProfilePath(const std::string& id) const {
    // Ids come from a file anyone can edit.
    return FileInFolder(folder_, id, ".Json");
}

int CProfileListStore::InitProfileList() {
    Json::Value list = ReadList();
    if (entries_.empty()) {
        // First start, or a list nothing can be made of: the profile files still there are
        // listed again (oldest first), or it begins again with one profile.
        Json::Value fresh = list.isObject() ? list : Json::Value(Json::objectValue);
        fresh["profileselect"] = 0;
        if (!RelistProfileFiles(fresh)) {
            fresh["profilelist"] = Json::Value(Json::arrayValue);
            if (AppendProfile(fresh, "profile1", ReadJsonFile(defaultProfilePath_), false) < 0) {
                selected_ = -1;
                currentId_.clear();
                return -1;
            }
        }
        list = std::move(fresh);
    }

    // Failing, the profiles go on sharing their file (a delete then keeps it).
    int result = SeparateSharedFiles(list);
    const Json::Value& stored = json::Get(list, "profileselect");
    int index = json::ToInt(stored, -1);
    if (index < 0 || index >= static_cast<int>(entries_.size()))
        index = 0;
    if (!(stored.isInt() && stored.asInt() == index)) {
        json::Member(list, "profileselect") = index;
        result = std::min(result, WriteList(list));
    }
    // Even when the repaired selection could not be stored, the device needs a profile.
    Select(index);
    return result;
}

bool CProfileListStore::RelistProfileFiles(Json::Value& list) {
    Json::Value& items = list["profilelist"] = Json::Value(Json::arrayValue);
    for (const std::string& id : ProfileFilesIn(fs::path(folder_))) {
        std::string name = json::ToString(json::Get(ReadJsonFile(ProfilePath(id)), "profilename"));
        if (name.empty())
            name = id;
        TakeEntries(list);
        while (NameTaken(name))
            name += " copy";
        items.append(NewEntry(name, id));
    }
    if (items.empty() || WriteList(list) != 0) {
        entries_.clear();
        return false;
    }
    return true;
}

int CProfileListStore::SeparateSharedFiles(Json::Value& list) {
    std::set<std::string> seen;
    bool changed = false;
    bool failed = false;
    Json::Value& items = json::Arr(list, "profilelist");
    for (Json::ArrayIndex i = 0; i < items.size(); ++i) {
        const std::string id = entries_[i].id;
        const std::string path = ProfilePath(id);
        if (seen.insert(id).second || path.empty())
            continue;
        // A hand-edited or merged list names one file twice: the later entry gets a copy of
        // its own, or renaming, resetting or deleting one profile would change the other.
        const std::string copyId = NewId();
        Json::Value profile = ReadJsonFile(path);
        SetNames(profile, entries_[i].name, copyId);
        if (Write(ProfilePath(copyId), profile) != 0) {
            // The copies made so far are still listed, so none is left without an entry.
            failed = true;
            break;
        }
        json::Member(items[i], "profileUUID") = copyId;
        seen.insert(copyId);
        changed = true;
    }
    const int written = changed ? WriteList(list) : 0;
    return failed ? -1 : written;
}

int CProfileListStore::SelectProfile(int index) {
    Json::Value list = ReadList();
    if (index < 0 || index >= static_cast<int>(entries_.size()))
        return -1;
    json::Member(list, "profileselect") = index;
    if (WriteList(list) != 0)
        return -1;
    Select(index);
    return index;
}

int CProfileListStore::SelectForProgram(const std::string& id) {
    const Json::Value list = ReadList();
    int index = -1;
    if (id.empty()) {
        index = json::ToInt(json::Get(list, "profileselect"), -1);
        if (index < 0 || index >= static_cast<int>(entries_.size()))
            index = entries_.empty() ? -1 : 0;
    } else {
        for (int i = 0; i < static_cast<int>(entries_.size()) && index < 0; ++i) {
            if (entries_[i].id == id)
                index = i;
        }
    }
    if (index >= 0)
        Select(index);
    return index;
}

int CProfileListStore::AddProfile() {
    Json::Value list = ReadList();
    if (entries_.size() >= static_cast<std::size_t>(kMaxAddedProfiles))
        return -1;
    std::string name;
    for (int n = 1;; ++n) {
        name = "profile" + std::to_string(n);
        if (!NameTaken(name))
            break;
    }
    return AppendProfile(list, name, ReadJsonFile(defaultProfilePath_), true);
}

int CProfileListStore::CopyProfile() {
    Json::Value list = ReadList();
    if (!IsSelectionValid())
        return -1;
    const ProfileEntry source = entries_[selected_];
    std::string name = source.name + " copy";
    while (NameTaken(name))
        name += " copy";
    const std::string sourcePath = ProfilePath(source.id);
    Json::Value profile = sourcePath.empty() ? Json::Value() : ReadJsonFile(sourcePath);
    return AppendProfile(list, name, std::move(profile), false);
}

int CProfileListStore::DeleteProfile() {
    Json::Value list = ReadList();
    if (!IsSelectionValid() || entries_.size() <= 1)
        return -1;
    const int removed = selected_;
    const int next = removed == 0 ? 0 : removed - 1;
    const std::string path = ProfilePath(entries_[removed].id);

    Json::Value dropped;
    json::Arr(list, "profilelist").removeIndex(static_cast<Json::ArrayIndex>(removed), &dropped);
    json::Member(list, "profileselect") = next;
    // The list goes first: a failed write must not leave an entry whose file is gone.
    if (WriteList(list) != 0)
        return -1;
    // A list that still names the file elsewhere (the repair at start could not copy it)
    // keeps it.
    const std::string id = json::ToString(json::Get(dropped, "profileUUID"));
    const bool shared = std::any_of(entries_.begin(), entries_.end(),
                                    [&](const ProfileEntry& e) { return e.id == id; });
    if (!path.empty() && !shared) {
        std::error_code ignored;  // a file already gone is what we wanted anyway
        fs::remove(path, ignored);
    }
    Select(next);
    return next;
}

int CProfileListStore::RenameProfile(const std::string& name) {
    Json::Value list = ReadList();
    if (TrimWhite(name).empty())
        return 2;
    if (!IsSelectionValid())
        return -1;
    if (NameTaken(name, selected_))
        return 0;

    // The profile file first: if the list write fails after it, only the copy of the name
    // inside the file differs, and the list still shows the old one.
    const std::string path = ProfilePath(entries_[selected_].id);
    if (!path.empty()) {
        Json::Value profile = ReadJsonFile(path);
        json::Member(profile, "profilename") = name;
        if (Write(path, profile) != 0)
            return -1;
    }
    Json::Value& entry =
        json::At(json::Arr(list, "profilelist"), static_cast<Json::ArrayIndex>(selected_));
    json::Member(entry, "profilename") = name;
    return WriteList(list) == 0 ? 1 : -1;
}

int CProfileListStore::ImportProfile(const std::string& path) {
    Json::Value list = ReadList();
    Json::Value profile = ReadJsonFile(path);
    if (!json::Has(profile, "profilename") || !json::Has(profile, "profileUUID"))
        return -1;
    std::string name = fs::path(path).stem().string();
    for (int n = 1; NameTaken(name); ++n)
        name += "(" + std::to_string(n) + ")";
    return AppendProfile(list, name, std::move(profile), false);
}

int CProfileListStore::ExportProfile(const std::string& path) {
    ReadList();
    if (!IsSelectionValid())
        return -1;
    const std::string source = ProfilePath(entries_[selected_].id);
    if (source.empty())
        return -1;
    const Json::Value profile = ReadJsonFile(source);
    if (profile.isNull())
        return -1;
    return Write(path, profile);
}

int CProfileListStore::ResetProfile() {
    ReadList();
    if (!IsSelectionValid())
        return -1;
    const ProfileEntry entry = entries_[selected_];
    const std::string path = ProfilePath(entry.id);
    if (path.empty())
        return -1;

    Json::Value profile = ReadJsonFile(defaultProfilePath_);
    SetNames(profile, entry.name, entry.id);
    if (deviceType_ == kHeadsetType) {
        // The user's own equalisers are not part of the factory settings.
        const Json::Value old = ReadJsonFile(path);
        const Json::Value& oldDocument = json::Get(json::Get(old, "Device"), Json::ArrayIndex{0});
        for (const char* key : {"CustomEQNameInfo", "CustomEQHzValueInfo"}) {
            if (!json::Has(oldDocument, key))
                continue;
            Json::Value& document = json::At(json::Arr(profile, "Device"), 0);
            json::Member(document, key) = json::Get(oldDocument, key);
        }
    }
    return Write(path, profile);
}

int CProfileListStore::GetProfileCount() {
    ReadList();
    return static_cast<int>(entries_.size());
}

std::string CProfileListStore::GetProfilePathAt(int index) const {
    if (index < 0 || index >= static_cast<int>(entries_.size()))
        return {};
    return ProfilePath(entries_[index].id);
}

Json::Value CProfileListStore::ReadList() {
    Json::Value list = ReadJsonFile(ListFilePath());
    TakeEntries(list);
    FollowCurrentProfile();
    return list;
}

int CProfileListStore::WriteList(const Json::Value& list) {
    if (Write(ListFilePath(), list) != 0)
        return -1;
    TakeEntries(list);
    return 0;
}

int CProfileListStore::Write(const std::string& path, const Json::Value& value) const {
    return writer_(path, value) == 0 ? 0 : -1;
}

void CProfileListStore::TakeEntries(const Json::Value& list) {
    const Json::Value& items = json::Get(list, "profilelist");
    entries_.clear();
    entries_.reserve(json::Size(items));
    for (Json::ArrayIndex i = 0; i < json::Size(items); ++i) {
        const Json::Value& item = json::Get(items, i);
        entries_.push_back({json::ToString(json::Get(item, "profilename")),
                            json::ToString(json::Get(item, "profileUUID"))});
    }
}

void CProfileListStore::FollowCurrentProfile() {
    // Another program may have changed the list since we last looked; keep pointing at the
    // profile the device has loaded rather than at whatever now sits at the old index.
    const int count = static_cast<int>(entries_.size());
    if (currentId_.empty()) {
        if (selected_ >= count)
            selected_ = -1;
        return;
    }
    if (IsSelectionValid() && entries_[selected_].id == currentId_)
        return;
    selected_ = -1;
    for (int i = 0; i < count; ++i) {
        if (entries_[i].id == currentId_) {
            selected_ = i;
            break;
        }
    }
}

void CProfileListStore::Select(int index) {
    selected_ = index;
    currentId_ = entries_[index].id;
}

bool CProfileListStore::IsSelectionValid() const {
    return selected_ >= 0 && selected_ < static_cast<int>(entries_.size());
}

bool CProfileListStore::NameTaken(const std::string& name, int skipIndex) const {
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        if (i != skipIndex && EqualsIgnoreCase(entries_[i].name, name))
            return true;
    }
    return false;
}

std::string CProfileListStore::NewId() const {
    return NewTimeStampId(folder_.empty() ? "." : folder_);
}

int CProfileListStore::AppendProfile(Json::Value& list, const std::string& name,
                                     Json::Value profile, bool select) {
    // The file first, so the list never names a profile that was not written.
    const std::string id = NewId();
    const std::string path = ProfilePath(id);
    SetNames(profile, name, id);
    if (Write(path, profile) != 0)
        return -1;

    Json::Value& items = json::Arr(list, "profilelist");
    items.append(NewEntry(name, id));
    const int index = static_cast<int>(items.size()) - 1;
    if (select)
        json::Member(list, "profileselect") = index;
    if (WriteList(list) != 0) {
        std::error_code ignored;
        fs::remove(path, ignored);
        return -1;
    }
    if (select)
        Select(index);
    return index;
}

}  // namespace morva
