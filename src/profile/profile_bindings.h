// Which programs switch a device to which of its profiles: "ProfileBindings.json" beside
// "ProfileList.ini" in the device's folder,
//   {"bindings": [{"profileUUID": "…", "programs": ["steam", "Firefox"]}]}
// A program is named by its X11 window instance or class, or by its executable's name. Like
// the profile list, the file is re-read before every operation and written at once, atomically,
// so the program and morvactl can share it; members this store does not know are kept.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "profile/profile_list_store.h"

namespace morva {

// The names a focused window goes by (no X types here: the program copies them from the
// X11 window watcher's report).
struct ActiveProgramNames {
    std::string instance;     // WM_CLASS, first part
    std::string windowClass;  // WM_CLASS, second part
    std::string executable;   // the file name of the window's process, without folder
};

// A program name as the store keeps it: `text` trimmed, 1..kMaxProgramNameLength characters
// of valid UTF-8, no control characters and no '/'. Empty when `text` is not one.
inline constexpr std::size_t kMaxProgramNameLength = 64;
std::optional<std::string> ProgramName(const std::string& text);

class CProfileBindings {
public:
    static constexpr const char* kFileName = "ProfileBindings.json";

    // What Bind and Unbind return.
    static constexpr int kChanged = 1;       // written
    static constexpr int kUnchanged = 0;     // already so (Bind), or not bound (Unbind)
    static constexpr int kRefused = 2;       // not a program name, or the id is not a plain name
    static constexpr int kWriteFailed = -1;  // the file is left as it was

    // `writer` replaces WriteJsonFile (tests make writes fail with it).
    explicit CProfileBindings(std::string userDataFolder,
                              CProfileListStore::JsonWriter writer = {});

    // The programs bound to the profile, in the order they were bound.
    std::vector<std::string> ProgramsOf(const std::string& profileId);
    // Binds the program to the profile, taking it from any other profile (a program switches
    // a device to one profile only). Names compare ignoring ASCII case.
    int Bind(const std::string& profileId, const std::string& program);
    // Takes the program from whichever profile holds it.
    int Unbind(const std::string& program);

    // The profile a focused program switches to: the first binding holding the window's
    // class, else its instance, else its executable (ASCII case ignored). Bindings of
    // profiles the device's list no longer has, or whose ids are not plain names, are
    // passed over. Re-reads `profiles`' list.
    std::optional<std::string> ProfileFor(const ActiveProgramNames& program,
                                          CProfileListStore& profiles);

    std::string FilePath() const { return folder_ + kFileName; }

private:
    const std::string folder_;
    CProfileListStore::JsonWriter writer_;
};

}  // namespace morva
