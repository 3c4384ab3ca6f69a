// Runs a call once a widget has painted its first frame, queued so the frame reaches the
// screen before the call begins.
#pragma once

#include <QObject>
#include <QWidget>

#include <functional>

namespace morva::app {

class CFirstPaintHook : public QObject {
public:
    CFirstPaintHook(QWidget& widget, std::function<void()> then);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& widget_;
    std::function<void()> then_;
};

}  // namespace morva::app
