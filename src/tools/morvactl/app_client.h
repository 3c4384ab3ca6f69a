// One question to the running program over its local socket, answered by one line.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "base/ipc_protocol.h"

namespace morva::cli {

inline constexpr std::chrono::milliseconds kAppReplyTimeout{2000};

// Sends `request` and waits for the first message named `reply`. The program broadcasts
// notices to every client, so lines with other names are skipped. Nothing, with a one-line
// reason in `error`, when the program cannot be reached, hangs up or stays silent for
// `timeout`.
std::optional<ipc::Message> AskApp(const std::string& socketPath, const ipc::Message& request,
                                   std::string_view reply, std::chrono::milliseconds timeout,
                                   std::string& error);

// Sends `message` and returns once the program has handled it (it answers a status query
// sent behind it); false with a reason in `error` as AskApp.
bool SendToApp(const std::string& socketPath, const ipc::Message& message,
               std::chrono::milliseconds timeout, std::string& error);

}  // namespace morva::cli
