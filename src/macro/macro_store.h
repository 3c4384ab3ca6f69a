// The macros of one device folder: the list "macro.config" and one Guid + ".mac" file per
// macro. The list file is the single source of truth: it is re-read before every change and
// written at once, so the editor, the key assignment panel and the device downloads agree.
#pragma once

#include <json/value.h>

#include <functional>
#include <string>
#include <vector>

#include "macro/macro_event.h"

namespace morva {

// One action of a macro, as the editor and the recorder build it.
struct MacroEvent {
    bool down = false;  // "Action": press (or move left/up) when true
    int button = 0;     // "Button": button bit, key usage, modifier bit or distance; 0..255
    int type = 0;       // "Type": a macro_type value; 0..127
    int delay = 0;      // "Delay": milliseconds before the next action; 0..kMaxMacroDelay

    bool operator==(const MacroEvent&) const = default;
};

// {"Action", "Button", "Type", "Delay" (decimal text)}; fields are brought into range first,
// so a type can never forge the press bit of the device form.
Json::Value MacroEventToJson(const MacroEvent& event);
// Tolerant reading: missing or wrong-typed members read as 0 / "up".
MacroEvent MacroEventFromJson(const Json::Value& json);
DeviceMacroEvent ToDeviceMacroEvent(const MacroEvent& event);

// The actions of a macro file in playback order; empty for a missing or unreadable file.
// Elements that are not objects are left out.
std::vector<MacroEvent> ReadMacroFileEvents(const std::string& path);

// "MacroName" of every list entry of `listFileName` in `folder`; empty when unreadable.
std::vector<std::string> ReadMacroNames(const std::string& folder,
                                        const std::string& listFileName = "macro.config");

// Device form of the macros at `indexes` of the folder's "macro.config", one entry per index
// in the same order, so slot k of a download is always indexes[k]. An index outside the list,
// an unsafe Guid or a missing or unreadable file gives an empty entry.
std::vector<std::vector<DeviceMacroEvent>> LoadMacroEvents(const std::string& folder,
                                                           const std::vector<int>& indexes);

enum class MacroResult {
    kOk = 0,
    kWriteFailed = -1,     // nothing changed on disk
    kLimitReached = -2,    // already kMaxMacros macros
    kNoSuchMacro = -3,     // index outside the list
    kEmptyName = -4,       // blank after trimming
    kNameTaken = -5,       // another macro, or this one, has the name ignoring case
    kUnsafeGuid = -6,      // the list's "Guid" cannot name a file in the folder
    kUnreadableFile = -7,  // a source file is not a macro file
};

struct MacroEntry {
    std::string name;  // "MacroName"
    std::string guid;  // "Guid"; names a file only when it is a plain name
};

class CMacroStore {
public:
    // Same contract as WriteJsonFile: 0 on success, -1 on failure.
    using JsonWriter = std::function<int(const std::string& path, const Json::Value& value)>;

    static constexpr int kMaxMacros = 50;
    // The recorder stops here; actions inserted by hand are not counted.
    static constexpr int kMaxRecordedEvents = 4000;
    static constexpr int kMacroFileVersion = 64;
    static constexpr const char* kListFileName = "macro.config";
    static constexpr const char* kFileExtension = ".mac";

    // `writer` replaces WriteJsonFile for every file this store builds (tests use it to make
    // single writes fail); copies are written as they are.
    explicit CMacroStore(std::string folder, JsonWriter writer = {});

    // Re-reads the list; returns the number of macros (0 for a missing or unreadable list).
    int LoadMacroList();

    // The list as last read or written; not re-read.
    const std::vector<MacroEntry>& Entries() const { return entries_; }
    int GetMacroCount() const { return static_cast<int>(entries_.size()); }
    // Empty when out of range.
    std::string GetMacroName(int index) const;
    std::string GetMacroGuid(int index) const;
    // folder + Guid + ".mac"; empty when out of range or the Guid is not a plain name.
    std::string GetMacroFilePath(int index) const;
    // Actions of macro `index` (empty when it has no file yet or the file is unreadable).
    std::vector<MacroEvent> GetMacroEvents(int index) const;

    // Every operation below re-reads the list first; on any result other than kOk the list
    // and the macro files are as they were.

    // Appends "macro_N" (smallest N whose name no macro has, ignoring case) with a fresh Guid.
    // No macro file is written until the first save. `name` receives the new name.
    MacroResult AddMacro(std::string* name = nullptr);
    // Only the list changes; the file keeps its old "MacroName" until the next save.
    MacroResult RenameMacro(int index, const std::string& name);
    // Removes the entry (later macros move down one number) and then its file.
    MacroResult DeleteMacro(int index);
    // Writes the macro file: "MacroName" and "Guid" from the list, "Events", "Version" 64.
    MacroResult SaveMacroEvents(int index, const std::vector<MacroEvent>& events);
    // Copies the macro's file to `path` byte for byte (its own "MacroName" and "Guid" stay);
    // a macro with no file yet is exported as a macro file without actions; a damaged one is
    // refused.
    MacroResult ExportMacro(int index, const std::string& path);
    // Adds a macro as AddMacro does and copies the macro file at `path` in as its file, byte
    // for byte (its own "MacroName" and "Guid" stay until the next save). `name` receives
    // the new list name.
    MacroResult ImportMacro(const std::string& path, std::string* name = nullptr);

    const std::string& Folder() const { return folder_; }
    std::string ListFilePath() const { return folder_ + kListFileName; }
    // folder + guid + ".mac", or empty when `guid` is not a plain name.
    std::string MacroFilePath(const std::string& guid) const;

private:
    Json::Value ReadList();
    int WriteList(const Json::Value& list);
    void TakeEntries(const Json::Value& list);
    bool IsIndexValid(int index) const;
    bool NameTaken(const std::string& name) const;
    bool GuidInUse(const std::string& guid, int skipIndex) const;
    std::string NextDefaultName() const;
    std::string NewGuid() const;
    // Appends an entry, writing the bytes of `macroFile` under the new Guid first when it is
    // not null.
    MacroResult Append(Json::Value& list, const std::string* macroFile, std::string* name);

    std::string folder_;
    JsonWriter writer_;
    std::vector<MacroEntry> entries_;
};

}  // namespace morva
