// What the morvactl commands share: exit statuses, text helpers and opening a command link.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "device/hid/hid_backend.h"
#include "device/links/product_links.h"
#include "device/models/op_result.h"
#include "profile/profile_records.h"

namespace morva {
class CTessaronUSBDevice;
}

namespace morva::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Brightness and speed steps of the lighting panel: 0 to this.
inline constexpr int kLightLevelMax = 4;

// A decimal number within [min, max] into `value`; false (value untouched) otherwise.
bool ParseNumber(const std::string& text, int min, int max, int& value);
// Exactly six hex digits into three bytes.
bool ParseThreeBytes(const std::string& text, std::array<std::uint8_t, 3>& bytes);

// `light MODE [--brightness B] [--speed S] [--direction D] [--color RRGGBB] [--multicolor]`
// of the mouse and the keyboard alike; which modes a device offers its model decides.
struct LightRequest {
    int mode = 0;  // the lighting panel's mode; past the presets a custom effect
    std::optional<int> brightness, speed, direction;
    std::optional<std::array<std::uint8_t, 3>> colour;
    bool multicolour = false;
};

// `words` from "light" on; false with a one-line reason naming `family` in `error`.
bool ParseLightRequest(const std::vector<std::string>& words, const std::string& family,
                       LightRequest& request, std::string& error);
// `light` (the profile's) with what the request names changed.
LightInfo AppliedLight(LightInfo light, const LightRequest& request);

// Lowercase hex bytes separated by spaces.
std::string Hex(const std::uint8_t* bytes, std::size_t n);
// One line for a command result code (command_report.h).
std::string ResultText(int result);

// Opens the first present of `rows` (supported-interface command rows, preferred first) as
// the product's cable or receiver. kExitOk, else kExitFailed after one line per reason on
// `err`; `name` is the device as the user named it.
int OpenCommandLink(hid::IHidBackend& backend, std::initializer_list<int> rows,
                    const std::string& name, CProductLinks& links, std::ostream& err);

// The rows of a product's cable and receiver command interfaces (-1: none).
struct ProductRows {
    int typeRow = -1;
    int cableRow = -1;
    int receiverRow = -1;
};
ProductRows RowsOf(std::uint16_t deviceType);

// Sets `model` up as the program's device page does (data folders, type row, slot record)
// and opens its cable, else its receiver. kExitOk, else kExitFailed after one line per
// reason on `err`.
int OpenModel(CTessaronUSBDevice& model, std::uint16_t deviceType, const std::string& name,
              hid::IHidBackend& backend, const std::string& dataDir,
              const std::string& resourceFolder, std::ostream& err);

// The words for what the device families' operations share (out of range, macros, the
// profile file); empty for a message that is the family's own.
std::string ExplainShared(const OpResult& result, const CTessaronUSBDevice& model,
                          const std::string& name);

// Writes the macros the keys use: "macros N image B of C bytes" on `out`, else the reason
// in `problem` (with the image size when it does not fit). kExitOk or kExitFailed.
int WriteUsedMacros(CTessaronUSBDevice& model, const std::string& name, std::ostream& out,
                    std::string& problem);

}  // namespace morva::cli
