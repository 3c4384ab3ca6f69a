// Builds control trees from layout files.
#pragma once

#include <QColor>
#include <QHash>
#include <QSize>
#include <QString>

#include <functional>

#include "ui/toolkit/control.h"

namespace morva::ui {

class CPaintManagerUI;
struct XmlElement;

// Asked for every tag the toolkit does not know.
class IDialogBuilderCallback {
public:
    // A new control without a parent, or null: the tag then yields no control.
    virtual CControlUI* CreateControl(const QString& tag) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

// Our own control classes by class name, and tags that stand for a whole layout file.
// Names compare without regard to case. One instance serves the process (UI thread).
class CControlFactory {
public:
    // Returns a new control without a parent.
    using Creator = std::function<CControlUI*()>;

    static CControlFactory& Instance();

    void RegistControl(const QString& className, Creator creator);
    void UnregistControl(const QString& className);
    // Null for an unknown class name.
    CControlUI* CreateControl(const QString& className) const;

    // e.g. "DeviceProfileUI" -> "XML/CustomControlXML/DeviceProfile.xml"
    void RegistSubLayout(const QString& tag, const QString& file);
    void UnregistSubLayout(const QString& tag);
    QString GetSubLayout(const QString& tag) const;

private:
    QHash<QString, Creator> creators_;
    QHash<QString, QString> subLayouts_;
};

// What the Window tag of a layout says about its window.
struct WindowAttributes {
    bool present = false;
    QSize size;
    QSize minSize;
    QSize maxSize;
    // Height of the draggable strip at the top (layout units); 0: none.
    int captionHeight = 0;
    QString title;
    QColor bkColor;
};

// A tag becomes a control by the first of: a toolkit tag; the callback; a registered
// sub-layout (built from its file, the tag's attributes applied on top); a class registered
// with the factory. Otherwise the tag and everything under it yield nothing.
class CDialogBuilder {
public:
    // skin: a res.xml id or a file under the resource root. The root comes back without a
    // parent, or added to `parent` when one is given; null when nothing could be built.
    // Controls get their fonts, texts and DoInit once they join a window.
    CControlUI* Create(const QString& skin, IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, IContainerUI* parent = nullptr);
    CControlUI* CreateFromText(const QString& xml, IDialogBuilderCallback* callback = nullptr,
                               CPaintManagerUI* manager = nullptr, IContainerUI* parent = nullptr);

    const WindowAttributes& GetWindowAttributes() const { return window_; }
    // Why the last Create gave null, or what it skipped.
    QString GetLastError() const { return error_; }

    // A toolkit control for one of its own tags, or null.
    static CControlUI* CreateBuiltin(const QString& tag);

private:
    CControlUI* BuildDocument(const XmlElement& doc, IContainerUI* parent);
    // A control with its attributes joins `into` before its children are built into it.
    CControlUI* Build(const XmlElement& element, int depth, IContainerUI* into = nullptr);
    CControlUI* CreateForTag(const QString& tag, int depth);
    CControlUI* BuildWindowRoot(const XmlElement& window, int depth);
    void ReadFont(const XmlElement& font);

    IDialogBuilderCallback* callback_ = nullptr;
    CPaintManagerUI* manager_ = nullptr;
    WindowAttributes window_;
    QString error_;
};

}  // namespace morva::ui
