// What a use-case operation of a device model (a change the user makes, from the page or
// from morvactl) came to: the result code and the language key of what the user is told.
#pragma once

#include <string>

#include "device/protocol/command_report.h"

namespace morva {

// The change was refused before anything was written (out of range, not allowed).
inline constexpr int kResultRefused = -302;
// The device has the change but the profile file could not be written.
inline constexpr int kResultNotSaved = -303;

struct [[nodiscard]] OpResult {
    int code = kResultOk;
    std::string messageKey;   // empty when there is nothing to tell
    int detail = 0;           // the number the message names ("%d"), when it has one
    std::string reason = {};  // the system's words for a failed write, when there are any

    bool Ok() const { return code == kResultOk; }

    static OpResult Done() { return {}; }
    static OpResult Refused(std::string key, int detail = 0) {
        return {kResultRefused, std::move(key), detail};
    }
};

// Language keys of the operations' messages.
inline constexpr char kMsgDeviceWriteFailed[] = "message_text_7";
inline constexpr char kMsgProfileNotSaved[] = "profile_file_error";
inline constexpr char kMsgMacrosTooLarge[] = "message_text_16";
inline constexpr char kMsgLastLeftButton[] = "message_text_6";
inline constexpr char kMsgValueOutOfRange[] = "op_value_out_of_range";
inline constexpr char kMsgStageIsActive[] = "op_stage_is_active";
inline constexpr char kMsgLastStageOn[] = "op_last_stage_on";
inline constexpr char kMsgStageIsOff[] = "op_stage_is_off";
inline constexpr char kMsgUnknownLightMode[] = "op_unknown_light_mode";
inline constexpr char kMsgButtonWithoutKey[] = "op_button_without_key";
inline constexpr char kMsgUnknownMacro[] = "op_unknown_macro";
inline constexpr char kMsgNotSupported[] = "op_not_supported";
inline constexpr char kMsgKeyKeptByKeyboard[] = "op_key_kept_by_keyboard";
inline constexpr char kMsgNameTaken[] = "message_text_5";
inline constexpr char kMsgMacroLimit[] = "macro_msg_limit";
inline constexpr char kMsgMacroFileError[] = "macro_msg_file_error";
inline constexpr char kMsgMacroUnreadable[] = "macro_msg_unreadable";
// Keys bound to macros the device could not take were given their factory function.
inline constexpr char kMsgMacroKeysReset[] = "op_macro_keys_reset";
// A recoil pattern file to copy from is missing, unreadable or not a pattern document.
inline constexpr char kMsgShootFileUnreadable[] = "op_shoot_file_unreadable";
inline constexpr char kMsgShootImageTooLarge[] = "op_shoot_image_too_large";
// The headset's audio device lacks the control, or the audio back end is not working.
inline constexpr char kMsgSoundUnavailable[] = "op_sound_unavailable";
inline constexpr char kMsgSoundWriteFailed[] = "op_sound_write_failed";

}  // namespace morva
