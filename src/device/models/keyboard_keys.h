// The keyboard's 126 on-screen keys: the factory code each stands for (by which the keys are
// found among the keyboard's key positions), the keys the Fn layer keeps for itself, and what
// the page calls an assignment.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/models/mouse_key_names.h"
#include "profile/key_code.h"
#include "profile/profile_records.h"

namespace morva {

inline constexpr int kKeyboardUiKeys = 126;
inline constexpr int kKeyboardKeyTableRows = 202;
inline constexpr int kFnReservedRows = 32;
// The Fn key: never reassigned on the Fn layer.
inline constexpr int kKeyboardFnKey = 110;

// Rows 0..31: the codes the Fn layer reserves; rows 32..157: UI key 0..125's factory code.
const std::array<KeyCode, kKeyboardKeyTableRows>& KeyboardKeyTable();
// The factory code of UI key `key` (0..125); a key outside gives {}.
KeyCode KeyboardFactoryCode(int key);
// The UI key whose factory code is `code`, -1 when none (how a typed key finds its cap).
int KeyboardUiKeyOfCode(KeyCode code);
// The UI keys the Fn layer reserves (each reserved row's first match among rows 32..201).
const std::vector<int>& FnReservedUiKeys();

// The factory key list: every key's three parts hold its factory code.
std::vector<KeyListEntry> FactoryKeyboardKeyList();
// A list of 126 entries: missing entries are the factory ones (a short imported list).
std::vector<KeyListEntry> CompleteKeyboardKeyList(std::vector<KeyListEntry> keys);

// The name of a keyboard assignment; none for the kinds whose label the page leaves as it is.
std::optional<KeyLabel> KeyboardAssignmentLabel(KeyCode code,
                                                std::span<const std::string> macroNames);

}  // namespace morva
