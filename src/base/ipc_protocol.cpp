#include "base/ipc_protocol.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <json/reader.h>
#include <json/writer.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

namespace morva::ipc {

namespace {

// A folder only this user can enter, and not a link to somewhere else.
bool PrivateFolder(const std::string& folder, std::string& error) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        error = folder + " is not a private folder of this user";
        return false;
    }
    return true;
}

}  // namespace

std::string Encode(const Message& message) {
    Json::Value v = message.data.isObject() ? message.data : Json::Value(Json::objectValue);
    v["msg"] = message.msg;
    v["wParam"] = static_cast<Json::Int64>(message.wParam);
    v["lParam"] = static_cast<Json::Int64>(message.lParam);
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, v) + "\n";
}

std::optional<Message> Decode(std::string_view line) {
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (line.empty() || line.size() > kMaxLineBytes)
        return std::nullopt;
    Json::CharReaderBuilder builder;
    builder["allowComments"] = false;
    builder["failIfExtra"] = true;
    builder["stackLimit"] = 64;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value v;
    std::string errors;
    try {
        if (!reader->parse(line.data(), line.data() + line.size(), &v, &errors))
            return std::nullopt;
    } catch (const std::exception&) {  // the reader throws past its nesting limit
        return std::nullopt;
    }
    if (!v.isObject())
        return std::nullopt;
    const Json::Value& msg = v["msg"];
    if (!msg.isString() || msg.asString().empty())
        return std::nullopt;
    Message m;
    m.msg = msg.asString();
    for (const char* key : {"wParam", "lParam"}) {
        if (!v.isMember(key))
            continue;
        if (!v[key].isInt64())
            return std::nullopt;
        (std::strcmp(key, "wParam") == 0 ? m.wParam : m.lParam) = v[key].asInt64();
        v.removeMember(key);
    }
    v.removeMember("msg");
    m.data = v;
    return m;
}

void LineSplitter::Feed(std::string_view bytes,
                        const std::function<void(std::string_view line)>& onLine) {
    while (!bytes.empty()) {
        const std::size_t newline = bytes.find('\n');
        const std::string_view part = bytes.substr(0, newline);
        if (!skipping_) {
            if (pending_.size() + part.size() > kMaxLineBytes) {
                skipping_ = true;
                pending_.clear();
            } else {
                pending_.append(part);
            }
        }
        if (newline == std::string_view::npos)
            return;
        if (!skipping_)
            onLine(pending_);
        pending_.clear();
        skipping_ = false;
        bytes.remove_prefix(newline + 1);
    }
}

std::string FallbackSocketFolder(const std::string& shared, std::string& error) {
    std::string sharedError;
    if (PrivateFolder(shared, sharedError))
        return shared;
    std::string cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/')
        cache = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        cache = std::string(home) + "/.cache";
    if (cache.empty()) {
        error = sharedError + ", and there is no home folder to use instead";
        return {};
    }
    // The cache folder itself may not exist yet; it is the user's, so its mode is theirs.
    ::mkdir(cache.c_str(), 0700);
    const std::string own = cache + "/morva-tr510";
    std::string ownError;
    if (PrivateFolder(own, ownError))
        return own;
    error = sharedError + "; " + ownError;
    return {};
}

std::string SocketPath(std::string& error) {
    const char* chosen = std::getenv(kSocketEnv);
    if (chosen != nullptr && chosen[0] != '\0') {
        const std::string path = chosen;
        if (path[0] != '/') {
            // The program and its clients rarely share a working folder.
            error = std::string(kSocketEnv) + " must be an absolute path: " + path;
            return {};
        }
        if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
            error = "socket path too long: " + path;
            return {};
        }
        return path;
    }
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        folder = runtime;
    } else {
        folder = FallbackSocketFolder("/tmp/morva-tr510-" + std::to_string(::getuid()), error);
        if (folder.empty())
            return {};
    }
    const std::string path = folder + "/morva-tr510.sock";
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
        error = "socket path too long: " + path;
        return {};
    }
    return path;
}

}  // namespace morva::ipc
