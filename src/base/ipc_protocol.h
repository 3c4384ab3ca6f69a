// The line format spoken between the program, a second instance of it and other local
// programs (morvactl among them) over the per-user local socket: one JSON object per line,
// e.g. {"msg":"MsgActivateInstance","wParam":0,"lParam":1}. Nothing crossing it is a
// pointer or a raw struct.
#pragma once

#include <json/value.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace morva::ipc {

// A longer line is dropped whole, never parsed.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

// Message names.
inline constexpr char kMsgActivateInstance[] = "MsgActivateInstance";
inline constexpr char kMsgSettingsRelay[] = "MsgSettingsRelay";
inline constexpr char kMsgLightControlNotice[] = "MsgLightControlNotice";
inline constexpr char kMsgLightControlRequest[] = "MsgLightControlRequest";
inline constexpr char kMsgWorkToolQuery[] = "MsgWorkToolQuery";
inline constexpr char kMsgAudioRecordCommand[] = "MsgAudioRecordCommand";
// morvactl's questions to the running program and the program's answers.
inline constexpr char kMsgAppStatusQuery[] = "AppStatusQuery";
inline constexpr char kMsgAppStatusReport[] = "AppStatusReport";
inline constexpr char kMsgSimRequest[] = "SimRequest";
inline constexpr char kMsgSimReply[] = "SimReply";
inline constexpr char kGameStart[] = "Game_Start";
inline constexpr char kGameEnd[] = "Game_End";
inline constexpr char kGameKill[] = "Game_Kill";
inline constexpr char kGameDeath[] = "Game_Death";

struct Message {
    std::string msg;
    long long wParam = 0;
    long long lParam = 0;
    // Further members of the object (answers and queries carry their data here).
    Json::Value data{Json::objectValue};

    friend bool operator==(const Message&, const Message&) = default;
};

// One line, newline included.
std::string Encode(const Message& message);
// Nothing for a line that is oversized, not JSON, not an object, without a string "msg" or
// with non-integer "wParam"/"lParam". The trailing newline is optional.
std::optional<Message> Decode(std::string_view line);

// Cuts a byte stream into lines; a line over kMaxLineBytes is skipped up to its newline.
class LineSplitter {
public:
    void Feed(std::string_view bytes, const std::function<void(std::string_view line)>& onLine);

private:
    std::string pending_;
    bool skipping_ = false;
};

// Where the socket lives: $MORVA_SOCKET when set (an absolute path, taken as is, so tests and
// side-by-side instances can pick their own; choosing a safe folder is then up to the caller),
// else $XDG_RUNTIME_DIR/morva-tr510.sock, or, without that variable, in
// FallbackSocketFolder("/tmp/morva-tr510-<uid>").
// Empty with a reason in `error` when no safe path can be had (also when over 107 bytes).
inline constexpr char kSocketEnv[] = "MORVA_SOCKET";
std::string SocketPath(std::string& error);
// `shared` (created 0700) when it is this user's alone, else "morva-tr510" below the user's
// cache folder ($XDG_CACHE_HOME, or ~/.cache), private too: another user who made `shared`
// first cannot leave the program without its socket. Empty with a reason when neither is.
std::string FallbackSocketFolder(const std::string& shared, std::string& error);

}  // namespace morva::ipc
