#include "ui/toolkit/list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

#include <algorithm>

#include "ui/toolkit/paint_manager.h"

namespace morva::ui {

CListUI::CListUI(QWidget* parent) : QScrollArea(parent), CControlUI(this), body_(new QWidget) {
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    body_->setObjectName(QStringLiteral("list_body"));
    setWidget(body_);
    body_->installEventFilter(this);
}

CListUI::~CListUI() {
    // The elements die after this part of the list; their destroyed hook must not run then.
    for (CControlUI* item : items_) {
        QObject::disconnect(item->GetWidget(), &QObject::destroyed, this, nullptr);
    }
}

int CListUI::GetCount() const {
    return static_cast<int>(items_.size());
}

CControlUI* CListUI::GetItemAt(int index) const {
    return index >= 0 && index < GetCount() ? items_[static_cast<size_t>(index)] : nullptr;
}

int CListUI::GetItemIndex(const CControlUI* control) const {
    const auto it = std::find(items_.begin(), items_.end(), control);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

bool CListUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CListUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr || GetItemIndex(control) >= 0) {
        return false;
    }
    index = std::clamp(index, 0, GetCount());
    QWidget* widget = control->GetWidget();
    widget->setParent(body_);
    widget->setVisible(control->IsVisible());
    items_.insert(items_.begin() + index, control);
    if (curSel_ >= index) {
        ++curSel_;
    }
    QObject::connect(widget, &QObject::destroyed, this, [this, control] {
        const int at = GetItemIndex(control);
        if (at >= 0) {
            items_.erase(items_.begin() + at);
            curSel_ = curSel_ == at ? -1 : (curSel_ > at ? curSel_ - 1 : curSel_);
            UpdateItemHeights();
        }
    });
    if (CPaintManagerUI* pm = control->GetManager()) {
        pm->InitControls(control);
    }
    UpdateItemHeights();
    auto* element = dynamic_cast<CListElementBase*>(control);
    if (element != nullptr && element->TakePendingSelect()) {
        SelectItem(index, false, false);
    }
    return true;
}

bool CListUI::Remove(CControlUI* control, bool doNotDestroy) {
    return RemoveAt(GetItemIndex(control), doNotDestroy);
}

bool CListUI::RemoveAt(int index, bool doNotDestroy) {
    CControlUI* control = GetItemAt(index);
    if (control == nullptr) {
        return false;
    }
    items_.erase(items_.begin() + index);
    QObject::disconnect(control->GetWidget(), &QObject::destroyed, this, nullptr);
    if (curSel_ == index) {
        curSel_ = -1;
    } else if (curSel_ > index) {
        --curSel_;
    }
    ShowSelection(index, false);
    control->Detach(doNotDestroy);
    UpdateItemHeights();
    return true;
}

void CListUI::RemoveAll() {
    while (GetCount() > 0) {
        RemoveAt(GetCount() - 1);
    }
}

bool CListUI::SelectItem(int index, bool takeFocus, bool notify) {
    if (index < -1 || index >= GetCount()) {
        return false;
    }
    const int old = curSel_;
    if (index != old) {
        ShowSelection(old, false);
        curSel_ = index;
        ShowSelection(index, true);
        if (CControlUI* item = GetItemAt(index)) {
            ensureWidgetVisible(item->GetWidget(), 0, 0);
        }
    }
    if (takeFocus) {
        setFocus(Qt::OtherFocusReason);
    }
    if (notify && index != old) {
        SendNotify(kNotifyItemSelect, index, old);
    }
    return true;
}

void CListUI::ShowSelection(int index, bool selected) {
    CControlUI* item = GetItemAt(index);
    if (item == nullptr) {
        return;
    }
    // The theme styles [selected="true"]; a dynamic property needs a fresh polish.
    QWidget* w = item->GetWidget();
    w->setProperty("selected", selected);
    w->style()->unpolish(w);
    w->style()->polish(w);
    w->update();
}

void CListUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(u"itemheight", Qt::CaseInsensitive) == 0) {
        itemHeight_ = std::max(1, attr::ParseInt(value, itemHeight_));
        UpdateItemHeights();
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CListUI::ApplyScale() {
    CControlUI::ApplyScale();
    UpdateItemHeights();
}

void CListUI::UpdateItemHeights() {
    int y = 0;
    const int width = body_->width();
    for (CControlUI* item : items_) {
        if (!item->IsVisible()) {
            continue;
        }
        const int h = CPaintManagerUI::Scale(item->GetFixedHeight() > 0 ? item->GetFixedHeight()
                                                                        : itemHeight_);
        item->GetWidget()->setGeometry(0, y, width, h);
        y += h;
    }
    body_->setMinimumHeight(y);
}

bool CListUI::eventFilter(QObject* watched, QEvent* event) {
    const bool handled = QScrollArea::eventFilter(watched, event);
    if (watched == body_ && event->type() == QEvent::Resize) {
        UpdateItemHeights();
    }
    return handled;
}

void CListUI::keyPressEvent(QKeyEvent* event) {
    int target = curSel_;
    switch (event->key()) {
        case Qt::Key_Up:
            target = std::max(0, curSel_ - 1);
            break;
        case Qt::Key_Down:
            target = std::min(GetCount() - 1, curSel_ + 1);
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = GetCount() - 1;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (CControlUI* item = GetItemAt(curSel_)) {
                ElementActivated(item);
            }
            return;
        default:
            QScrollArea::keyPressEvent(event);
            return;
    }
    if (GetCount() > 0) {
        SelectItem(target, false, true);
    }
}

void CListUI::ElementPressed(CControlUI* element) {
    const int index = GetItemIndex(element);
    if (index >= 0) {
        setFocus(Qt::MouseFocusReason);
        SelectItem(index, false, true);
    }
}

void CListUI::ElementReleased(CControlUI* element) {
    element->SendNotify(kNotifyItemClick);
}

void CListUI::ElementActivated(CControlUI* element) {
    element->SendNotify(kNotifyItemActivate);
}

CListUI* CListElementBase::GetOwner() const {
    return dynamic_cast<CListUI*>(self_->GetParent());
}

int CListElementBase::GetIndex() const {
    const CListUI* owner = GetOwner();
    return owner != nullptr ? owner->GetItemIndex(self_) : -1;
}

bool CListElementBase::IsSelected() const {
    const CListUI* owner = GetOwner();
    return owner != nullptr && owner->GetCurSel() >= 0 && owner->GetCurSel() == GetIndex();
}

bool CListElementBase::Select(bool select, bool notify) {
    CListUI* owner = GetOwner();
    if (owner == nullptr) {
        pendingSelect_ = select;
        return true;
    }
    if (select) {
        return owner->SelectItem(GetIndex(), false, notify);
    }
    return IsSelected() ? owner->SelectItem(-1, false, notify) : true;
}

bool CListElementBase::TakePendingSelect() {
    return std::exchange(pendingSelect_, false);
}

bool CListElementBase::SetElementAttribute(const QString& name, const QString& value) {
    if (name.compare(u"selected", Qt::CaseInsensitive) == 0) {
        Select(attr::ParseBool(value), false);
        return true;
    }
    return false;
}

void CListElementBase::HandleMouse(QEvent* event) {
    CListUI* owner = GetOwner();
    if (owner == nullptr || !self_->IsEnabled()) {
        return;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
        return;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            owner->ElementPressed(self_);
            event->accept();
            break;
        case QEvent::MouseButtonRelease:
            if (self_->GetWidget()->rect().contains(mouse->position().toPoint())) {
                owner->ElementReleased(self_);
            }
            event->accept();
            break;
        case QEvent::MouseButtonDblClick:
            owner->ElementActivated(self_);
            event->accept();
            break;
        default:
            break;
    }
}

namespace {
bool IsMouseButtonEvent(const QEvent* event) {
    return event->type() == QEvent::MouseButtonPress ||
           event->type() == QEvent::MouseButtonRelease ||
           event->type() == QEvent::MouseButtonDblClick;
}
}  // namespace

CListLabelElementUI::CListLabelElementUI(QWidget* parent)
    : CLabelUI(parent), CListElementBase(this) {
    SetHoverNotify(true);
    setProperty("listItem", true);
}

void CListLabelElementUI::SetAttribute(const QString& name, const QString& value) {
    if (!SetElementAttribute(name, value)) {
        CLabelUI::SetAttribute(name, value);
    }
}

bool CListLabelElementUI::event(QEvent* event) {
    if (IsMouseButtonEvent(event)) {
        HandleMouse(event);
        return true;
    }
    return CLabelUI::event(event);
}

CListContainerElementUI::CListContainerElementUI(QWidget* parent)
    : CHorizontalLayoutUI(parent), CListElementBase(this) {
    SetHoverNotify(true);
    setProperty("listItem", true);
    setAttribute(Qt::WA_StyledBackground);
}

void CListContainerElementUI::SetAttribute(const QString& name, const QString& value) {
    if (!SetElementAttribute(name, value)) {
        CHorizontalLayoutUI::SetAttribute(name, value);
    }
}

bool CListContainerElementUI::event(QEvent* event) {
    if (IsMouseButtonEvent(event)) {
        HandleMouse(event);
        return true;
    }
    return CHorizontalLayoutUI::event(event);
}

}  // namespace morva::ui
