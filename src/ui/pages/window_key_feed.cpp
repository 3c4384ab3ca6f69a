#include "ui/pages/window_key_feed.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "device/key_codes.h"
#include "device/models/keyboard_keys.h"

namespace morva::ui {

CWindowKeyFeed::CWindowKeyFeed(QObject* parent, React react)
    : QObject(parent), react_(std::move(react)) {
    QCoreApplication::instance()->installEventFilter(this);
}

CWindowKeyFeed::~CWindowKeyFeed() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

int CWindowKeyFeed::UiKeyOfX11Keycode(int keycode) {
    const auto scan = ScanCodeOfX11Keycode(keycode);
    if (!scan)
        return -1;
    const int row = FindKeyNameRowByScanCode(scan->first, scan->second);
    return row < 0 ? -1 : KeyboardUiKeyOfCode(KeyNameTable()[static_cast<std::size_t>(row)].code);
}

bool CWindowKeyFeed::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // A key event reaches its window once, then each widget it propagates through: take it
    // at the window only.
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWindowType()) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (!key->isAutoRepeat()) {
            const int ui = UiKeyOfX11Keycode(static_cast<int>(key->nativeScanCode()));
            if (ui >= 0)
                react_(ui, type == QEvent::KeyPress ? 1 : 2);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace morva::ui
