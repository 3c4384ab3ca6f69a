// What the morvactl commands share: exit statuses, text helpers, opening a command link and
// finding the program's resource folder.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>

#include "device/hid/hid_backend.h"
#include "device/links/product_links.h"
#include "device/models/op_result.h"

namespace morva {
class CTessaronUSBDevice;
}

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

// The folder holding DefaultData/: $MORVA_RES_DIR, else ../share/morva-tr510 beside the
// executable when installed there, else the source tree's res/.
std::string ResourceFolder();

}  // namespace morva::cli
