#include "profile/json_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <json/reader.h>
#include <json/writer.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "base/debug_log.h"
#include "base/folder_path.h"

namespace morva {

namespace fs = std::filesystem;

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        DebugLog("readjsonFile 错误吗：：%d\n", errno);
        return {};
    }
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<std::size_t>(size) > kMaxJsonFileBytes)
        return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    in.read(text.data(), size);
    if (in.gcount() != size)
        return {};
    return text;
}

Json::Value ReadJsonFile(const std::string& path) {
    const std::string text = ReadFileText(path);
    if (text.empty())
        DebugLog("%s\n", path.c_str());
    return ParseJsonText(text);
}

Json::Value ParseJsonText(const std::string& text) {
    if (text.empty())
        return Json::Value();
    Json::CharReaderBuilder builder;
    builder["collectComments"] = true;
    builder["allowComments"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
            return Json::Value();
        }
    } catch (const std::exception&) {  // the reader throws past its nesting limit
        return Json::Value();
    }
    return root;
}

namespace {

// The styled writer ends a member name at its first NUL, so such a member would come back
// under another name, perhaps one the document has already, whose value it would replace.
// Only a hand-made file has such names; they are left out.
bool HasUnwritableName(const Json::Value& v) {
    if (v.isObject()) {
        for (auto it = v.begin(); it != v.end(); ++it) {
            if (it.name().find('\0') != std::string::npos || HasUnwritableName(*it))
                return true;
        }
    } else if (v.isArray()) {
        for (const Json::Value& element : v) {
            if (HasUnwritableName(element))
                return true;
        }
    }
    return false;
}

Json::Value WithoutUnwritableNames(const Json::Value& v) {
    if (v.isObject()) {
        Json::Value out(Json::objectValue);
        for (auto it = v.begin(); it != v.end(); ++it) {
            if (const std::string name = it.name(); name.find('\0') == std::string::npos)
                out[name] = WithoutUnwritableNames(*it);
        }
        return out;
    }
    if (v.isArray()) {
        Json::Value out(Json::arrayValue);
        for (const Json::Value& element : v)
            out.append(WithoutUnwritableNames(element));
        return out;
    }
    return v;
}

}  // namespace

std::string StyledJsonText(const Json::Value& value) {
    if (HasUnwritableName(value))
        return StyledJsonText(WithoutUnwritableNames(value));
        // The classic styled writer is deprecated, but its layout is the file format.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::StyledWriter writer;
    const std::string lf = writer.write(value);
#pragma GCC diagnostic pop
    std::string out;
    out.reserve(lf.size() + lf.size() / 8 + 2);
    for (char c : lf) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    out += "\r\n";
    return out;
}

namespace {

bool WriteAll(int fd, const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

int WriteJsonFile(const std::string& path, const Json::Value& value) {
    return WriteFileText(path, StyledJsonText(value));
}

namespace {
thread_local std::string t_lastWriteError;

int WriteFailed(const std::string& path, int error) {
    t_lastWriteError = path + ": " + std::strerror(error);
    DebugLog("WriteFileText: %s\n", t_lastWriteError.c_str());
    return -1;
}
}  // namespace

std::string TakeLastWriteError() {
    return std::exchange(t_lastWriteError, std::string());
}

int WriteFileText(const std::string& path, const std::string& text) {
    const fs::path target(path);
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    // The temporary name must not end in ".json": folder scans count profile files.
    std::string temp = (folder / (target.filename().string() + ".tmp.XXXXXX")).string();

    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return WriteFailed(path, errno);
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);

    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return WriteFailed(path, error);
    }
    SyncFolder(folder);
    return 0;
}

std::string FormatTimeStampId(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    auto seconds = static_cast<std::time_t>(ms / 1000);
    int millis = static_cast<int>(ms % 1000);
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d_%02d_%02d_%02d_%02d_%02d_%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  millis);
    return buffer;
}

namespace {

// True when some file in the folder is named after the identifier (id + any ending).
bool IdTakenInFolder(const std::string& folder, const std::string& id) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, id.size(), id) == 0 &&
            (name.size() == id.size() || name[id.size()] == '.')) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string NewTimeStampId(const std::string& folder) {
    return NewTimeStampId(folder, std::chrono::system_clock::now());
}

std::string NewTimeStampId(const std::string& folder, std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    static std::mutex mutex;
    static long long lastIssued = std::numeric_limits<long long>::min();
    std::lock_guard lock(mutex);

    long long ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
    if (ms <= lastIssued)
        ms = lastIssued + 1;
    std::string id = FormatTimeStampId(system_clock::time_point(milliseconds(ms)));
    while (!folder.empty() && IdTakenInFolder(folder, id)) {
        ++ms;
        id = FormatTimeStampId(system_clock::time_point(milliseconds(ms)));
    }
    lastIssued = ms;
    return id;
}

bool IsPlainName(std::string_view name) {
    if (name.empty() || name == "." || name.find("..") != std::string_view::npos)
        return false;
    // Control characters never occur in our own names and make a file no one can type.
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || u < 0x20 || u == 0x7F;
    });
}

std::string FileInFolder(const std::string& folder, std::string_view name,
                         std::string_view extension) {
    if (folder.empty() || !IsPlainName(name))
        return {};
    std::string path = WithSlash(folder);
    path.append(name).append(extension);
    return path;
}

namespace {

// "NAME.tmp." and six characters of mkstemp's.
bool IsLeftoverTemp(const std::string& name) {
    constexpr std::string_view kMark = ".tmp.";
    const std::size_t at = name.rfind(kMark);
    return at != std::string::npos && at > 0 && name.size() == at + kMark.size() + 6;
}

}  // namespace

int RemoveLeftoverTempFiles(const std::string& folder) {
    namespace fs = std::filesystem;
    int removed = 0;
    std::error_code ec;
    std::vector<fs::path> folders{folder};
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        if (entry.is_directory(ec) && !entry.is_symlink(ec))
            folders.push_back(entry.path());
    }
    for (const fs::path& f : folders) {
        for (const fs::directory_entry& entry : fs::directory_iterator(f, ec)) {
            if (entry.is_regular_file(ec) && !entry.is_symlink(ec) &&
                IsLeftoverTemp(entry.path().filename().string()) && fs::remove(entry.path(), ec))
                ++removed;
        }
    }
    return removed;
}

}  // namespace morva
