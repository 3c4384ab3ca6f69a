// Answers the program's message boxes while a test runs: keeps each box's text and closes it
// with the next of `queue`, else with `confirm`.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <vector>

#include "app/msg_wnd.h"

namespace morva::test {

class BoxAnswers {
public:
    BoxAnswers() {
        timer_.callOnTimeout([this] { Answer(); });
        timer_.start(20);
    }

    QStringList texts;
    bool confirm = true;
    std::vector<bool> queue;

private:
    void Answer() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<app::CMsgWnd*>(w);
            if (box == nullptr || !box->isVisible())
                continue;
            if (ui::CControlUI* text = box->FindControl(QStringLiteral("MessageText")))
                texts << text->GetText();
            bool yes = confirm;
            if (!queue.empty()) {
                yes = queue.front();
                queue.erase(queue.begin());
            }
            box->Close(yes ? app::CMsgWnd::kResultConfirm : app::CMsgWnd::kResultCancel);
        }
    }

    QTimer timer_;
};

}  // namespace morva::test
