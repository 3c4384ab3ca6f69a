#include "ui/toolkit/dialog_builder.h"

#include "base/debug_log.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/layout_xml.h"
#include "ui/toolkit/list.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/resource_manager.h"

namespace morva::ui {

namespace {

// Deep enough for any real layout, and a stop for sub-layouts that include themselves.
constexpr int kMaxDepth = 64;

QString Key(const QString& name) {
    return name.toLower();
}

bool Is(const QString& tag, const char* name) {
    return tag.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

}  // namespace

CControlFactory& CControlFactory::Instance() {
    static CControlFactory factory;
    return factory;
}

void CControlFactory::RegistControl(const QString& className, Creator creator) {
    creators_.insert(Key(className), std::move(creator));
}

void CControlFactory::UnregistControl(const QString& className) {
    creators_.remove(Key(className));
}

CControlUI* CControlFactory::CreateControl(const QString& className) const {
    const auto it = creators_.constFind(Key(className));
    return it != creators_.constEnd() && it.value() ? it.value()() : nullptr;
}

void CControlFactory::RegistSubLayout(const QString& tag, const QString& file) {
    subLayouts_.insert(Key(tag), file);
}

void CControlFactory::UnregistSubLayout(const QString& tag) {
    subLayouts_.remove(Key(tag));
}

QString CControlFactory::GetSubLayout(const QString& tag) const {
    return subLayouts_.value(Key(tag));
}

CControlUI* CDialogBuilder::CreateBuiltin(const QString& tag) {
    using Make = CControlUI* (*)();
    static const QHash<QString, Make> builtins = {
        {QStringLiteral("control"), []() -> CControlUI* { return new CPlainControlUI; }},
        {QStringLiteral("container"), []() -> CControlUI* { return new CContainerUI; }},
        {QStringLiteral("verticallayout"), []() -> CControlUI* { return new CVerticalLayoutUI; }},
        {QStringLiteral("horizontallayout"),
         []() -> CControlUI* { return new CHorizontalLayoutUI; }},
        {QStringLiteral("tablayout"), []() -> CControlUI* { return new CTabLayoutUI; }},
        {QStringLiteral("label"), []() -> CControlUI* { return new CLabelUI; }},
        {QStringLiteral("text"), []() -> CControlUI* { return new CTextUI; }},
        {QStringLiteral("button"), []() -> CControlUI* { return new CButtonUI; }},
        {QStringLiteral("option"), []() -> CControlUI* { return new COptionUI; }},
        {QStringLiteral("checkbox"), []() -> CControlUI* { return new CCheckBoxUI; }},
        {QStringLiteral("combo"), []() -> CControlUI* { return new CComboUI; }},
        {QStringLiteral("edit"), []() -> CControlUI* { return new CEditUI; }},
        {QStringLiteral("richedit"), []() -> CControlUI* { return new CRichEditUI; }},
        {QStringLiteral("slider"), []() -> CControlUI* { return new CSliderUI; }},
        {QStringLiteral("progress"), []() -> CControlUI* { return new CProgressUI; }},
        {QStringLiteral("list"), []() -> CControlUI* { return new CListUI; }},
        {QStringLiteral("listcontainerelement"),
         []() -> CControlUI* { return new CListContainerElementUI; }},
        {QStringLiteral("listlabelelement"),
         []() -> CControlUI* { return new CListLabelElementUI; }},
    };
    const auto it = builtins.constFind(Key(tag));
    return it != builtins.constEnd() ? it.value()() : nullptr;
}

CControlUI* CDialogBuilder::Create(const QString& skin, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, IContainerUI* parent) {
    callback_ = callback;
    manager_ = manager;
    window_ = {};
    error_.clear();
    const QString path = CResourceManager::Instance().GetPath(skin);
    const std::optional<XmlElement> doc = ReadLayoutFile(path, &error_);
    if (!doc) {
        DebugLog("layout %s: %s\n", qUtf8Printable(skin), qUtf8Printable(error_));
        return nullptr;
    }
    return BuildDocument(*doc, parent);
}

CControlUI* CDialogBuilder::CreateFromText(const QString& xml, IDialogBuilderCallback* callback,
                                           CPaintManagerUI* manager, IContainerUI* parent) {
    callback_ = callback;
    manager_ = manager;
    window_ = {};
    error_.clear();
    const std::optional<XmlElement> doc = ParseLayoutXml(xml.toUtf8(), &error_);
    if (!doc) {
        DebugLog("layout text: %s\n", qUtf8Printable(error_));
        return nullptr;
    }
    return BuildDocument(*doc, parent);
}

CControlUI* CDialogBuilder::BuildDocument(const XmlElement& doc, IContainerUI* parent) {
    CControlUI* root = nullptr;
    if (Is(doc.tag, "Window")) {
        window_.present = true;
        for (const auto& [name, value] : doc.attributes) {
            const QString n = name.toLower();
            if (n == u"size") {
                window_.size = attr::ParseSize(value);
            } else if (n == u"mininfo") {
                window_.minSize = attr::ParseSize(value);
            } else if (n == u"maxinfo") {
                window_.maxSize = attr::ParseSize(value);
            } else if (n == u"caption") {
                // "32" or the edge form "0,0,0,32": the strip's height is the last number.
                window_.captionHeight = attr::ParseInt(value.split(u',').last());
            } else if (n == u"title" || n == u"text") {
                window_.title = value;
            } else if (n == u"bkcolor") {
                window_.bkColor = attr::ParseColor(value);
            }
        }
        root = BuildWindowRoot(doc, 0);
    } else {
        root = Build(doc, 0);
    }
    if (root == nullptr && error_.isEmpty()) {
        error_ = QStringLiteral("the layout yields no control");
    }
    if (root != nullptr && parent != nullptr) {
        parent->Add(root);
    }
    return root;
}

// The first child that yields a control is the root; Font entries fill the font table.
CControlUI* CDialogBuilder::BuildWindowRoot(const XmlElement& window, int depth) {
    CControlUI* root = nullptr;
    for (const XmlElement& child : window.children) {
        if (Is(child.tag, "Font")) {
            ReadFont(child);
        } else if (root == nullptr) {
            root = Build(child, depth + 1);
        }
    }
    return root;
}

void CDialogBuilder::ReadFont(const XmlElement& font) {
    FontInfo info;
    info.face = font.Attribute(QStringLiteral("name"));
    info.size = attr::ParseInt(font.Attribute(QStringLiteral("size")), 14);
    info.bold = attr::ParseBool(font.Attribute(QStringLiteral("bold")));
    info.underline = attr::ParseBool(font.Attribute(QStringLiteral("underline")));
    info.italic = attr::ParseBool(font.Attribute(QStringLiteral("italic")));
    const bool shared =
        manager_ == nullptr || attr::ParseBool(font.Attribute(QStringLiteral("shared")));
    const bool isDefault = attr::ParseBool(font.Attribute(QStringLiteral("default")));
    const int id = attr::ParseInt(font.Attribute(QStringLiteral("id")), -1);
    if (shared) {
        if (isDefault) {
            CPaintManagerUI::SetSharedDefaultFont(info);
        }
        if (id >= 0) {
            CPaintManagerUI::AddSharedFont(id, info);
        }
        return;
    }
    if (isDefault) {
        manager_->SetDefaultFont(info);
    }
    if (id >= 0) {
        manager_->AddFont(id, info);
    }
}

CControlUI* CDialogBuilder::CreateForTag(const QString& tag, int depth) {
    if (CControlUI* c = CreateBuiltin(tag)) {
        return c;
    }
    if (callback_ != nullptr) {
        if (CControlUI* c = callback_->CreateControl(tag)) {
            return c;
        }
    }
    const QString subLayout = CControlFactory::Instance().GetSubLayout(tag);
    if (!subLayout.isEmpty()) {
        QString error;
        const std::optional<XmlElement> doc =
            ReadLayoutFile(CResourceManager::Instance().GetPath(subLayout), &error);
        if (!doc) {
            error_ = error;
            DebugLog("sub-layout %s: %s\n", qUtf8Printable(tag), qUtf8Printable(error));
            return nullptr;
        }
        return Is(doc->tag, "Window") ? BuildWindowRoot(*doc, depth) : Build(*doc, depth + 1);
    }
    return CControlFactory::Instance().CreateControl(tag);
}

CControlUI* CDialogBuilder::Build(const XmlElement& element, int depth, IContainerUI* into) {
    if (depth > kMaxDepth) {
        error_ = QStringLiteral("layout nested too deep at <%1>").arg(element.tag);
        DebugLog("%s\n", qUtf8Printable(error_));
        return nullptr;
    }
    CControlUI* control = CreateForTag(element.tag, depth);
    if (control == nullptr) {
        DebugLog("layout: <%s> (line %lld) yields no control\n", qUtf8Printable(element.tag),
                 static_cast<long long>(element.line));
        return nullptr;
    }
    for (const auto& [name, value] : element.attributes) {
        control->SetAttribute(name, value);
    }
    // Top down: a widget that joins a parent has its style resolved again, with everything
    // below it. Joining before the children do keeps that to the widget itself; built the
    // other way round, deep layouts were restyled once per level above each control.
    if (into != nullptr) {
        into->Add(control);
    }
    if (auto* combo = dynamic_cast<CComboUI*>(control)) {
        for (const XmlElement& child : element.children) {
            if (!Is(child.tag, "ListLabelElement")) {
                continue;
            }
            const int index = combo->AddItem(child.Attribute(QStringLiteral("text")),
                                             child.Attribute(QStringLiteral("userdata")));
            if (attr::ParseBool(child.Attribute(QStringLiteral("selected")))) {
                combo->SelectItem(index, false, false);
            }
        }
        return control;
    }
    auto* container = dynamic_cast<IContainerUI*>(control);
    for (const XmlElement& child : element.children) {
        if (container == nullptr) {
            DebugLog("layout: <%s> holds no children; <%s> skipped\n", qUtf8Printable(element.tag),
                     qUtf8Printable(child.tag));
            continue;
        }
        Build(child, depth + 1, container);
    }
    return control;
}

}  // namespace morva::ui
