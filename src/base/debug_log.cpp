#include "base/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace morva {

namespace {

std::mutex& SinkMutex() {
    static std::mutex m;
    return m;
}

std::function<void(std::string_view)>& Sink() {
    static std::function<void(std::string_view)> sink;
    return sink;
}

bool EnvEnabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("MORVA_DEBUG");
        return v != nullptr && std::strcmp(v, "0") != 0 && *v != '\0';
    }();
    return enabled;
}

}  // namespace

bool DebugLogEnabled() {
    std::lock_guard lock(SinkMutex());
    return Sink() || EnvEnabled();
}

void DebugLog(const char* format, ...) {
    std::lock_guard lock(SinkMutex());
    if (!Sink() && !EnvEnabled())
        return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (Sink()) {
        Sink()(buffer);
    } else {
        std::fputs(buffer, stderr);
    }
}

void SetDebugSink(std::function<void(std::string_view)> sink) {
    std::lock_guard lock(SinkMutex());
    Sink() = std::move(sink);
}

}  // namespace morva
