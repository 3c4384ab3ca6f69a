#include "macro/macro_store.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "base/folder_path.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/text_convert.h"

namespace morva {

namespace fs = std::filesystem;

namespace {

// Files saved without actions have no "Events" at all, so the other keys also identify one.
bool IsMacroFileContent(const Json::Value& content) {
    if (!content.isObject())
        return false;
    const Json::Value& events = json::Get(content, "Events");
    if (!events.isNull())
        return events.isArray();
    return json::Has(content, "MacroName") || json::Has(content, "Guid") ||
           json::Has(content, "Version");
}

Json::Value MacroFileContent(const std::string& name, const std::string& guid,
                             const std::vector<MacroEvent>& events) {
    Json::Value root(Json::objectValue);
    root["MacroName"] = name;
    root["Guid"] = guid;
    Json::Value& list = root["Events"] = Json::Value(Json::arrayValue);
    for (const MacroEvent& event : events)
        list.append(MacroEventToJson(event));
    root["Version"] = CMacroStore::kMacroFileVersion;
    return root;
}

}  // namespace

Json::Value MacroEventToJson(const MacroEvent& event) {
    Json::Value json(Json::objectValue);
    json["Action"] = event.down ? "down" : "up";
    json["Button"] = event.button & 0xFF;
    // Bit 7 of the device's type byte is the press flag.
    json["Type"] = event.type & 0x7F;
    int delay = event.delay < 0 ? 0 : event.delay;
    if (delay > kMaxMacroDelay)
        delay = kMaxMacroDelay;
    json["Delay"] = std::to_string(delay);
    return json;
}

MacroEvent MacroEventFromJson(const Json::Value& json) {
    MacroEvent event;
    event.down = json::ToString(json::Get(json, "Action")) == "down";
    event.button = json::ToInt(json::Get(json, "Button")) & 0xFF;
    event.type = json::ToInt(json::Get(json, "Type")) & 0x7F;
    event.delay = MacroDelay(json);
    return event;
}

DeviceMacroEvent ToDeviceMacroEvent(const MacroEvent& event) {
    DeviceMacroEvent out{};
    ParseMacroEvent(MacroEventToJson(event), out);
    return out;
}

std::vector<MacroEvent> ReadMacroFileEvents(const std::string& path) {
    const Json::Value events = json::Get(ReadJsonFile(path), "Events");
    std::vector<MacroEvent> out;
    out.reserve(json::Size(events));
    for (Json::ArrayIndex i = 0; i < json::Size(events); ++i) {
        const Json::Value& event = json::Get(events, i);
        if (event.isObject())
            out.push_back(MacroEventFromJson(event));
    }
    return out;
}

std::vector<std::string> ReadMacroNames(const std::string& folder,
                                        const std::string& listFileName) {
    const Json::Value items =
        json::Get(ReadJsonFile(WithSlash(folder) + listFileName), "MacroInfo");
    std::vector<std::string> names;
    names.reserve(json::Size(items));
    for (Json::ArrayIndex i = 0; i < json::Size(items); ++i)
        names.push_back(json::ToString(json::Get(json::Get(items, i), "MacroName")));
    return names;
}

std::vector<std::vector<DeviceMacroEvent>> LoadMacroEvents(const std::string& folder,
                                                           const std::vector<int>& indexes) {
    CMacroStore store(folder);
    store.LoadMacroList();
    std::vector<std::vector<DeviceMacroEvent>> out;
    out.reserve(indexes.size());
    for (int index : indexes) {
        std::vector<DeviceMacroEvent>& block = out.emplace_back();
        for (const MacroEvent& event : store.GetMacroEvents(index))
            block.push_back(ToDeviceMacroEvent(event));
    }
    return out;
}

CMacroStore::CMacroStore(std::string folder, JsonWriter writer)
    : folder_(WithSlash(std::move(folder))), writer_(std::move(writer)) {
    if (!writer_)
        writer_ = WriteJsonFile;
}

int CMacroStore::LoadMacroList() {
    ReadList();
    return GetMacroCount();
}

std::string CMacroStore::GetMacroName(int index) const {
    return IsIndexValid(index) ? entries_[index].name : std::string();
}

std::string CMacroStore::GetMacroGuid(int index) const {
    return IsIndexValid(index) ? entries_[index].guid : std::string();
}

std::string CMacroStore::GetMacroFilePath(int index) const {
    return IsIndexValid(index) ? MacroFilePath(entries_[index].guid) : std::string();
}

std::vector<MacroEvent> CMacroStore::GetMacroEvents(int index) const {
    const std::string path = GetMacroFilePath(index);
    return path.empty() ? std::vector<MacroEvent>() : ReadMacroFileEvents(path);
}

std::string CMacroStore::MacroFilePath(const std::string& guid) const {
    // Guids come from a file anyone can edit.
    return FileInFolder(folder_, guid, kFileExtension);
}

MacroResult CMacroStore::AddMacro(std::string* name) {
    Json::Value list = ReadList();
    if (entries_.size() >= static_cast<std::size_t>(kMaxMacros))
        return MacroResult::kLimitReached;
    return Append(list, nullptr, name);
}

MacroResult CMacroStore::RenameMacro(int index, const std::string& name) {
    Json::Value list = ReadList();
    if (!IsIndexValid(index))
        return MacroResult::kNoSuchMacro;
    if (TrimWhite(name).empty())
        return MacroResult::kEmptyName;
    if (NameTaken(name))
        return MacroResult::kNameTaken;
    Json::Value& entry =
        json::At(json::Arr(list, "MacroInfo"), static_cast<Json::ArrayIndex>(index));
    json::Member(entry, "MacroName") = name;
    return WriteList(list) == 0 ? MacroResult::kOk : MacroResult::kWriteFailed;
}

MacroResult CMacroStore::DeleteMacro(int index) {
    Json::Value list = ReadList();
    if (!IsIndexValid(index))
        return MacroResult::kNoSuchMacro;
    const std::string path = MacroFilePath(entries_[index].guid);
    // A hand-edited list may name one file twice; the other entry still needs it.
    const bool shared = GuidInUse(entries_[index].guid, index);

    Json::Value dropped;
    json::Arr(list, "MacroInfo").removeIndex(static_cast<Json::ArrayIndex>(index), &dropped);
    // The list goes first: a failed write must not leave an entry whose file is gone.
    if (WriteList(list) != 0)
        return MacroResult::kWriteFailed;
    if (!path.empty() && !shared) {
        std::error_code ignored;  // an orphan file is harmless: new Guids avoid taken stems
        fs::remove(path, ignored);
    }
    return MacroResult::kOk;
}

MacroResult CMacroStore::SaveMacroEvents(int index, const std::vector<MacroEvent>& events) {
    ReadList();
    if (!IsIndexValid(index))
        return MacroResult::kNoSuchMacro;
    const MacroEntry& entry = entries_[index];
    const std::string path = MacroFilePath(entry.guid);
    if (path.empty())
        return MacroResult::kUnsafeGuid;
    return writer_(path, MacroFileContent(entry.name, entry.guid, events)) == 0
               ? MacroResult::kOk
               : MacroResult::kWriteFailed;
}

MacroResult CMacroStore::ExportMacro(int index, const std::string& path) {
    ReadList();
    if (!IsIndexValid(index))
        return MacroResult::kNoSuchMacro;
    const MacroEntry& entry = entries_[index];
    const std::string source = MacroFilePath(entry.guid);
    if (source.empty())
        return MacroResult::kUnsafeGuid;

    const std::string bytes = ReadFileText(source);
    if (bytes.empty()) {
        std::error_code ec;
        // A damaged file must not be exported as an empty macro that looks like a success.
        if (fs::exists(source, ec) || ec)
            return MacroResult::kUnreadableFile;
        return writer_(path, MacroFileContent(entry.name, entry.guid, {})) == 0
                   ? MacroResult::kOk
                   : MacroResult::kWriteFailed;
    }
    if (!IsMacroFileContent(ParseJsonText(bytes)))
        return MacroResult::kUnreadableFile;
    return WriteFileText(path, bytes) == 0 ? MacroResult::kOk : MacroResult::kWriteFailed;
}

MacroResult CMacroStore::ImportMacro(const std::string& path, std::string* name) {
    const std::string bytes = ReadFileText(path);
    if (!IsMacroFileContent(ParseJsonText(bytes)))
        return MacroResult::kUnreadableFile;
    Json::Value list = ReadList();
    // At the limit nothing may be written, least of all over another macro's file.
    if (entries_.size() >= static_cast<std::size_t>(kMaxMacros))
        return MacroResult::kLimitReached;
    return Append(list, &bytes, name);
}

Json::Value CMacroStore::ReadList() {
    Json::Value list = folder_.empty() ? Json::Value() : ReadJsonFile(ListFilePath());
    TakeEntries(list);
    return list;
}

int CMacroStore::WriteList(const Json::Value& list) {
    if (folder_.empty() || writer_(ListFilePath(), list) != 0)
        return -1;
    TakeEntries(list);
    return 0;
}

void CMacroStore::TakeEntries(const Json::Value& list) {
    const Json::Value& items = json::Get(list, "MacroInfo");
    entries_.clear();
    entries_.reserve(json::Size(items));
    // Every element keeps its place, even a broken one: key bindings count by position.
    for (Json::ArrayIndex i = 0; i < json::Size(items); ++i) {
        const Json::Value& item = json::Get(items, i);
        entries_.push_back({json::ToString(json::Get(item, "MacroName")),
                            json::ToString(json::Get(item, "Guid"))});
    }
}

bool CMacroStore::IsIndexValid(int index) const {
    return index >= 0 && index < static_cast<int>(entries_.size());
}

bool CMacroStore::NameTaken(const std::string& name) const {
    for (const MacroEntry& entry : entries_) {
        if (EqualsIgnoreCase(entry.name, name))
            return true;
    }
    return false;
}

bool CMacroStore::GuidInUse(const std::string& guid, int skipIndex) const {
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        if (i != skipIndex && entries_[i].guid == guid)
            return true;
    }
    return false;
}

std::string CMacroStore::NextDefaultName() const {
    for (int n = 1;; ++n) {
        std::string name = "macro_" + std::to_string(n);
        if (!NameTaken(name))
            return name;
    }
}

std::string CMacroStore::NewGuid() const {
    // A macro added but never saved has no file yet, so the folder alone cannot tell.
    std::string guid;
    do {
        guid = NewTimeStampId(folder_);
    } while (GuidInUse(guid, -1));
    return guid;
}

MacroResult CMacroStore::Append(Json::Value& list, const std::string* macroFile,
                                std::string* name) {
    if (folder_.empty())
        return MacroResult::kWriteFailed;
    const std::string newName = NextDefaultName();
    const std::string guid = NewGuid();
    const std::string path = MacroFilePath(guid);
    const bool withFile = macroFile != nullptr;
    if (withFile && (path.empty() || WriteFileText(path, *macroFile) != 0))
        return MacroResult::kWriteFailed;

    Json::Value entry(Json::objectValue);
    entry["MacroName"] = newName;
    entry["Guid"] = guid;
    json::Arr(list, "MacroInfo").append(entry);
    if (WriteList(list) != 0) {
        if (withFile) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
        return MacroResult::kWriteFailed;
    }
    if (name)
        *name = newName;
    return MacroResult::kOk;
}

}  // namespace morva
