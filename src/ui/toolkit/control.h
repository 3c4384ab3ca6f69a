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

    QWidget* GetWidget() const { return m_widget; }
    virtual QString GetClass() const = 0;

    QString GetName() const { return m_name; }
    void SetName(const QString& name);
    QString GetUserData() const { return m_userData; }
    void SetUserData(const QString& data) { m_userData = data; }
    intptr_t GetTag() const { return m_tag; }
    void SetTag(intptr_t tag) { m_tag = tag; }

    // Texts are kept as written (usually a language key) and shown resolved through the
    // window's language resolver. GetText is the text as shown.
    virtual void SetText(const QString& text);
    virtual QString GetText() const { return m_shownText; }
    QString GetTextKey() const { return m_textKey; }
    void SetToolTip(const QString& text);
    QString GetToolTip() const;
    QString GetToolTipKey() const { return m_toolTipKey; }
    // Resolves text and tool tip again (after the language changed).
    virtual void RefreshText();

    // The control's own flags, independent of its ancestors.
    bool IsVisible() const { return m_visible; }
    virtual void SetVisible(bool visible = true);
    bool IsEnabled() const;
    virtual void SetEnabled(bool enabled = true);
    void SetFocus();

    int GetFixedWidth() const { return m_fixedWidth; }
    void SetFixedWidth(int width);
    int GetFixedHeight() const { return m_fixedHeight; }
    void SetFixedHeight(int height);
    QMargins GetPadding() const { return m_padding; }
    void SetPadding(const QMargins& padding);
    bool IsFloat() const { return m_float; }
    void SetFloat(bool isFloat);
    LayoutRect GetFloatPos() const { return m_floatPos; }
    void SetFloatPos(const LayoutRect& pos);
    // Geometry in pixels, relative to the parent widget.
    QRect GetPos() const;

    QColor GetBkColor() const { return m_bkColor; }
    void SetBkColor(const QColor& color);
    QColor GetTextColor() const { return m_textColor; }
    void SetTextColor(const QColor& color);
    void SetBorderColor(const QColor& color);
    void SetBorderSize(int size);
    void SetBorderRound(int radius);
    // Image names as written; files are looked up under the resource root.
    QString GetBkImage() const { return m_bkImage; }
    void SetBkImage(const QString& image);
    void SetNormalImage(const QString& image);
    void SetHotImage(const QString& image);
    void SetPushedImage(const QString& image);
    void SetSelectedImage(const QString& image);
    void SetDisabledImage(const QString& image);
    // Font table id; -1 inherits the window's default font.
    int GetFont() const { return m_fontId; }
    void SetFont(int id);
    Qt::Alignment GetTextAlign() const { return m_align; }

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
    bool SendsHoverNotify() const { return m_hoverNotify; }
    bool SendsMenuNotify() const { return m_menuNotify; }

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
    void SetHoverNotify(bool on) { m_hoverNotify = on; }

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

    QWidget* m_widget;
    QString m_name;
    QString m_userData;
    intptr_t m_tag = 0;
    QString m_textKey;
    QString m_shownText;
    QString m_toolTipKey;
    bool m_visible = true;
    int m_fixedWidth = 0;
    int m_fixedHeight = 0;
    QMargins m_padding;
    bool m_float = false;
    LayoutRect m_floatPos;
    QColor m_bkColor;
    QColor m_textColor;
    QColor m_hotTextColor;
    QColor m_disabledTextColor;
    QColor m_borderColor;
    int m_borderSize = -1;
    int m_borderRound = -1;
    QString m_bkImage;
    QString m_normalImage;
    QString m_hotImage;
    QString m_pushedImage;
    QString m_selectedImage;
    QString m_disabledImage;
    int m_fontId = -1;
    Qt::Alignment m_align;
    bool m_styled = false;
    bool m_hoverNotify = false;
    bool m_menuNotify = false;
    bool m_initialised = false;
    bool m_removed = false;
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
