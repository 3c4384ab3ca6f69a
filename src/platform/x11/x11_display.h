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

// While one lives, BadWindow errors on `display` are dropped instead of reaching the process's
// error handler (Xlib's default one ends the process): another client's window can be
// destroyed between our requests about it. Other errors, and other connections' errors, go
// where they went before. Its end waits for the server's answers to the requests made inside.
class CIgnoreBadWindow {
public:
    explicit CIgnoreBadWindow(_XDisplay* display);
    ~CIgnoreBadWindow();
    CIgnoreBadWindow(const CIgnoreBadWindow&) = delete;
    CIgnoreBadWindow& operator=(const CIgnoreBadWindow&) = delete;

private:
    _XDisplay* display_;
};

}  // namespace morva::x11
