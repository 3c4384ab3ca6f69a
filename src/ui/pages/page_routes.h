// The router entries of the device pages and their panels. Each entry only forwards the
// notification to a handler of the device on screen; the handlers live on the page and its
// panels. The main window adds these tables to its router in its own order.
#pragma once

#include <functional>

#include "ui/toolkit/control.h"
#include "ui/toolkit/notify_router.h"

namespace morva::ui {

class CDevicePageUI;

using PageRouter = CNotifyRouter<TNotifyUI>;
// The page of the device on screen, or null.
using CurrentPage = std::function<CDevicePageUI*()>;

// Profile panel and function tabs, of whichever device is current.
void AddProfileRoutes(PageRouter& router, const CurrentPage& current);
// The mouse page's own controls: DPI stages, report rate, pointer values, its tabs.
void AddMousePageRoutes(PageRouter& router, const CurrentPage& current);
// The keyboard page's own controls: polling rate, repeat, flags, debounce, the Fn layer.
void AddKeyboardPageRoutes(PageRouter& router, const CurrentPage& current);
// Lighting panel, of whichever device is current.
void AddLightRoutes(PageRouter& router, const CurrentPage& current);
// Key cells and the key assignment panel, of whichever device is current.
void AddKeySetRoutes(PageRouter& router, const CurrentPage& current);
// The macro panel of the keyboard or mouse on screen; recording itself is the window's.
void AddMacroRoutes(PageRouter& router, const CurrentPage& current);
// The mouse's recoil pattern panel.
void AddShootRoutes(PageRouter& router, const CurrentPage& current);
// The headset's sound panels: microphone, monitor, equaliser and voice changer.
void AddHeadsetRoutes(PageRouter& router, const CurrentPage& current);

}  // namespace morva::ui
