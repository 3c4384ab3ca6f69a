// List: a scrolling column of elements with one selected element.
#pragma once

#include <QScrollArea>

#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"

namespace morva::ui {

class CListUI;

// What an element of a list offers. Elements find their list by walking up.
class IListItemUI {
public:
    virtual CListUI* GetOwner() const = 0;
    // -1 while not in a list.
    virtual int GetIndex() const = 0;
    virtual bool IsSelected() const = 0;
    virtual bool Select(bool select = true, bool notify = true) = 0;

protected:
    ~IListItemUI() = default;
};

// Elements are stacked top to bottom, each `height` high (else the list's `itemheight`),
// across the whole width. A press on an element selects it ("itemselect" from the list,
// wParam = new index, lParam = old), the release sends "itemclick" and a double click or
// Enter "itemactivate" (both from the element). Up/Down/Home/End move the selection.
class CListUI : public QScrollArea, public CControlUI, public IContainerUI {
public:
    explicit CListUI(QWidget* parent = nullptr);
    ~CListUI() override;
    QString GetClass() const override { return QStringLiteral("ListUI"); }

    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(const CControlUI* control) const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool doNotDestroy = false) override;
    bool RemoveAt(int index, bool doNotDestroy = false) override;
    void RemoveAll() override;

    // -1 when nothing is selected.
    int GetCurSel() const { return curSel_; }
    // index -1 clears the selection; an index out of range changes nothing and gives false.
    bool SelectItem(int index, bool takeFocus = false, bool notify = true);
    int GetItemHeight() const { return itemHeight_; }

    void SetAttribute(const QString& name, const QString& value) override;
    void ApplyScale() override;
    void UpdateItemHeights();

    // Called by the elements.
    void ElementPressed(CControlUI* element);
    void ElementReleased(CControlUI* element);
    void ElementActivated(CControlUI* element);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowSelection(int index, bool selected);

    QWidget* body_;
    std::vector<CControlUI*> items_;
    int curSel_ = -1;
    int itemHeight_ = 28;
};

// The element state shared by both element classes.
class CListElementBase : public IListItemUI {
public:
    CListUI* GetOwner() const override;
    int GetIndex() const override;
    bool IsSelected() const override;
    bool Select(bool select = true, bool notify = true) override;
    // A `selected` attribute read before the element was in a list.
    bool TakePendingSelect();

protected:
    explicit CListElementBase(CControlUI* self) : self_(self) {}
    ~CListElementBase() = default;
    bool SetElementAttribute(const QString& name, const QString& value);
    void HandleMouse(QEvent* event);

private:
    CControlUI* self_;
    bool pendingSelect_ = false;
};

class CListLabelElementUI : public CLabelUI, public CListElementBase {
public:
    explicit CListLabelElementUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ListLabelElementUI"); }
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    bool event(QEvent* event) override;
};

// Lays its children out in a row, like a HorizontalLayout.
class CListContainerElementUI : public CHorizontalLayoutUI, public CListElementBase {
public:
    explicit CListContainerElementUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ListContainerElementUI"); }
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    bool event(QEvent* event) override;
};

}  // namespace morva::ui
