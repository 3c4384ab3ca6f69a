// Keys typed anywhere in the program's windows, as UI keys of the drawn keyboard, for the
// light modes that react to key presses.
#pragma once

#include <QObject>

#include <functional>

namespace morva::ui {

class CWindowKeyFeed : public QObject {
public:
    // `react` gets the UI key and 1 (pressed) or 2 (released).
    using React = std::function<void(int key, int action)>;
    CWindowKeyFeed(QObject* parent, React react);
    ~CWindowKeyFeed() override;

    // The UI key of an X keycode, -1 when the drawn keyboard has none.
    static int UiKeyOfX11Keycode(int keycode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    React react_;
};

}  // namespace morva::ui
