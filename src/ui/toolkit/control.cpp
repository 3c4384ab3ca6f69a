#include "ui/toolkit/control.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>
#include <array>

#include "ui/toolkit/containers.h"
#include "ui/toolkit/list.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/resource_manager.h"

namespace morva::ui {

namespace {

// Turns widget events every control shares into notifications, so each control class does
// not have to override the same Qt handlers.
class ControlEventFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Enter:
            case QEvent::Leave:
            case QEvent::FocusIn:
            case QEvent::FocusOut:
            case QEvent::ContextMenu:
            case QEvent::MouseButtonDblClick:
                break;
            default:
                return false;
        }
        auto* control = dynamic_cast<CControlUI*>(watched);
        if (control == nullptr) {
            return false;
        }
        switch (event->type()) {
            case QEvent::Enter:
            case QEvent::Leave:
                if (control->SendsHoverNotify() && control->IsEnabled()) {
                    control->SendNotify(event->type() == QEvent::Enter ? kNotifyMouseEnter
                                                                       : kNotifyMouseLeave);
                }
                return false;
            case QEvent::FocusIn:
                control->SendNotify(kNotifySetFocus);
                return false;
            case QEvent::FocusOut:
                control->SendNotify(kNotifyKillFocus);
                return false;
            case QEvent::ContextMenu:
                if (control->SendsMenuNotify()) {
                    const QPoint p = static_cast<QContextMenuEvent*>(event)->pos();
                    control->SendNotify(kNotifyMenu, p.x(), p.y());
                    return true;
                }
                return false;
            case QEvent::MouseButtonDblClick:
                if (qobject_cast<QAbstractButton*>(watched) != nullptr && control->IsEnabled()) {
                    control->SendNotify(kNotifyDbClick);
                }
                return false;
            default:
                return false;
        }
    }
};

ControlEventFilter& SharedFilter() {
    static ControlEventFilter filter;
    return filter;
}

QString Css(const QColor& c) {
    return attr::CssColor(c);
}

QString ImageRule(const QString& file) {
    return QStringLiteral("border-image: url(\"%1\") 0 0 0 0 stretch stretch").arg(file);
}

}  // namespace

CControlUI::CControlUI(QWidget* self) : widget_(self) {
    widget_->installEventFilter(&SharedFilter());
}

CControlUI::~CControlUI() {
    // The Qt part outlives this one: keep the filter from seeing a half-destroyed control.
    widget_->removeEventFilter(&SharedFilter());
}

void CControlUI::SetName(const QString& name) {
    name_ = name;
    widget_->setObjectName(name);
}

void CControlUI::SetText(const QString& text) {
    textKey_ = text;
    shownText_ = Resolve(text);
    ShowText(shownText_);
}

void CControlUI::SetToolTip(const QString& text) {
    toolTipKey_ = text;
    widget_->setToolTip(Resolve(text));
}

QString CControlUI::GetToolTip() const {
    return widget_->toolTip();
}

void CControlUI::RefreshText() {
    if (!textKey_.isEmpty()) {
        shownText_ = Resolve(textKey_);
        ShowText(shownText_);
    }
    if (!toolTipKey_.isEmpty()) {
        widget_->setToolTip(Resolve(toolTipKey_));
    }
}

void CControlUI::ShowText(const QString&) {}

QString CControlUI::Resolve(const QString& key) const {
    return CPaintManagerUI::ResolveText(GetManager(), key);
}

void CControlUI::SetVisible(bool visible) {
    if (visible_ == visible) {
        return;
    }
    visible_ = visible;
    // A control without a parent is shown when it is added somewhere, never as a window.
    if (widget_->parentWidget() != nullptr || !visible) {
        widget_->setVisible(visible);
    }
    RelayoutParent();
}

bool CControlUI::IsEnabled() const {
    return !widget_->testAttribute(Qt::WA_ForceDisabled);
}

void CControlUI::SetEnabled(bool enabled) {
    widget_->setEnabled(enabled);
}

void CControlUI::SetFocus() {
    widget_->setFocus(Qt::OtherFocusReason);
}

void CControlUI::SetFixedWidth(int width) {
    fixedWidth_ = std::max(0, width);
    RelayoutParent();
}

void CControlUI::SetFixedHeight(int height) {
    fixedHeight_ = std::max(0, height);
    RelayoutParent();
}

void CControlUI::SetPadding(const QMargins& padding) {
    padding_ = padding;
    RelayoutParent();
}

void CControlUI::SetFloat(bool isFloat) {
    float_ = isFloat;
    RelayoutParent();
}

void CControlUI::SetFloatPos(const LayoutRect& pos) {
    floatPos_ = pos;
    RelayoutParent();
}

QRect CControlUI::GetPos() const {
    return widget_->geometry();
}

void CControlUI::SetBkColor(const QColor& color) {
    bkColor_ = color;
    UpdateStyle();
}

void CControlUI::SetTextColor(const QColor& color) {
    textColor_ = color;
    UpdateStyle();
}

void CControlUI::SetBorderColor(const QColor& color) {
    borderColor_ = color;
    UpdateStyle();
}

void CControlUI::SetBorderSize(int size) {
    borderSize_ = size;
    UpdateStyle();
}

void CControlUI::SetBorderRound(int radius) {
    borderRound_ = radius;
    UpdateStyle();
}

void CControlUI::SetBkImage(const QString& image) {
    bkImage_ = image;
    UpdateStyle();
}

void CControlUI::SetNormalImage(const QString& image) {
    normalImage_ = image;
    UpdateStyle();
}

void CControlUI::SetHotImage(const QString& image) {
    hotImage_ = image;
    UpdateStyle();
}

void CControlUI::SetPushedImage(const QString& image) {
    pushedImage_ = image;
    UpdateStyle();
}

void CControlUI::SetSelectedImage(const QString& image) {
    selectedImage_ = image;
    UpdateStyle();
}

void CControlUI::SetDisabledImage(const QString& image) {
    disabledImage_ = image;
    UpdateStyle();
}

void CControlUI::SetFont(int id) {
    fontId_ = id;
    ApplyFont();
}

void CControlUI::ApplyFont() {
    if (fontId_ >= 0) {
        widget_->setFont(CPaintManagerUI::FontFor(GetManager(), fontId_));
    }
}

void CControlUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"name") {
        SetName(value);
    } else if (n == u"text") {
        SetText(value);
    } else if (n == u"tooltip") {
        SetToolTip(value);
    } else if (n == u"userdata") {
        SetUserData(value);
    } else if (n == u"visible") {
        SetVisible(attr::ParseBool(value));
    } else if (n == u"enabled") {
        SetEnabled(attr::ParseBool(value));
    } else if (n == u"width") {
        SetFixedWidth(attr::ParseInt(value));
    } else if (n == u"height") {
        SetFixedHeight(attr::ParseInt(value));
    } else if (n == u"padding") {
        SetPadding(attr::ParseMargins(value));
    } else if (n == u"float") {
        SetFloat(attr::ParseBool(value));
    } else if (n == u"pos") {
        SetFloatPos(attr::ParseRect(value));
    } else if (n == u"bkcolor") {
        SetBkColor(attr::ParseColor(value));
    } else if (n == u"textcolor") {
        SetTextColor(attr::ParseColor(value));
    } else if (n == u"hottextcolor") {
        hotTextColor_ = attr::ParseColor(value);
        UpdateStyle();
    } else if (n == u"disabledtextcolor") {
        disabledTextColor_ = attr::ParseColor(value);
        UpdateStyle();
    } else if (n == u"bordercolor") {
        SetBorderColor(attr::ParseColor(value));
    } else if (n == u"bordersize") {
        SetBorderSize(attr::ParseInt(value));
    } else if (n == u"borderround") {
        SetBorderRound(attr::ParseInt(value));
    } else if (n == u"bkimage") {
        SetBkImage(value);
    } else if (n == u"normalimage") {
        SetNormalImage(value);
    } else if (n == u"hotimage") {
        SetHotImage(value);
    } else if (n == u"pushedimage") {
        SetPushedImage(value);
    } else if (n == u"selectedimage") {
        SetSelectedImage(value);
    } else if (n == u"disabledimage") {
        SetDisabledImage(value);
    } else if (n == u"font") {
        SetFont(attr::ParseInt(value, -1));
    } else if (n == u"align" || n == u"valign") {
        const Qt::Alignment a = attr::ParseAlign(value);
        const Qt::Alignment keep =
            n == u"align" ? (align_ & Qt::AlignVertical_Mask) : (align_ & Qt::AlignHorizontal_Mask);
        align_ = keep | a;
        ApplyTextAlign();
        UpdateStyle();
    } else if (n == u"menu") {
        menuNotify_ = attr::ParseBool(value);
    } else if (n == u"mouse") {
        widget_->setAttribute(Qt::WA_TransparentForMouseEvents, !attr::ParseBool(value));
    }
}

CPaintManagerUI* CControlUI::GetManager() const {
    for (QWidget* w = widget_; w != nullptr; w = w->parentWidget()) {
        if (auto* c = dynamic_cast<CControlUI*>(w); c != nullptr && c->removed_) {
            return nullptr;
        }
        if (CPaintManagerUI* pm = CPaintManagerUI::FromHost(w)) {
            return pm;
        }
        if (w->isWindow()) {
            break;
        }
    }
    return nullptr;
}

CControlUI* CControlUI::GetParent() const {
    if (widget_->isWindow()) {
        return nullptr;
    }
    for (QWidget* w = widget_->parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* c = dynamic_cast<CControlUI*>(w)) {
            return c;
        }
        if (w->isWindow()) {
            break;
        }
    }
    return nullptr;
}

void CControlUI::SendNotify(const QString& type, intptr_t wParam, intptr_t lParam) {
    if (CPaintManagerUI* pm = GetManager()) {
        pm->SendNotify(this, type, wParam, lParam);
    }
}

void CControlUI::Detach(bool doNotDestroy) {
    if (doNotDestroy) {
        widget_->setParent(nullptr);
        return;
    }
    CPaintManagerUI::KillTimer(this);
    removed_ = true;
    widget_->hide();
    widget_->deleteLater();
}

void CControlUI::OnTimer(int id) {
    SendNotify(kNotifyTimer, id);
}

void CControlUI::ApplyScale() {
    ApplyFont();
    UpdateStyle();
}

void CControlUI::RelayoutParent() {
    CControlUI* parent = GetParent();
    if (auto* container = dynamic_cast<CContainerUI*>(parent)) {
        container->Relayout();
    } else if (auto* list = dynamic_cast<CListUI*>(parent)) {
        list->UpdateItemHeights();
    }
}

void CControlUI::CollectStyle(StyleRules& rules) const {
    QStringList& plain = rules[QString()];
    if (bkColor_.isValid()) {
        plain << QStringLiteral("background-color: ") + Css(bkColor_);
    }
    if (textColor_.isValid()) {
        plain << QStringLiteral("color: ") + Css(textColor_);
    }
    if (borderSize_ > 0 || (borderSize_ < 0 && borderColor_.isValid())) {
        const int width = CPaintManagerUI::Scale(borderSize_ > 0 ? borderSize_ : 1);
        const QColor color = borderColor_.isValid() ? borderColor_ : QColor(0x34, 0x39, 0x44);
        plain << QStringLiteral("border: %1px solid %2").arg(width).arg(Css(color));
    } else if (borderSize_ == 0) {
        plain << QStringLiteral("border: none");
    }
    if (borderRound_ >= 0) {
        plain << QStringLiteral("border-radius: %1px").arg(CPaintManagerUI::Scale(borderRound_));
    }
    // A state image replaces the background image: both would draw as the border image.
    const QString normal = ImageFile(normalImage_.isEmpty() ? bkImage_ : normalImage_);
    if (!normal.isEmpty()) {
        plain << ImageRule(normal);
    }
    const std::pair<const char*, const QString*> states[] = {
        {":hover", &hotImage_},
        {":pressed", &pushedImage_},
        {":checked", &selectedImage_},
        {":disabled", &disabledImage_},
    };
    for (const auto& [state, image] : states) {
        const QString file = ImageFile(*image);
        if (!file.isEmpty()) {
            rules[QString::fromLatin1(state)] << ImageRule(file);
        }
    }
    if (hotTextColor_.isValid()) {
        rules[QStringLiteral(":hover")] << QStringLiteral("color: ") + Css(hotTextColor_);
    }
    if (disabledTextColor_.isValid()) {
        rules[QStringLiteral(":disabled")] << QStringLiteral("color: ") + Css(disabledTextColor_);
    }
}

void CControlUI::UpdateStyle() {
    StyleRules rules;
    CollectStyle(rules);
    bool any = false;
    for (const auto& [state, declarations] : rules) {
        any = any || !declarations.isEmpty();
    }
    if (!any && !styled_) {
        return;
    }
    if (!styled_) {
        // Our own rules must not cascade into child widgets: select this widget alone.
        static int nextId = 0;
        widget_->setProperty("mvid", ++nextId);
        widget_->setAttribute(Qt::WA_StyledBackground);
        styled_ = true;
    }
    const QString selector =
        QStringLiteral("*[mvid=\"%1\"]").arg(widget_->property("mvid").toInt());
    // Later rules win: states in the order hover, pressed, checked, disabled.
    static const char* const order[] = {"", ":hover", ":pressed", ":checked", ":disabled"};
    QString sheet;
    for (const char* state : order) {
        const auto it = rules.find(QString::fromLatin1(state));
        if (it != rules.end() && !it->second.isEmpty()) {
            sheet += selector + it->first + QStringLiteral(" { ") + it->second.join(u"; ") +
                     QStringLiteral("; }\n");
        }
    }
    for (const auto& [state, declarations] : rules) {
        // clang 14 cannot capture a structured binding.
        const QString& name = state;
        const bool known = std::any_of(std::begin(order), std::end(order),
                                       [&](const char* s) { return name == QLatin1String(s); });
        if (!known && !declarations.isEmpty()) {
            sheet += selector + state + QStringLiteral(" { ") + declarations.join(u"; ") +
                     QStringLiteral("; }\n");
        }
    }
    widget_->setStyleSheet(sheet);
}

QString CControlUI::ImageFile(const QString& value) {
    if (value.isEmpty()) {
        return {};
    }
    QString name = value;
    static const QRegularExpression fileKey(QStringLiteral("file\\s*=\\s*'([^']*)'"));
    const QRegularExpressionMatch m = fileKey.match(value);
    if (m.hasMatch()) {
        name = m.captured(1);
    }
    const QString path = CResourceManager::Instance().FilePath(name);
    return QFileInfo::exists(path) ? path : QString();
}

namespace attr {

bool ParseBool(const QString& value) {
    return value.trimmed().compare(u"true", Qt::CaseInsensitive) == 0 || value.trimmed() == u"1";
}

QString CssColor(const QColor& c) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(c.alpha());
}

QColor ParseColor(const QString& value) {
    QString v = value.trimmed();
    if (v.startsWith(u'#')) {
        v.remove(0, 1);
    } else if (v.startsWith(u"0x", Qt::CaseInsensitive)) {
        v.remove(0, 2);
    } else {
        return {};
    }
    bool ok = false;
    const uint rgb = v.toUInt(&ok, 16);
    if (!ok) {
        return {};
    }
    if (v.size() == 6) {
        return QColor::fromRgb(0xff000000u | rgb);
    }
    if (v.size() == 8) {
        return QColor::fromRgba(rgb);
    }
    return {};
}

namespace {
std::array<int, 4> ParseFour(const QString& value) {
    std::array<int, 4> out{};
    const QStringList parts = value.split(u',');
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        out[i] = ParseInt(parts[i]);
    }
    return out;
}
}  // namespace

LayoutRect ParseRect(const QString& value) {
    const auto v = ParseFour(value);
    return {v[0], v[1], v[2], v[3]};
}

QMargins ParseMargins(const QString& value) {
    const auto v = ParseFour(value);
    return {v[0], v[1], v[2], v[3]};
}

QSize ParseSize(const QString& value) {
    const QStringList parts = value.split(u',');
    return {ParseInt(parts.value(0)), ParseInt(parts.value(1))};
}

int ParseInt(const QString& value, int fallback) {
    bool ok = false;
    const int v = value.trimmed().toInt(&ok);
    return ok ? v : fallback;
}

Qt::Alignment ParseAlign(const QString& value) {
    Qt::Alignment a;
    static const QRegularExpression separators(QStringLiteral("[|,\\s]+"));
    for (const QString& token : value.toLower().split(separators, Qt::SkipEmptyParts)) {
        if (token == u"left") {
            a |= Qt::AlignLeft;
        } else if (token == u"right") {
            a |= Qt::AlignRight;
        } else if (token == u"center") {
            a |= Qt::AlignHCenter;
        } else if (token == u"top") {
            a |= Qt::AlignTop;
        } else if (token == u"bottom") {
            a |= Qt::AlignBottom;
        } else if (token == u"vcenter") {
            a |= Qt::AlignVCenter;
        }
    }
    return a;
}

}  // namespace attr

}  // namespace morva::ui
