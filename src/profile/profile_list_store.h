// The profile list of one device folder: "ProfileList.ini" and the profile files it names.
// The list file is the single source of truth: it is re-read before every operation and
// written at once after every change, so a panel and a command-line tool can share a folder.
#pragma once

#include <json/value.h>

#include <functional>
#include <string>
#include <vector>

namespace morva {

// Removes the profile files of `folder` that its readable list does not name: a profile file
// (".Json" whose "profileUUID" is its own file name) that an add, copy or import killed before
// its list was written, or a delete killed after. Each holds a default, a copy or a deleted
// profile, so no profile the list showed is lost. Nothing goes when the list cannot be read.
// Only where no store of the folder runs. Returns how many went.
int RemoveUnlistedProfiles(const std::string& folder);

// What killed writes leave in the program data folder: temporary files (there and in the device
// folders) and the device folders' unlisted profiles. Returns how many files went.
int TidyAfterKilledWrites(const std::string& dataFolder);

struct ProfileEntry {
    std::string name;  // "profilename"
    std::string id;    // "profileUUID"; names a file only when it is a plain name
};

class CProfileListStore {
public:
    // Same contract as WriteJsonFile: 0 on success, -1 on failure.
    using JsonWriter = std::function<int(const std::string& path, const Json::Value& value)>;

    static constexpr int kHeadsetType = 7;
    // AddProfile stops here; copies and imports may go beyond.
    static constexpr int kMaxAddedProfiles = 50;
    static constexpr const char* kListFileName = "ProfileList.ini";

    // `writer` replaces WriteJsonFile for every file this store writes (tests use it to
    // make single writes fail).
    CProfileListStore(int deviceType, std::string userDataFolder, std::string defaultProfilePath,
                      JsonWriter writer = {});

    // Creates "profile1" from the default profile when the folder has no usable list, then
    // selects "profileselect" (0 when out of range). 0, or -1 when a needed write failed.
    int InitProfileList();

    // Every operation below returns -1 when it does nothing or a write failed; a failed
    // operation leaves the list, the set of profile files and the selection as they were.
    // A profile whose id names no file (ProfilePath) is never read or written: export and
    // reset refuse it, rename and delete change only its entry, a copy starts empty.

    // Returns index.
    int SelectProfile(int index);
    // Makes the profile with `id` current without storing it as the list's choice: a
    // program in front asks for it for a while. Empty `id`: the stored choice again. Returns
    // the index, -1 when the list has no such profile.
    int SelectForProgram(const std::string& id);
    // Appends "profileN" (smallest free N) from the default profile and selects it; refused
    // at kMaxAddedProfiles entries. Returns the new index.
    int AddProfile();
    // Appends a copy of the selected profile named "<name> copy"; the selection stays.
    int CopyProfile();
    // Removes the selected profile and its file, then selects the entry before it (or the
    // first). Returns the new selection; nothing happens to the last remaining profile.
    int DeleteProfile();
    // 1 renamed, 0 another profile has the name (ignoring case), 2 blank name, -1 failure.
    int RenameProfile(const std::string& name);
    // Appends the profile file at `path` named after its file name; the selection stays.
    int ImportProfile(const std::string& path);
    // Writes the selected profile to `path`. 0 or -1.
    int ExportProfile(const std::string& path);
    // Replaces the selected profile by the default one; a headset keeps its custom
    // equalisers. 0 or -1.
    int ResetProfile();

    // The entries as last read or written; not re-read.
    const std::vector<ProfileEntry>& Entries() const { return entries_; }
    int GetSelectedIndex() const { return selected_; }
    const std::string& GetCurrentProfileId() const { return currentId_; }
    // Empty when there is no current profile or its id is not a plain name.
    std::string GetCurrentProfilePath() const { return ProfilePath(currentId_); }
    // Re-reads the list (Entries() follows) and returns its length.
    int GetProfileCount();
    // Profile file of an entry as last read; empty when out of range or the id is unsafe.
    std::string GetProfilePathAt(int index) const;

    const std::string& UserDataFolder() const { return folder_; }
    std::string ListFilePath() const { return folder_ + kListFileName; }
    // folder + id + ".Json", or empty when `id` is not a plain name.
    std::string ProfilePath(const std::string& id) const;

private:
    // Gives every entry after the first that names the same file a copy of its own; -1 when a
    // copy or the list could not be written.
    int SeparateSharedFiles(Json::Value& list);
    // Lists the folder's profile files in `list` and writes it; false (entries empty) when
    // there are none or the list could not be written.
    bool RelistProfileFiles(Json::Value& list);
    Json::Value ReadList();
    int WriteList(const Json::Value& list);
    int Write(const std::string& path, const Json::Value& value) const;
    void TakeEntries(const Json::Value& list);
    void FollowCurrentProfile();
    void Select(int index);
    bool IsSelectionValid() const;
    bool NameTaken(const std::string& name, int skipIndex = -1) const;
    std::string NewId() const;
    // Writes `profile` under a fresh id and appends its entry (selected when `select`); on a
    // failed list write the new file is removed again. Returns the new index or -1.
    int AppendProfile(Json::Value& list, const std::string& name, Json::Value profile, bool select);

    int deviceType_;
    std::string folder_;
    std::string defaultProfilePath_;
    JsonWriter writer_;
    std::vector<ProfileEntry> entries_;
    int selected_ = -1;
    std::string currentId_;
};

}  // namespace morva
