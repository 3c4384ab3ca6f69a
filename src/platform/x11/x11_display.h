// An owned Xlib connection. Xlib itself is not included: its macros (None, Bool,
// KeyPress...) must not reach the files of the app that include this layer's headers.
#pragma once

#include <memory>
#include <string>

struct _XDisplay;  // Xlib's Display

namespace morva::x11 {

struct DisplayCloser {
    void operator()(_XDisplay* display) const;
};
using DisplayPtr = std::unique_ptr<_XDisplay, DisplayCloser>;

// Empty name: $DISPLAY. Null when no server answers. A server that goes away makes the
// connection's calls fail instead of ending the process, as Xlib would by default.
DisplayPtr OpenDisplay(const std::string& name);
// The server of one of our connections went away (as far as Xlib has noticed).
bool IsLost(_XDisplay* display);

}  // namespace morva::x11
