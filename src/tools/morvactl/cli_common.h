// What the morvactl commands share: exit statuses, text helpers, opening a command link and
// finding the program's resource folder.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>

#include "device/hid/hid_backend.h"
#include "device/links/product_links.h"

namespace morva::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Lowercase hex bytes separated by spaces.
std::string Hex(const std::uint8_t* bytes, std::size_t n);
// One line for a command result code (command_report.h).
std::string ResultText(int result);

// Opens the first present of `rows` (supported-interface command rows, preferred first) as
// the product's cable or receiver. kExitOk, else kExitFailed after one line per reason on
// `err`; `name` is the device as the user named it.
int OpenCommandLink(hid::IHidBackend& backend, std::initializer_list<int> rows,
                    const std::string& name, CProductLinks& links, std::ostream& err);

// The folder holding DefaultData/: $MORVA_RES_DIR, else ../share/morva-tr510 beside the
// executable when installed there, else the source tree's res/.
std::string ResourceFolder();

}  // namespace morva::cli
