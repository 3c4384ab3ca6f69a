// Where the program's own files are. An installed tree is found relative to the running
// executable, so a tree installed under DESTDIR or another prefix uses its own copy; only a
// binary inside the build tree falls back to the source tree's res/ and the build tree's
// helper, so an installed binary never reads a source checkout that happens to be there.
#pragma once

#include <string>

namespace morva {

// The folder of the running executable (from /proc/self/exe); empty when it cannot be read.
std::string ExecutableFolder();

// The folder holding skin/ and DefaultData/: $MORVA_RES_DIR; else the installed data
// (<bindir>/../share/morva-tr510) when it holds skin/res.xml; else the source tree's res/
// for a binary in the build tree; else the installed path, so errors name where it belongs.
std::string ResourceFolder();

// morva-audio-capture: $MORVA_CAPTURE_HELPER; else the installed one
// (<bindir>/../libexec/morva-tr510/); else one beside the executable; else the build tree's
// for a binary in the build tree; else the configured installed path.
std::string CaptureHelperPath();

}  // namespace morva
