// Common base of every toolkit control, the notification record controls send, and the
// interface of controls that hold other controls.
#pragma once

#include <QColor>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <Qt>

#include <cstdint>
#include <map>

class QWidget;

namespace morva::ui {

class CPaintManagerUI;
class CControlUI;

// Notification types. Custom controls may send types of their own.
inline constexpr char kNotifyClick[] = "click";
inline constexpr char kNotifyDbClick[] = "dbclick";
inline constexpr char kNotifySelectChanged[] = "selectchanged";
inline constexpr char kNotifyItemSelect[] = "itemselect";
inline constexpr char kNotifyItemClick[] = "itemclick";
inline constexpr char kNotifyItemActivate[] = "itemactivate";
inline constexpr char kNotifyValueChanged[] = "valuechanged";
inline constexpr char kNotifyMoveValueChanged[] = "movevaluechanged";
inline constexpr char kNotifyTextChanged[] = "textchanged";
inline constexpr char kNotifySetFocus[] = "setfocus";
inline constexpr char kNotifyKillFocus[] = "killfocus";
inline constexpr char kNotifyReturn[] = "return";
inline constexpr char kNotifyCheckClick[] = "checkclick";
inline constexpr char kNotifyColorChanged[] = "colorchanged";
inline constexpr char kNotifyWindowInit[] = "windowinit";
inline constexpr char kNotifyWindowSize[] = "windowsize";
inline constexpr char kNotifyTimer[] = "timer";
inline constexpr char kNotifyMenu[] = "menu";
inline constexpr char kNotifyMouseEnter[] = "msenter";
inline constexpr char kNotifyMouseLeave[] = "msleave";

struct TNotifyUI {
    QString sType;
    CControlUI* pSender = nullptr;
    intptr_t wParam = 0;
    intptr_t lParam = 0;
};

class INotifyUI {
public:
    virtual void Notify(const TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};

// A rectangle given as its four edges in layout units (the `pos` attribute).
struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const LayoutRect&, const LayoutRect&) = default;
};

// Style declarations by pseudo-state ("" for the plain state, ":hover", ":checked", ...).
using StyleRules = std::map<QString, QStringList>;

// Implemented by every toolkit widget next to its Qt base class. Sizes, paddings and positions
// are kept in layout units and multiplied by the toolkit's DPI scale when placed.
class CControlUI {
public:
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;
    virtual ~CControlUI();

    QWidget* GetWidget() const { return widget_; }
    virtual QString GetClass() const = 0;

    QString GetName() const { return name_; }
    void SetName(const QString& name);
    QString GetUserData() const { return userData_; }
    void SetUserData(const QString& data) { userData_ = data; }
    intptr_t GetTag() const { return tag_; }
    void SetTag(intptr_t tag) { tag_ = tag; }

    // Texts are kept as written (usually a language key) and shown resolved through the
    // window's language resolver. GetText is the text as shown.
    virtual void SetText(const QString& text);
    virtual QString GetText() const { return shownText_; }
    QString GetTextKey() const { return textKey_; }
    void SetToolTip(const QString& text);
    QString GetToolTip() const;
    QString GetToolTipKey() const { return toolTipKey_; }
    // Resolves text and tool tip again (after the language changed).
    virtual void RefreshText();

    // The control's own flags, independent of its ancestors.
    bool IsVisible() const { return visible_; }
    virtual void SetVisible(bool visible = true);
    bool IsEnabled() const;
    virtual void SetEnabled(bool enabled = true);
    void SetFocus();

    int GetFixedWidth() const { return fixedWidth_; }
    void SetFixedWidth(int width);
    int GetFixedHeight() const { return fixedHeight_; }
    void SetFixedHeight(int height);
    QMargins GetPadding() const { return padding_; }
    void SetPadding(const QMargins& padding);
    bool IsFloat() const { return float_; }
    void SetFloat(bool isFloat);
    LayoutRect GetFloatPos() const { return floatPos_; }
    void SetFloatPos(const LayoutRect& pos);
    // Geometry in pixels, relative to the parent widget.
    QRect GetPos() const;

    QColor GetBkColor() const { return bkColor_; }
    void SetBkColor(const QColor& color);
    QColor GetTextColor() const { return textColor_; }
    void SetTextColor(const QColor& color);
    void SetBorderColor(const QColor& color);
    void SetBorderSize(int size);
    void SetBorderRound(int radius);
    // Image names as written; files are looked up under the resource root.
    QString GetBkImage() const { return bkImage_; }
    void SetBkImage(const QString& image);
    void SetNormalImage(const QString& image);
    void SetHotImage(const QString& image);
    void SetPushedImage(const QString& image);
    void SetSelectedImage(const QString& image);
    void SetDisabledImage(const QString& image);
    // Font table id; -1 inherits the window's default font.
    int GetFont() const { return fontId_; }
    void SetFont(int id);
    Qt::Alignment GetTextAlign() const { return align_; }

    // One layout attribute. Subclasses handle their own names first and pass the rest to
    // their base class; names nobody knows are ignored.
    virtual void SetAttribute(const QString& name, const QString& value);

    // The window this control belongs to, or null while it is in no window.
    CPaintManagerUI* GetManager() const;
    // The nearest control above this one, or null.
    CControlUI* GetParent() const;
    // Delivered to the window's notifiers; dropped while the control is in no window.
    void SendNotify(const QString& type, intptr_t wParam = 0, intptr_t lParam = 0);

    // Called once when the control first joins a window, after its subtree was built.
    virtual void DoInit() {}
    // One of the control's timers fired; the default notifies "timer" with the id.
    virtual void OnTimer(int id);
    // Fonts, styles and sizes follow the current DPI scale and font table again.
    virtual void ApplyScale();

    // Hover notifications ("msenter"/"msleave") and the context menu notification ("menu").
    bool SendsHoverNotify() const { return hoverNotify_; }
    bool SendsMenuNotify() const { return menuNotify_; }

protected:
    explicit CControlUI(QWidget* self);

    // Shows an already resolved text; controls without a text ignore it.
    virtual void ShowText(const QString& text);
    virtual void ApplyTextAlign() {}
    // Adds this control's own style declarations; call the base first.
    virtual void CollectStyle(StyleRules& rules) const;
    void UpdateStyle();
    // The parent container places its children again.
    void RelayoutParent();
    void ApplyFont();
    QString Resolve(const QString& key) const;
    void SetHoverNotify(bool on) { hoverNotify_ = on; }

    // Absolute file of an image attribute value (plain name or "file='name' ..."), or empty
    // when the file does not exist.
    static QString ImageFile(const QString& value);

private:
    friend class CPaintManagerUI;
    // Taken out of its container: handed back without a parent, or hidden, unreachable and
    // deleted later.
    void Detach(bool doNotDestroy);

    friend class CContainerUI;
    friend class CTabLayoutUI;
    friend class CListUI;

    QWidget* widget_;
    QString name_;
    QString userData_;
    intptr_t tag_ = 0;
    QString textKey_;
    QString shownText_;
    QString toolTipKey_;
    bool visible_ = true;
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    QMargins padding_;
    bool float_ = false;
    LayoutRect floatPos_;
    QColor bkColor_;
    QColor textColor_;
    QColor hotTextColor_;
    QColor disabledTextColor_;
    QColor borderColor_;
    int borderSize_ = -1;
    int borderRound_ = -1;
    QString bkImage_;
    QString normalImage_;
    QString hotImage_;
    QString pushedImage_;
    QString selectedImage_;
    QString disabledImage_;
    int fontId_ = -1;
    Qt::Alignment align_;
    bool styled_ = false;
    bool hoverNotify_ = false;
    bool menuNotify_ = false;
    bool initialised_ = false;
    bool removed_ = false;
};

// Controls that hold other controls in order. Add takes ownership (Qt parent); Remove
// destroys the control once control returns to the event loop, and it can no longer be
// found meanwhile, so a handler may remove the control that is notifying it.
class IContainerUI {
public:
    virtual int GetCount() const = 0;
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetItemIndex(const CControlUI* control) const = 0;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    // doNotDestroy hands the control back without a parent; the caller owns it then.
    virtual bool Remove(CControlUI* control, bool doNotDestroy = false) = 0;
    virtual bool RemoveAt(int index, bool doNotDestroy = false) = 0;
    virtual void RemoveAll() = 0;

protected:
    ~IContainerUI() = default;
};

// Attribute value parsing shared by controls and the builder.
namespace attr {
bool ParseBool(const QString& value);
// "#RRGGBB", "#AARRGGBB", "0xAARRGGBB"; an invalid colour otherwise.
QColor ParseColor(const QString& value);
// A colour as a style sheet writes it: "rgba(r, g, b, a)".
QString CssColor(const QColor& color);
// Comma separated integers; missing ones are 0.
LayoutRect ParseRect(const QString& value);
QMargins ParseMargins(const QString& value);
// "w,h"
QSize ParseSize(const QString& value);
int ParseInt(const QString& value, int fallback = 0);
// "left", "center", "right", "top", "vcenter", "bottom", joined by "|", "," or spaces.
Qt::Alignment ParseAlign(const QString& value);
}  // namespace attr

}  // namespace morva::ui
