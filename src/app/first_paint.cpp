#include "app/first_paint.h"

#include <QEvent>
#include <QTimer>

namespace morva::app {

CFirstPaintHook::CFirstPaintHook(QWidget& widget, std::function<void()> then)
    : widget_(widget), then_(std::move(then)) {
    widget_.installEventFilter(this);
}

bool CFirstPaintHook::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &widget_ && event->type() == QEvent::Paint) {
        widget_.removeEventFilter(this);
        // A call that dies with the hook: nothing runs on a window already gone.
        QTimer::singleShot(0, this, [this] { then_(); });
    }
    return false;
}

}  // namespace morva::app
