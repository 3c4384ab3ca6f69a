#include "update/update_check.h"

#include <json/reader.h>
#include <json/value.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <system_error>

#include "base/parse_int.h"
#include "device/device_tables.h"
#include "profile/json_file.h"

namespace morva::update {

namespace {

constexpr long long kLargestVersion = 0xFFFFFFFFLL;

bool IsProgram(const ModelEntry& entry) {
    return entry.kind == 0;
}

// Form encoding: everything but the unreserved characters as %XX.
std::string FormEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                           (u >= '0' && u <= '9') || c == '.' || c == '_' || c == '~' || c == '-';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0x0F];
        }
    }
    return out;
}

// The answer's "version" as text: a string as it is, a whole non-negative number in decimal.
std::optional<std::string> VersionText(const Json::Value& version) {
    if (version.isString())
        return version.asString();
    if (version.isIntegral() && !(version.isInt64() && version.asInt64() < 0))
        return std::to_string(version.asLargestUInt());
    return std::nullopt;
}

std::string StringMember(const Json::Value& root, const char* name) {
    const Json::Value& value = root[name];
    return value.isString() ? value.asString() : std::string();
}

// Whatever the bytes are: a null value unless they are one strict JSON document.
Json::Value ParseAnswer(std::string_view body) {
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder["stackLimit"] = 64;  // an answer is one flat object
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    try {
        if (!reader->parse(body.data(), body.data() + body.size(), &root, &errors))
            return Json::Value();
    } catch (const std::exception&) {  // thrown past the nesting limit
        return Json::Value();
    }
    return root;
}

}  // namespace

std::vector<ModelEntry> ModelEntries() {
    std::vector<ModelEntry> entries;
    for (const ModelInfo& row : Models()) {
        ModelEntry entry;
        entry.kind = row.kind;
        entry.enabled = row.enabled;
        entry.version = 0;
        entry.brand = row.brand;
        entry.modelCode = row.modelCode;
        entry.class1 = row.class1;
        entry.class2 = row.class2;
        entry.versionText = row.versionText;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string BuildAppKey(const ModelEntry& entry) {
    if (entry.version == 0)
        return "NULL";
    return entry.brand + "_" + std::to_string(entry.kind) + "_" + entry.modelCode + "_" +
           entry.class1 + "_" + std::to_string(entry.enabled);
}

std::string RequestBody(const ModelEntry& entry) {
    char version[16];
    std::snprintf(version, sizeof version, IsProgram(entry) ? "%u" : "%x",
                  static_cast<unsigned>(entry.version));
    return "app_key=" + FormEncoded(BuildAppKey(entry)) + "&version=" + version;
}

std::string DisplayName(const ModelEntry& entry) {
    return entry.modelCode == "ALL" ? std::string("AP") : entry.class2;
}

std::string LocalVersionText(const ModelEntry& entry) {
    char text[16];
    if (!IsProgram(entry)) {
        std::snprintf(text, sizeof text, "V%04x", static_cast<unsigned>(entry.version));
        return text;
    }
    if (!entry.versionText.empty())
        return entry.versionText;
    std::snprintf(text, sizeof text, "V%u", static_cast<unsigned>(entry.version));
    return text;
}

std::uint32_t InstalledVersionFrom(std::string_view displayVersion) {
    std::string digits;
    std::remove_copy(displayVersion.begin(), displayVersion.end(), std::back_inserter(digits), '.');
    return static_cast<std::uint32_t>(ParseInt(digits, 0, kLargestVersion).value_or(0));
}

UpdateInfo ReadAnswer(const ModelEntry& entry, std::string_view body) {
    UpdateInfo info;
    info.name = DisplayName(entry);
    info.localVersion = LocalVersionText(entry);
    if (body.empty())
        return info;  // the service knows no newer version

    const Json::Value root = ParseAnswer(body);
    if (!root.isObject())
        return FailedCheck(entry, CheckFailure::Garbage);
    const std::optional<std::string> version = VersionText(root["version"]);
    if (!version)
        return FailedCheck(entry, CheckFailure::Garbage);
    const std::optional<long long> serverVersion =
        ParseInt(*version, 0, kLargestVersion, IsProgram(entry) ? 10 : 16);
    if (!serverVersion)
        return FailedCheck(entry, CheckFailure::Garbage);

    info.serverVersion = "V" + *version;
    info.versionName = StringMember(root, "version_name");
    info.path = StringMember(root, "path");
    const Json::Value& deviceId = root["device_id"];
    info.deviceId = deviceId.isInt() ? deviceId.asInt() : 0;
    // The program's offer reads like its own version ("V1.0.0.0"); what it runs stays shown
    // as it is, never the version offered.
    if (IsProgram(entry) && !info.versionName.empty())
        info.serverVersion = "V" + info.versionName;
    info.status =
        static_cast<long long>(entry.version) < *serverVersion ? kItemNeedUpdate : kItemUpToDate;
    return info;
}

UpdateInfo FailedCheck(const ModelEntry& entry, CheckFailure failure) {
    UpdateInfo info;
    info.status = kItemCheckFailed;
    info.name = DisplayName(entry);
    info.localVersion = LocalVersionText(entry);
    info.failure = failure;
    return info;
}

int PageStatus(std::span<const UpdateInfo> results) {
    const auto has = [&](auto pred) { return std::any_of(results.begin(), results.end(), pred); };
    if (has([](const UpdateInfo& r) {
            return r.status == kItemNeedUpdate || r.status == kItemNeedUpdateToo;
        })) {
        return 1;
    }
    if (has([](const UpdateInfo& r) {
            return r.failure != CheckFailure::None || r.status == kItemCheckFailed;
        })) {
        return 2;
    }
    return 4;
}

std::string_view FailureText(CheckFailure failure) {
    switch (failure) {
        case CheckFailure::None:
            return "";
        case CheckFailure::NoAnswer:
            return "no answer from the update service";
        case CheckFailure::Tls:
            return "the service's certificate was refused";
        case CheckFailure::TimedOut:
            return "timed out";
        case CheckFailure::TooLarge:
            return "answer too large";
        case CheckFailure::Garbage:
            return "answer not understood";
        case CheckFailure::HttpError:
            return "the service answered with an error";
    }
    return "";
}

std::string DateText(int year, int month, int day) {
    char text[48];
    std::snprintf(text, sizeof text, "%d-%d-%d", year, month, day);
    return text;
}

CUpdateTimeStore::CUpdateTimeStore(std::filesystem::path folder)
    : file_(std::move(folder) / "updatetime.config") {}

std::string CUpdateTimeStore::ReadLastDate(const std::string& today) {
    const Json::Value root = ReadJsonFile(file_.string());
    if (root.isObject()) {
        const Json::Value& stored = root["updatelasttime"];
        if (stored.isObject() && stored["value"].isString())
            return stored["value"].asString();
    }
    WriteDate(today);
    return today;
}

bool CUpdateTimeStore::WriteDate(const std::string& day) {
    Json::Value root = ReadJsonFile(file_.string());
    if (!root.isObject())
        root = Json::Value(Json::objectValue);
    Json::Value& stored = root["updatelasttime"];
    if (!stored.isObject())
        stored = Json::Value(Json::objectValue);
    stored["value"] = day;
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    return WriteJsonFile(file_.string(), root) == 0;
}

}  // namespace morva::update
