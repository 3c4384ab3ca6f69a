#include "ui/toolkit/controls.h"

#include <QIcon>
#include <QRegularExpressionValidator>
#include <QStackedWidget>

#include <utility>

#include "ui/toolkit/paint_manager.h"

namespace morva::ui {

namespace {
constexpr int kItemKeyRole = Qt::UserRole;
constexpr int kItemDataRole = Qt::UserRole + 1;
}  // namespace

CPlainControlUI::CPlainControlUI(QWidget* parent) : QWidget(parent), CControlUI(this) {}

CLabelUI::CLabelUI(QWidget* parent) : QLabel(parent), CControlUI(this) {
    setTextFormat(Qt::PlainText);
    ApplyTextAlign();
}

void CLabelUI::ApplyTextAlign() {
    const Qt::Alignment own = GetTextAlign();
    const Qt::Alignment fallback = DefaultAlign();
    Qt::Alignment a = own;
    if (!(own & Qt::AlignHorizontal_Mask)) {
        a |= fallback & Qt::AlignHorizontal_Mask;
    }
    if (!(own & Qt::AlignVertical_Mask)) {
        a |= fallback & Qt::AlignVertical_Mask;
    }
    setAlignment(a);
}

void CLabelUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"wordwrap") {
        setWordWrap(attr::ParseBool(value));
    } else if (n == u"showhtml") {
        setTextFormat(attr::ParseBool(value) ? Qt::RichText : Qt::PlainText);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

CTextUI::CTextUI(QWidget* parent) : CLabelUI(parent) {
    setWordWrap(true);
    ApplyTextAlign();
}

CButtonUI::CButtonUI(QWidget* parent) : QPushButton(parent), CControlUI(this) {
    SetHoverNotify(true);
    setCursor(Qt::PointingHandCursor);
    QObject::connect(this, &QPushButton::clicked, this, [this] { OnClicked(); });
}

void CButtonUI::OnClicked() {
    SendNotify(kNotifyClick);
}

void CButtonUI::SetForeImage(const QString& image) {
    foreImage_ = image;
    const QString file = ImageFile(image);
    setIcon(file.isEmpty() ? QIcon() : QIcon(file));
    setIconSize(size());
}

void CButtonUI::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    if (!icon().isNull()) {
        setIconSize(size());
    }
}

void CButtonUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(u"foreimage", Qt::CaseInsensitive) == 0) {
        SetForeImage(value);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CButtonUI::CollectStyle(StyleRules& rules) const {
    CControlUI::CollectStyle(rules);
    const Qt::Alignment a = GetTextAlign() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignLeft) {
        rules[QString()] << QStringLiteral("text-align: left");
    } else if (a & Qt::AlignRight) {
        rules[QString()] << QStringLiteral("text-align: right");
    }
}

COptionUI::COptionUI(QWidget* parent) : CButtonUI(parent) {
    setCheckable(true);
}

void COptionUI::nextCheckState() {
    if (!group_.isEmpty() && isChecked()) {
        return;
    }
    QPushButton::nextCheckState();
    if (isChecked()) {
        DeselectGroup();
    }
}

void COptionUI::OnClicked() {
    const bool changed = isChecked() != selected_;
    selected_ = isChecked();
    SendNotify(kNotifyClick);
    if (changed) {
        SendNotify(kNotifySelectChanged);
    }
}

void COptionUI::Selected(bool selected, bool notify) {
    if (selected) {
        DeselectGroup();
    }
    setChecked(selected);
    const bool changed = selected != selected_;
    selected_ = selected;
    if (notify && changed) {
        SendNotify(kNotifySelectChanged);
    }
}

void COptionUI::DeselectGroup() {
    if (group_.isEmpty()) {
        return;
    }
    // A group reaches as far as the page of a tab layout it sits in: two device pages built
    // from the same panels carry the same group names, and one must not clear the other's.
    QWidget* scope = this;
    while (scope->parentWidget() != nullptr && !scope->isWindow() &&
           qobject_cast<QStackedWidget*>(scope->parentWidget()) == nullptr)
        scope = scope->parentWidget();
    CPaintManagerUI::ForEachControl(scope, [this](CControlUI* c) {
        auto* other = dynamic_cast<COptionUI*>(c);
        if (other != nullptr && other != this &&
            other->group_.compare(group_, Qt::CaseInsensitive) == 0 && other->selected_) {
            other->setChecked(false);
            other->selected_ = false;
        }
        return true;
    });
}

void COptionUI::SetSelectedBkColor(const QColor& color) {
    selectedBkColor_ = color;
    UpdateStyle();
}

void COptionUI::SetSelectedBorderColor(const QColor& color) {
    selectedBorderColor_ = color;
    UpdateStyle();
}

void COptionUI::CollectStyle(StyleRules& rules) const {
    CButtonUI::CollectStyle(rules);
    QStringList& checked = rules[QStringLiteral(":checked")];
    if (selectedBkColor_.isValid())
        checked << QStringLiteral("background-color: ") + attr::CssColor(selectedBkColor_);
    if (selectedBorderColor_.isValid()) {
        checked << QStringLiteral("border: %1px solid %2")
                       .arg(CPaintManagerUI::Scale(2))
                       .arg(attr::CssColor(selectedBorderColor_));
    }
}

void COptionUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"group") {
        SetGroup(value);
    } else if (n == u"selectedbkcolor") {
        SetSelectedBkColor(attr::ParseColor(value));
    } else if (n == u"selectedbordercolor") {
        SetSelectedBorderColor(attr::ParseColor(value));
    } else if (n == u"selected") {
        Selected(attr::ParseBool(value), false);
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

CCheckBoxUI::CCheckBoxUI(QWidget* parent) : QCheckBox(parent), CControlUI(this) {
    SetHoverNotify(true);
    QObject::connect(this, &QCheckBox::clicked, this, [this] {
        SendNotify(kNotifyClick);
        SendNotify(kNotifySelectChanged);
    });
}

void CCheckBoxUI::Selected(bool selected, bool notify) {
    const bool changed = selected != isChecked();
    setChecked(selected);
    if (notify && changed) {
        SendNotify(kNotifySelectChanged);
    }
}

void CCheckBoxUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"selected" || n == u"checked") {
        Selected(attr::ParseBool(value), false);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

CComboUI::CComboUI(QWidget* parent) : QComboBox(parent), CControlUI(this) {
    // The user's choice arrives as an index change followed by "activated"; changes made
    // through our own operations are marked internal and never reported.
    QObject::connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (internal_) {
            return;
        }
        previous_ = known_;
        known_ = index;
        userChanged_ = true;
    });
    QObject::connect(this, &QComboBox::activated, this, [this](int index) {
        if (!std::exchange(userChanged_, false)) {
            return;
        }
        SendNotify(kNotifyItemSelect, index, previous_);
    });
}

template <class F>
void CComboUI::Quietly(F&& change) {
    internal_ = true;
    change();
    internal_ = false;
    known_ = currentIndex();
    userChanged_ = false;
}

int CComboUI::AddItem(const QString& text, const QString& userData) {
    InsertItem(count(), text, userData);
    return count() - 1;
}

bool CComboUI::InsertItem(int index, const QString& text, const QString& userData) {
    if (index < 0 || index > count()) {
        return false;
    }
    Quietly([&] {
        insertItem(index, Resolve(text));
        setItemData(index, text, kItemKeyRole);
        setItemData(index, userData, kItemDataRole);
    });
    return true;
}

bool CComboUI::RemoveAt(int index) {
    if (index < 0 || index >= count()) {
        return false;
    }
    Quietly([&] { removeItem(index); });
    return true;
}

void CComboUI::RemoveAll() {
    Quietly([&] { clear(); });
}

QString CComboUI::GetItemText(int index) const {
    return itemText(index);
}

QString CComboUI::GetItemTextKey(int index) const {
    return itemData(index, kItemKeyRole).toString();
}

QString CComboUI::GetItemUserData(int index) const {
    return itemData(index, kItemDataRole).toString();
}

bool CComboUI::SetItemText(int index, const QString& text) {
    if (index < 0 || index >= count()) {
        return false;
    }
    setItemText(index, Resolve(text));
    setItemData(index, text, kItemKeyRole);
    return true;
}

bool CComboUI::SelectItem(int index, bool takeFocus, bool notify) {
    if (index < -1 || index >= count()) {
        return false;
    }
    const int old = known_;
    Quietly([&] { setCurrentIndex(index); });
    if (takeFocus) {
        setFocus(Qt::OtherFocusReason);
    }
    if (notify && index != old) {
        SendNotify(kNotifyItemSelect, index, old);
    }
    return true;
}

void CComboUI::RefreshText() {
    CControlUI::RefreshText();
    for (int i = 0; i < count(); ++i) {
        setItemText(i, Resolve(GetItemTextKey(i)));
    }
}

CEditUI::CEditUI(QWidget* parent) : QLineEdit(parent), CControlUI(this) {
    QObject::connect(this, &QLineEdit::textEdited, this,
                     [this] { SendNotify(kNotifyTextChanged); });
    QObject::connect(this, &QLineEdit::returnPressed, this, [this] { SendNotify(kNotifyReturn); });
}

void CEditUI::ApplyTextAlign() {
    const Qt::Alignment a = GetTextAlign();
    setAlignment((a & Qt::AlignHorizontal_Mask ? a & Qt::AlignHorizontal_Mask : Qt::AlignLeft) |
                 Qt::AlignVCenter);
}

void CEditUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"readonly") {
        SetReadOnly(attr::ParseBool(value));
    } else if (n == u"maxchar") {
        SetMaxChar(attr::ParseInt(value));
    } else if (n == u"password") {
        setEchoMode(attr::ParseBool(value) ? QLineEdit::Password : QLineEdit::Normal);
    } else if (n == u"numberonly") {
        static const QRegularExpression digits(QStringLiteral("[0-9]*"));
        if (attr::ParseBool(value)) {
            setValidator(new QRegularExpressionValidator(digits, this));
        } else {
            setValidator(nullptr);
        }
    } else if (n == u"prompttext") {
        promptKey_ = value;
        setPlaceholderText(Resolve(value));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CEditUI::RefreshText() {
    CControlUI::RefreshText();
    if (!promptKey_.isEmpty()) {
        setPlaceholderText(Resolve(promptKey_));
    }
}

CRichEditUI::CRichEditUI(QWidget* parent) : QTextEdit(parent), CControlUI(this) {
    setAcceptRichText(false);
    QObject::connect(this, &QTextEdit::textChanged, this, [this] {
        if (!internal_) {
            SendNotify(kNotifyTextChanged);
        }
    });
}

void CRichEditUI::SetText(const QString& text) {
    internal_ = true;
    setPlainText(text);
    internal_ = false;
}

void CRichEditUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(u"readonly", Qt::CaseInsensitive) == 0) {
        setReadOnly(attr::ParseBool(value));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

CProgressUI::CProgressUI(QWidget* parent) : QProgressBar(parent), CControlUI(this) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

void CProgressUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"min") {
        SetMinValue(attr::ParseInt(value));
    } else if (n == u"max") {
        SetMaxValue(attr::ParseInt(value));
    } else if (n == u"value") {
        SetValue(attr::ParseInt(value));
    } else if (n == u"showtext") {
        setTextVisible(attr::ParseBool(value));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

bool IsOn(const CControlUI* control) {
    if (const auto* option = dynamic_cast<const COptionUI*>(control))
        return option->IsSelected();
    if (const auto* check = dynamic_cast<const CCheckBoxUI*>(control))
        return check->IsSelected();
    return false;
}

void SetOn(CControlUI* control, bool on) {
    if (auto* option = dynamic_cast<COptionUI*>(control))
        option->Selected(on, false);
    else if (auto* check = dynamic_cast<CCheckBoxUI*>(control))
        check->Selected(on, false);
}

}  // namespace morva::ui
