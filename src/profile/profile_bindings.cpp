#include "profile/profile_bindings.h"

#include <set>
#include <utility>

#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/text_convert.h"

namespace morva {

namespace {

constexpr const char* kBindings = "bindings";
constexpr const char* kProfileId = "profileUUID";
constexpr const char* kPrograms = "programs";

// The array member `key`, or an empty one when it is absent or of another type.
const Json::Value& ArrayOf(const Json::Value& v, const char* key) {
    static const Json::Value empty(Json::arrayValue);
    const Json::Value& member = json::Get(v, key);
    return member.isArray() ? member : empty;
}

std::string IdOf(const Json::Value& entry) {
    return json::ToString(json::Get(entry, kProfileId));
}

bool SameProgram(const Json::Value& stored, const std::string& name) {
    // A hand-edited entry counts as the name it would have been stored under.
    const std::optional<std::string> storedName = ProgramName(json::ToString(stored));
    return storedName && EqualsIgnoreCase(*storedName, name);
}

struct Removal {
    bool kept = false;     // the first occurrence in an entry of the kept profile stayed
    bool removed = false;  // some other occurrence went
};

// Takes `name` from every entry's programs but for its first occurrence in an entry of
// `keepIn` (when given).
Removal RemoveProgram(Json::Value& bindings, const std::string& name, const std::string* keepIn) {
    Removal result;
    for (Json::Value& entry : bindings) {
        const Json::Value& programs = ArrayOf(entry, kPrograms);
        const bool target = keepIn && IdOf(entry) == *keepIn;
        Json::Value rest(Json::arrayValue);
        for (const Json::Value& program : programs) {
            if (!SameProgram(program, name)) {
                rest.append(program);
            } else if (target && !result.kept) {
                result.kept = true;
                rest.append(program);
            }
        }
        if (rest.size() != programs.size()) {
            result.removed = true;
            entry[kPrograms] = std::move(rest);
        }
    }
    return result;
}

// Entries left with no programs and no members of their own go.
void DropEmptyEntries(Json::Value& bindings) {
    Json::Value kept(Json::arrayValue);
    for (Json::Value& entry : bindings) {
        const bool bare = entry.isObject() && json::Get(entry, kPrograms).isArray() &&
                          entry[kPrograms].empty() &&
                          entry.size() == (json::Has(entry, kProfileId) ? 2u : 1u);
        if (!bare)
            kept.append(std::move(entry));
    }
    bindings = std::move(kept);
}

}  // namespace

std::optional<std::string> ProgramName(const std::string& text) {
    std::string name = TrimWhite(text);
    if (name.empty())
        return std::nullopt;
    const std::wstring wide = Utf8ToWide(name);
    // Invalid UTF-8 comes back with replacement characters instead.
    if (WideToUtf8(wide) != name || wide.size() > kMaxProgramNameLength)
        return std::nullopt;
    for (const wchar_t c : wide) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == L'/')
            return std::nullopt;
    }
    return name;
}

CProfileBindings::CProfileBindings(std::string userDataFolder, CProfileListStore::JsonWriter writer)
    : folder_(userDataFolder.empty() || userDataFolder.back() == '/' ? userDataFolder
                                                                     : userDataFolder + '/'),
      writer_(writer ? std::move(writer) : CProfileListStore::JsonWriter(WriteJsonFile)) {}

std::vector<std::string> CProfileBindings::ProgramsOf(const std::string& profileId) {
    std::vector<std::string> programs;
    if (!IsPlainName(profileId))
        return programs;
    const Json::Value root = ReadJsonFile(FilePath());
    for (const Json::Value& entry : ArrayOf(root, kBindings)) {
        if (IdOf(entry) != profileId)
            continue;
        for (const Json::Value& program : ArrayOf(entry, kPrograms)) {
            if (const auto name = ProgramName(json::ToString(program)))
                programs.push_back(*name);
        }
    }
    return programs;
}

int CProfileBindings::Bind(const std::string& profileId, const std::string& program) {
    const std::optional<std::string> name = ProgramName(program);
    if (!name || !IsPlainName(profileId))
        return kRefused;
    Json::Value root = ReadJsonFile(FilePath());
    if (!root.isObject())
        root = Json::Value(Json::objectValue);
    Json::Value& bindings = json::Arr(root, kBindings);
    const Removal removal = RemoveProgram(bindings, *name, &profileId);
    if (removal.kept && !removal.removed)
        return kUnchanged;
    if (!removal.kept) {
        Json::Value* target = nullptr;
        for (Json::Value& entry : bindings) {
            if (entry.isObject() && IdOf(entry) == profileId) {
                target = &entry;
                break;
            }
        }
        if (!target) {
            target = &bindings.append(Json::Value(Json::objectValue));
            (*target)[kProfileId] = profileId;
        }
        json::Arr(*target, kPrograms).append(*name);
    }
    DropEmptyEntries(bindings);
    return writer_(FilePath(), root) == 0 ? kChanged : kWriteFailed;
}

int CProfileBindings::Unbind(const std::string& program) {
    const std::optional<std::string> name = ProgramName(program);
    if (!name)
        return kRefused;
    Json::Value root = ReadJsonFile(FilePath());
    Json::Value& bindings = json::Arr(root, kBindings);
    if (!RemoveProgram(bindings, *name, nullptr).removed)
        return kUnchanged;
    DropEmptyEntries(bindings);
    return writer_(FilePath(), root) == 0 ? kChanged : kWriteFailed;
}

std::optional<std::string> CProfileBindings::ProfileFor(const ActiveProgramNames& program,
                                                        CProfileListStore& profiles) {
    profiles.GetProfileCount();
    std::set<std::string> known;
    for (const ProfileEntry& entry : profiles.Entries()) {
        if (IsPlainName(entry.id))
            known.insert(entry.id);
    }
    const Json::Value root = ReadJsonFile(FilePath());
    const Json::Value& bindings = ArrayOf(root, kBindings);
    for (const std::string* name : {&program.windowClass, &program.instance, &program.executable}) {
        if (name->empty())
            continue;
        for (const Json::Value& entry : bindings) {
            const std::string id = IdOf(entry);
            if (!known.contains(id))
                continue;
            for (const Json::Value& stored : ArrayOf(entry, kPrograms)) {
                if (SameProgram(stored, *name))
                    return id;
            }
        }
    }
    return std::nullopt;
}

}  // namespace morva
