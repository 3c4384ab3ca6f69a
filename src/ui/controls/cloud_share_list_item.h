// A list row of the shared-profile list, outlined while the mouse is over it.
#pragma once

#include "ui/toolkit/list.h"

namespace morva::ui {

// A double click or Enter sends one "itemactivate"; `menu="true"` gives "menu" with the
// click's x and y.
class CCloudShareListItemUI : public CListContainerElementUI {
public:
    explicit CCloudShareListItemUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("CloudShareListItemUI"); }

    // "itemactivate" when the item is enabled and visible; false otherwise.
    bool Activate();
    bool IsHot() const { return hot_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool hot_ = false;
};

}  // namespace morva::ui
