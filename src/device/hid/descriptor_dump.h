// Core of the "descriptor" subcommand: what a report descriptor file (e.g. a copy of
// /sys/class/hidraw/hidrawN/device/report_descriptor) holds, one line per top-level
// collection.
#pragma once

#include <ostream>
#include <string>

namespace morva::hid {

// Prints, in descriptor order,
//   collection N usage_page=0xPPPP usage=0xUUUU report_ids=1,2 input=I output=O feature=F
// (N from 1, report_ids=none without report ids, lengths as TopLevelCollection gives them)
// and returns 0. An unreadable file or a malformed descriptor: one line to `err`, returns 1.
int DumpDescriptorFile(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace morva::hid
