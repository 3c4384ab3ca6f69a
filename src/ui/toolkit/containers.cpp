#include "ui/toolkit/containers.h"

#include <QChildEvent>

#include <algorithm>

#include "ui/toolkit/paint_manager.h"

namespace morva::ui {

namespace {

QMargins Scaled(const QMargins& m) {
    return {CPaintManagerUI::Scale(m.left()), CPaintManagerUI::Scale(m.top()),
            CPaintManagerUI::Scale(m.right()), CPaintManagerUI::Scale(m.bottom())};
}

// Joined a window already: fonts, texts and DoInit now. Otherwise the builder or a later Add
// does it.
void InitIfAttached(CControlUI* control) {
    if (CPaintManagerUI* pm = control->GetManager()) {
        pm->InitControls(control);
    }
}

}  // namespace

CContainerUI::CContainerUI(QWidget* parent) : CContainerUI(Arrange::Stack, parent) {}

CContainerUI::CContainerUI(Arrange arrange, QWidget* parent)
    : QWidget(parent), CControlUI(this), arrange_(arrange) {}

int CContainerUI::GetCount() const {
    return static_cast<int>(items_.size());
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) {
        return nullptr;
    }
    return items_[static_cast<size_t>(index)].control;
}

int CContainerUI::GetItemIndex(const CControlUI* control) const {
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [&](const Item& item) { return item.control == control; });
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

bool CContainerUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr || control == this || GetItemIndex(control) >= 0) {
        return false;
    }
    index = std::clamp(index, 0, GetCount());
    QWidget* widget = control->GetWidget();
    if (widget->parentWidget() != this) {
        widget->setParent(this);
    }
    widget->setVisible(control->IsVisible());
    items_.insert(items_.begin() + index, Item{control, widget});
    InitIfAttached(control);
    Relayout();
    return true;
}

bool CContainerUI::Remove(CControlUI* control, bool doNotDestroy) {
    return RemoveAt(GetItemIndex(control), doNotDestroy);
}

bool CContainerUI::RemoveAt(int index, bool doNotDestroy) {
    CControlUI* control = GetItemAt(index);
    if (control == nullptr) {
        return false;
    }
    items_.erase(items_.begin() + index);
    control->Detach(doNotDestroy);
    Relayout();
    return true;
}

void CContainerUI::RemoveAll() {
    const std::vector<Item> items = std::move(items_);
    items_.clear();
    for (const Item& item : items) {
        if (item.widget) {
            item.control->Detach(false);
        }
    }
}

void CContainerUI::SetInset(const QMargins& inset) {
    inset_ = inset;
    Relayout();
}

void CContainerUI::SetChildPadding(int padding) {
    childPadding_ = std::max(0, padding);
    Relayout();
}

void CContainerUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"inset") {
        SetInset(attr::ParseMargins(value));
    } else if (n == u"childpadding") {
        SetChildPadding(attr::ParseInt(value));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CContainerUI::ApplyScale() {
    CControlUI::ApplyScale();
    Relayout();
}

void CContainerUI::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
}

void CContainerUI::childEvent(QChildEvent* event) {
    // A child deleted or moved elsewhere behind our back leaves the item list.
    if (event->type() == QEvent::ChildRemoved) {
        const QObject* child = event->child();
        const auto before = items_.size();
        std::erase_if(items_, [&](const Item& item) {
            return static_cast<const QObject*>(item.widget.data()) == child || !item.widget;
        });
        if (items_.size() != before) {
            Relayout();
        }
    }
    QWidget::childEvent(event);
}

void CContainerUI::Relayout() {
    const QRect area = rect().marginsRemoved(Scaled(inset_));
    std::vector<CControlUI*> flow;
    for (const Item& item : items_) {
        CControlUI* c = item.control;
        if (!item.widget || !c->IsVisible()) {
            continue;
        }
        if (c->IsFloat()) {
            const LayoutRect p = c->GetFloatPos();
            const int w = c->GetFixedWidth() > 0 ? c->GetFixedWidth() : p.right - p.left;
            const int h = c->GetFixedHeight() > 0 ? c->GetFixedHeight() : p.bottom - p.top;
            item.widget->setGeometry(CPaintManagerUI::Scale(p.left), CPaintManagerUI::Scale(p.top),
                                     std::max(0, CPaintManagerUI::Scale(w)),
                                     std::max(0, CPaintManagerUI::Scale(h)));
            continue;
        }
        flow.push_back(c);
    }
    if (flow.empty()) {
        return;
    }

    if (arrange_ == Arrange::Stack) {
        for (CControlUI* c : flow) {
            const QRect r = area.marginsRemoved(Scaled(c->GetPadding()));
            const int w =
                c->GetFixedWidth() > 0 ? CPaintManagerUI::Scale(c->GetFixedWidth()) : r.width();
            const int h =
                c->GetFixedHeight() > 0 ? CPaintManagerUI::Scale(c->GetFixedHeight()) : r.height();
            c->GetWidget()->setGeometry(r.x(), r.y(), std::max(0, w), std::max(0, h));
        }
        return;
    }

    // Written for the vertical flow; the horizontal one swaps the axes.
    const bool vertical = arrange_ == Arrange::Vertical;
    const int gap = CPaintManagerUI::Scale(childPadding_);
    const int along = vertical ? area.height() : area.width();
    const int across = vertical ? area.width() : area.height();
    auto fixedAlong = [&](const CControlUI* c) {
        return vertical ? c->GetFixedHeight() : c->GetFixedWidth();
    };
    auto fixedAcross = [&](const CControlUI* c) {
        return vertical ? c->GetFixedWidth() : c->GetFixedHeight();
    };

    int used = gap * static_cast<int>(flow.size() - 1);
    int autoCount = 0;
    for (const CControlUI* c : flow) {
        const QMargins pad = Scaled(c->GetPadding());
        used += vertical ? pad.top() + pad.bottom() : pad.left() + pad.right();
        if (fixedAlong(c) > 0) {
            used += CPaintManagerUI::Scale(fixedAlong(c));
        } else {
            ++autoCount;
        }
    }
    const int rest = std::max(0, along - used);
    int pos = vertical ? area.top() : area.left();
    int autoSeen = 0;
    int autoGiven = 0;
    for (CControlUI* c : flow) {
        const QMargins pad = Scaled(c->GetPadding());
        pos += vertical ? pad.top() : pad.left();
        int length = 0;
        if (fixedAlong(c) > 0) {
            length = CPaintManagerUI::Scale(fixedAlong(c));
        } else {
            // The last automatic child takes the rounding remainder.
            ++autoSeen;
            length = autoSeen == autoCount ? rest - autoGiven : rest / autoCount;
            autoGiven += length;
        }
        const int padAcross = vertical ? pad.left() + pad.right() : pad.top() + pad.bottom();
        const int width = fixedAcross(c) > 0 ? CPaintManagerUI::Scale(fixedAcross(c))
                                             : std::max(0, across - padAcross);
        if (vertical) {
            c->GetWidget()->setGeometry(area.left() + pad.left(), pos, width, length);
        } else {
            c->GetWidget()->setGeometry(pos, area.top() + pad.top(), length, width);
        }
        pos += length + (vertical ? pad.bottom() : pad.right()) + gap;
    }
}

CTabLayoutUI::CTabLayoutUI(QWidget* parent) : QStackedWidget(parent), CControlUI(this) {}

int CTabLayoutUI::GetCount() const {
    return count();
}

CControlUI* CTabLayoutUI::GetItemAt(int index) const {
    return dynamic_cast<CControlUI*>(widget(index));
}

int CTabLayoutUI::GetItemIndex(const CControlUI* control) const {
    return control != nullptr ? indexOf(control->GetWidget()) : -1;
}

bool CTabLayoutUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr || GetItemIndex(control) >= 0) {
        return false;
    }
    const int at = insertWidget(std::clamp(index, 0, GetCount()), control->GetWidget());
    if (at == pendingSelect_) {
        setCurrentIndex(at);
    }
    InitIfAttached(control);
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control, bool doNotDestroy) {
    return RemoveAt(GetItemIndex(control), doNotDestroy);
}

bool CTabLayoutUI::RemoveAt(int index, bool doNotDestroy) {
    CControlUI* control = GetItemAt(index);
    if (control == nullptr) {
        return false;
    }
    removeWidget(control->GetWidget());
    control->Detach(doNotDestroy);
    return true;
}

void CTabLayoutUI::RemoveAll() {
    while (GetCount() > 0) {
        RemoveAt(GetCount() - 1);
    }
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) {
        return false;
    }
    setCurrentIndex(index);
    return true;
}

bool CTabLayoutUI::SelectItem(const CControlUI* page) {
    return SelectItem(GetItemIndex(page));
}

void CTabLayoutUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"selectedid") {
        pendingSelect_ = attr::ParseInt(value, -1);
        SelectItem(pendingSelect_);
    } else if (n == u"inset") {
        inset_ = attr::ParseMargins(value);
        setContentsMargins(Scaled(inset_));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CTabLayoutUI::ApplyScale() {
    CControlUI::ApplyScale();
    setContentsMargins(Scaled(inset_));
}

}  // namespace morva::ui
