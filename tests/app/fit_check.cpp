#include "app/fit_check.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>

#include <optional>
#include <utility>

#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"

namespace morva::test {
namespace {

using ui::CControlUI;

// QLineEdit keeps this much space on either side of its text, beyond the style's contents.
constexpr int kLineEditTextMargin = 2;
constexpr int kUnbounded = 1 << 20;

QString Size(const QSize& s) {
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

QString Rect(const QRect& r) {
    return QStringLiteral("%1,%2 %3").arg(r.x()).arg(r.y()).arg(Size(r.size()));
}

// A row or box without a name of its own is known by what it holds.
QString FirstNamedInside(const CControlUI* c) {
    for (const QWidget* w : c->GetWidget()->findChildren<QWidget*>()) {
        if (const auto* inner = dynamic_cast<const CControlUI*>(w)) {
            if (!inner->GetName().isEmpty())
                return inner->GetName();
            if (!inner->GetTextKey().isEmpty())
                return inner->GetTextKey();
        }
    }
    return {};
}

QString Describe(const CControlUI* c) {
    if (c == nullptr)
        return QStringLiteral("the window");
    if (!c->GetName().isEmpty())
        return c->GetName();
    QString d = c->GetClass();
    if (!c->GetTextKey().isEmpty())
        d += QStringLiteral("[") + c->GetTextKey() + QStringLiteral("]");
    else if (!c->GetUserData().isEmpty())
        d += QStringLiteral("[") + c->GetUserData() + QStringLiteral("]");
    else if (const QString inner = FirstNamedInside(c); !inner.isEmpty())
        d += QStringLiteral("[with ") + inner + QStringLiteral("]");
    for (const CControlUI* up = c->GetParent(); up != nullptr; up = up->GetParent()) {
        if (!up->GetName().isEmpty())
            return d + QStringLiteral(" in ") + up->GetName();
    }
    return d;
}

// Room a text needs, laid out the way QLabel lays it out.
QSize TextSize(const QFontMetrics& fm, const QRect& room, int flags, const QString& text) {
    const int width = (flags & Qt::TextWordWrap) ? room.width() : kUnbounded;
    return fm.boundingRect(QRect(0, 0, width, kUnbounded), flags, text).size();
}

// A problem and its detail.
using Found = std::optional<std::pair<QString, QString>>;

Found Overflow(const QString& text, const QSize& need, const QRect& room) {
    if (need.width() <= room.width() && need.height() <= room.height())
        return std::nullopt;
    return std::pair{QStringLiteral("\"%1\" does not fit").arg(text),
                     QStringLiteral("needs %1, has %2").arg(Size(need), Size(room.size()))};
}

Found LabelProblem(const QLabel& label) {
    if (label.text().isEmpty() || label.textFormat() == Qt::RichText)
        return std::nullopt;
    const QRect room = label.contentsRect().marginsRemoved(
        QMargins(label.margin(), label.margin(), label.margin(), label.margin()));
    int flags = static_cast<int>(label.alignment());
    if (label.wordWrap())
        flags |= Qt::TextWordWrap;
    const QFontMetrics fm(label.font());
    return Overflow(label.text(), TextSize(fm, room, flags, label.text()), room);
}

Found ButtonProblem(const QPushButton& button) {
    if (button.text().isEmpty())
        return std::nullopt;
    QStyleOptionButton opt;
    opt.initFrom(&button);
    opt.text = button.text();
    opt.icon = button.icon();
    opt.iconSize = button.iconSize();
    QRect room = button.style()->subElementRect(QStyle::SE_PushButtonContents, &opt, &button);
    if (!button.icon().isNull())
        room.setLeft(room.left() + button.iconSize().width());
    const QFontMetrics fm(button.font());
    return Overflow(opt.text, TextSize(fm, room, Qt::TextShowMnemonic, opt.text), room);
}

Found CheckBoxProblem(const QCheckBox& box) {
    if (box.text().isEmpty())
        return std::nullopt;
    QStyleOptionButton opt;
    opt.initFrom(&box);
    opt.text = box.text();
    const QRect room = box.style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, &box);
    const QFontMetrics fm(box.font());
    return Overflow(opt.text, TextSize(fm, room, Qt::TextShowMnemonic, opt.text), room);
}

// Every item may be the one shown.
Found ComboProblem(const QComboBox& combo) {
    QStyleOptionComboBox opt;
    opt.initFrom(&combo);
    opt.editable = combo.isEditable();
    opt.frame = combo.hasFrame();
    opt.subControls = QStyle::SC_All;
    const QRect room = combo.style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                     QStyle::SC_ComboBoxEditField, &combo);
    const QFontMetrics fm(combo.font());
    for (int i = 0; i < combo.count(); ++i) {
        const QString text = combo.itemText(i);
        if (auto p = Overflow(text, TextSize(fm, room, 0, text), room))
            return p;
    }
    return std::nullopt;
}

Found EditProblem(const QLineEdit& edit) {
    QStyleOptionFrame opt;
    opt.initFrom(&edit);
    opt.lineWidth =
        edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, &edit) : 0;
    opt.state |= QStyle::State_Sunken;
    QRect room = edit.style()
                     ->subElementRect(QStyle::SE_LineEditContents, &opt, &edit)
                     .marginsRemoved(edit.textMargins());
    room.adjust(kLineEditTextMargin, 0, -kLineEditTextMargin, 0);
    const QFontMetrics fm(edit.font());
    for (const QString& text : {edit.text(), edit.placeholderText()}) {
        if (text.isEmpty())
            continue;
        if (auto p = Overflow(text, TextSize(fm, room, 0, text), room))
            return p;
    }
    if (fm.height() > room.height())
        return std::pair{QStringLiteral("a line does not fit"),
                         QStringLiteral("needs %1 px, has %2").arg(fm.height()).arg(room.height())};
    return std::nullopt;
}

Found TextProblem(const QWidget& w) {
    if (const auto* label = qobject_cast<const QLabel*>(&w))
        return LabelProblem(*label);
    if (const auto* button = qobject_cast<const QPushButton*>(&w))
        return ButtonProblem(*button);
    if (const auto* box = qobject_cast<const QCheckBox*>(&w))
        return CheckBoxProblem(*box);
    if (const auto* combo = qobject_cast<const QComboBox*>(&w))
        return ComboProblem(*combo);
    if (const auto* edit = qobject_cast<const QLineEdit*>(&w))
        return EditProblem(*edit);
    return std::nullopt;
}

// The scroll area a widget lies in, below the window.
const QAbstractScrollArea* ScrollAreaAbove(const QWidget* w, const QWidget* window) {
    for (const QWidget* up = w->parentWidget(); up != nullptr && up != window;
         up = up->parentWidget()) {
        if (const auto* area = qobject_cast<const QAbstractScrollArea*>(up))
            return area;
    }
    return nullptr;
}

CControlUI* ControlAbove(const QWidget* w) {
    for (QWidget* up = w->parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (auto* c = dynamic_cast<CControlUI*>(up))
            return c;
    }
    return nullptr;
}

Found ClipProblem(const QWidget& w, const QWidget* window) {
    if (const QAbstractScrollArea* area = ScrollAreaAbove(&w, window)) {
        const QWidget* view = area->viewport();
        const QRect r(w.mapTo(view, QPoint(0, 0)), w.size());
        if (r.left() >= 0 && r.right() <= view->width() - 1)
            return std::nullopt;
        return std::pair{QStringLiteral("lies outside the width of ") +
                             Describe(dynamic_cast<const CControlUI*>(area)),
                         Rect(r) + QStringLiteral(" in ") + Size(view->size())};
    }
    const QWidget* parent = w.parentWidget();
    if (parent == nullptr || QRect(QPoint(0, 0), parent->size()).contains(w.geometry()))
        return std::nullopt;
    return std::pair{QStringLiteral("lies outside ") + Describe(ControlAbove(&w)),
                     Rect(w.geometry()) + QStringLiteral(" in ") + Size(parent->size())};
}

// Spacers and containers may shrink to nothing; a control the user reads or uses may not.
bool NeedsRoom(const CControlUI* c) {
    return dynamic_cast<const ui::IContainerUI*>(c) == nullptr &&
           dynamic_cast<const ui::CPlainControlUI*>(c) == nullptr;
}

}  // namespace

std::vector<FitProblem> FindFitProblems(QWidget* window) {
    std::vector<FitProblem> found;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const auto* c = dynamic_cast<const CControlUI*>(w);
        if (c == nullptr || !w->isVisible())
            continue;
        const bool empty = w->width() <= 0 || w->height() <= 0;
        Found p;
        if (empty && NeedsRoom(c))
            p = std::pair{QStringLiteral("has no room"), Size(w->size())};
        else if (!empty)
            p = ClipProblem(*w, window);
        if (!p)
            p = TextProblem(*w);
        if (p)
            found.push_back({Describe(c), p->first, p->second});
    }
    return found;
}

}  // namespace morva::test
