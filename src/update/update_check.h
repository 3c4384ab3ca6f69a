// What one update check asks and what its answer means, without any network: the model list
// the settings window shows, the request body, the answer's reading and the date file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morva::update {

// One row of the model table with the version found for it (0: not present).
struct ModelEntry {
    int kind = 0;  // 0: the program itself
    int enabled = 0;
    std::uint32_t version = 0;
    std::string brand;
    std::string modelCode;
    std::string class1;
    std::string class2;
    std::string versionText;  // the program's own version text; empty for devices
};

// List item states; the values are shared with outside updaters through the relay.
inline constexpr int kItemUnchecked = -1;  // shown before any check: no state text
inline constexpr int kItemLessUpdate = 0;
inline constexpr int kItemNeedUpdate = 1;
inline constexpr int kItemNeedUpdateToo = 2;
inline constexpr int kItemDownloadWait = 3;
inline constexpr int kItemDownloading = 4;
inline constexpr int kItemDownloaded = 5;
inline constexpr int kItemUpdating = 6;
inline constexpr int kItemUpToDate = 7;  // also: not answered
inline constexpr int kItemUpdateFailed = 8;
inline constexpr int kItemCheckFailed = 9;  // the check itself failed; never shown as current

// Why a check gave no usable answer.
enum class CheckFailure { None, NoAnswer, Tls, TimedOut, TooLarge, Garbage, HttpError };

struct UpdateInfo {
    int status = kItemUpToDate;
    int deviceId = 0;
    std::string name;           // always the display name, never the server's words
    std::string localVersion;   // "V%04x" for devices, "V%d" (or the version name) for the program
    std::string versionName;    // "version_name" of the answer
    std::string serverVersion;  // "V" + "version" (the program: "V" + "version_name" if any)
    std::string path;           // "path" of the answer; only shown, never used as a file name
    CheckFailure failure = CheckFailure::None;
};

// The model table's rows in order, every version 0.
std::vector<ModelEntry> ModelEntries();

// brand_kind_modelCode_class1_enabled, or "NULL" for a version of 0.
std::string BuildAppKey(const ModelEntry& entry);
// "app_key=...&version=..." with the version in hex for devices, decimal for the program.
std::string RequestBody(const ModelEntry& entry);
// class2, or "AP" for the model code "ALL".
std::string DisplayName(const ModelEntry& entry);
// "V%04x" for devices; the version text (or "V%d") for the program.
std::string LocalVersionText(const ModelEntry& entry);
// "1.0.3.2" gives 1032; 0 when there are no digits or it does not fit.
std::uint32_t InstalledVersionFrom(std::string_view displayVersion);

// The entry's result for an answer body that arrived whole. An empty body means the service
// knows no update for the entry (up to date). An answer that is not a JSON object with a
// readable "version" gives status kItemCheckFailed with CheckFailure::Garbage.
UpdateInfo ReadAnswer(const ModelEntry& entry, std::string_view body);
// The entry's result when no answer could be used (`failure` is not None).
UpdateInfo FailedCheck(const ModelEntry& entry, CheckFailure failure);

// Page status after a whole run: 1 an update exists, 2 every check failed, 4 all current.
// A run where some checks failed and none found an update is 2 as well: "current" is claimed
// only when every entry was answered.
int PageStatus(std::span<const UpdateInfo> results);

// Short English words for a failure, for the command line and the debug log.
std::string_view FailureText(CheckFailure failure);

// "%d-%d-%d" without leading zeros.
std::string DateText(int year, int month, int day);

// "updatetime.config" in the program data folder: {"updatelasttime": {"value": "Y-M-D"}}.
class CUpdateTimeStore {
public:
    explicit CUpdateTimeStore(std::filesystem::path folder);

    // The stored date; when there is none, `today` is written and returned.
    std::string ReadLastDate(const std::string& today);
    // False when the file could not be written. Other members of the file are kept.
    bool WriteDate(const std::string& day);

    const std::filesystem::path& File() const { return file_; }

private:
    std::filesystem::path file_;
};

}  // namespace morva::update
