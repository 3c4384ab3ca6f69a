// What the mouse page calls a button and what it calls the assignment a button carries: the
// language keys to translate (or plain text such as a macro's own name), joined with "+".
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/models/mouse_device.h"
#include "profile/key_code.h"

namespace morva {

struct KeyLabelPart {
    std::string text;      // a language key, or the text itself when `plain`
    std::string fallback;  // shown when the language has no text for the key
    bool plain = false;
};
using KeyLabel = std::vector<KeyLabelPart>;

// The name of an assignment; none when the page lists no item for it. macroNames are the
// device's macro list in index order.
std::optional<KeyLabel> MouseAssignmentLabel(KeyCode code, std::span<const std::string> macroNames);

// The name of on-screen button `button` (0..10).
const KeyLabelPart& MouseButtonName(int button);

}  // namespace morva
