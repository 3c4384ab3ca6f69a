// A list row built from its own layout: two texts and a delay entry.
#pragma once

#include "ui/toolkit/controls.h"
#include "ui/toolkit/list.h"

namespace morva::ui {

// Press: selects the row (Ctrl+press toggles it); release over it: "itemclick"; double
// click: "itemactivate"; Return while it has focus: "itemactivate", then "return".
class CComboEditContainerElementUI : public CListContainerElementUI {
public:
    static constexpr char kItemLayout[] = "XML/CustomControlXML/ComboEditElementItem.xml";

    explicit CComboEditContainerElementUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ComboEditContainerElement"); }

    // Replaces the children with the row layout and finds its parts in this row.
    void DoInit() override;
    CControlUI* GetText1() const { return text1_; }
    CControlUI* GetText2() const { return text2_; }
    CControlUI* GetDelayEdit() const { return delayEdit_; }

    // "itemactivate" when the row is enabled and visible; false otherwise.
    bool Activate();
    bool IsHot() const { return hot_; }

    // The row's pictures come from the list, so its own state images are ignored; everything
    // else is read as by a plain container.
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Press(const QMouseEvent& event);

    CControlUI* text1_ = nullptr;
    CControlUI* text2_ = nullptr;
    CControlUI* delayEdit_ = nullptr;
    bool hot_ = false;
};

}  // namespace morva::ui
