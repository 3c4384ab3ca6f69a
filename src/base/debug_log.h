// Diagnostics sink: silent unless MORVA_DEBUG=1 (then stderr), or a test installs its own.
// Nothing may depend on what is written here.
#pragma once

#include <functional>
#include <string_view>

namespace morva {

bool DebugLogEnabled();
// printf-style; a line break is not added.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Replaces the sink (an empty function restores the default); returns nothing, thread-safe.
void SetDebugSink(std::function<void(std::string_view)> sink);

}  // namespace morva
