// Controls that hold and place other controls: Container, VerticalLayout, HorizontalLayout
// and TabLayout.
#pragma once

#include <QPointer>
#include <QStackedWidget>
#include <QWidget>

#include <vector>

#include "ui/toolkit/control.h"

namespace morva::ui {

// Places its children itself (no QLayout), the way the layouts describe it:
// - Stack (Container): every child fills the inner area (less its padding);
// - Vertical / Horizontal: children one after the other, `childpadding` between them;
//   children with a fixed height (width) get it, the others share what is left equally;
//   across the flow a child fills the area unless it has a fixed size (then it keeps to the
//   top/left);
// - float children are placed at `pos` relative to the container, outside the flow;
// - hidden children take no space.
// The inner area is the container's rectangle less `inset`. All values are layout units.
class CContainerUI : public QWidget, public CControlUI, public IContainerUI {
public:
    enum class Arrange { Stack, Vertical, Horizontal };

    explicit CContainerUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ContainerUI"); }

    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(const CControlUI* control) const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool doNotDestroy = false) override;
    bool RemoveAt(int index, bool doNotDestroy = false) override;
    void RemoveAll() override;

    QMargins GetInset() const { return inset_; }
    void SetInset(const QMargins& inset);
    int GetChildPadding() const { return childPadding_; }
    void SetChildPadding(int padding);

    void SetAttribute(const QString& name, const QString& value) override;
    void ApplyScale() override;
    // Runs by itself on resize and when a child changes size or visibility.
    void Relayout();

protected:
    CContainerUI(Arrange arrange, QWidget* parent);
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    struct Item {
        CControlUI* control;
        QPointer<QWidget> widget;
    };

    Arrange arrange_;
    std::vector<Item> items_;
    QMargins inset_;
    int childPadding_ = 0;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    explicit CVerticalLayoutUI(QWidget* parent = nullptr)
        : CContainerUI(Arrange::Vertical, parent) {}
    QString GetClass() const override { return QStringLiteral("VerticalLayoutUI"); }
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    explicit CHorizontalLayoutUI(QWidget* parent = nullptr)
        : CContainerUI(Arrange::Horizontal, parent) {}
    QString GetClass() const override { return QStringLiteral("HorizontalLayoutUI"); }
};

// One child page shown at a time, filling the area less `inset`. Selecting is silent.
class CTabLayoutUI : public QStackedWidget, public CControlUI, public IContainerUI {
public:
    explicit CTabLayoutUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("TabLayoutUI"); }

    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(const CControlUI* control) const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool doNotDestroy = false) override;
    bool RemoveAt(int index, bool doNotDestroy = false) override;
    void RemoveAll() override;

    // -1 when there is no page.
    int GetCurSel() const { return currentIndex(); }
    bool SelectItem(int index);
    bool SelectItem(const CControlUI* page);

    void SetAttribute(const QString& name, const QString& value) override;
    void ApplyScale() override;

private:
    QMargins inset_;
    // `selectedid` is read before the pages exist.
    int pendingSelect_ = -1;
};

}  // namespace morva::ui
