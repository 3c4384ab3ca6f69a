#include "ui/toolkit/menu.h"

#include <QScreen>

#include "base/debug_log.h"
#include "ui/toolkit/control.h"
#include "ui/toolkit/layout_xml.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/resource_manager.h"

namespace morva::ui {

namespace {
constexpr char kNameProperty[] = "menuName";
constexpr char kUserDataProperty[] = "menuUserData";
}  // namespace

CMenuWnd::CMenuWnd(QWidget* owner) : QObject(owner), owner_(owner) {}

CMenuWnd::~CMenuWnd() = default;

bool CMenuWnd::LoadLayout(const QString& skin) {
    QString error;
    const std::optional<XmlElement> doc =
        ReadLayoutFile(CResourceManager::Instance().GetPath(skin), &error);
    if (!doc) {
        DebugLog("menu %s: %s\n", qUtf8Printable(skin), qUtf8Printable(error));
        return false;
    }
    menu_ = std::make_unique<QMenu>();
    Fill(menu_.get(), *doc);
    return true;
}

bool CMenuWnd::LoadLayoutText(const QString& xml) {
    QString error;
    const std::optional<XmlElement> doc = ParseLayoutXml(xml.toUtf8(), &error);
    if (!doc) {
        DebugLog("menu text: %s\n", qUtf8Printable(error));
        return false;
    }
    menu_ = std::make_unique<QMenu>();
    Fill(menu_.get(), *doc);
    return true;
}

void CMenuWnd::Fill(QMenu* menu, const XmlElement& element) {
    const CPaintManagerUI* pm = nullptr;
    for (QWidget* w = owner_; w != nullptr && pm == nullptr; w = w->parentWidget()) {
        pm = CPaintManagerUI::FromHost(w);
    }
    for (const XmlElement& item : element.children) {
        if (item.tag.compare(u"MenuElement", Qt::CaseInsensitive) != 0) {
            continue;
        }
        if (attr::ParseBool(item.Attribute(QStringLiteral("line")))) {
            menu->addSeparator();
            continue;
        }
        const QString name = item.Attribute(QStringLiteral("name"));
        const QString text =
            CPaintManagerUI::ResolveText(pm, item.Attribute(QStringLiteral("text")));
        QAction* action = nullptr;
        if (!item.children.empty()) {
            QMenu* sub = menu->addMenu(text);
            Fill(sub, item);
            action = sub->menuAction();
        } else {
            action = menu->addAction(text);
            const MenuCommand command{name, item.Attribute(QStringLiteral("userdata")), text};
            connect(action, &QAction::triggered, this, [this, command] {
                // After the menu has closed: the handler may block in a modal window.
                QMetaObject::invokeMethod(
                    this, [this, command] { Deliver(command); }, Qt::QueuedConnection);
            });
        }
        action->setProperty(kNameProperty, name);
        action->setProperty(kUserDataProperty, item.Attribute(QStringLiteral("userdata")));
        const QString visible = item.Attribute(QStringLiteral("visible"));
        if (!visible.isNull()) {
            action->setVisible(attr::ParseBool(visible));
        }
        const QString enabled = item.Attribute(QStringLiteral("enabled"));
        if (!enabled.isNull()) {
            action->setEnabled(attr::ParseBool(enabled));
        }
    }
}

void CMenuWnd::Deliver(const MenuCommand& command) {
    if (handler_) {
        handler_(command);
    }
}

void CMenuWnd::Popup(const QPoint& anchor, Qt::Alignment corner) {
    if (!menu_) {
        return;
    }
    const QSize size = menu_->sizeHint();
    QPoint topLeft = anchor;
    if (corner & Qt::AlignRight) {
        topLeft.rx() -= size.width();
    }
    if (corner & Qt::AlignBottom) {
        topLeft.ry() -= size.height();
    }
    menu_->popup(topLeft);
}

void CMenuWnd::Close() {
    if (menu_) {
        menu_->close();
    }
}

namespace {
void CollectNames(const QMenu* menu, QStringList& names) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            continue;
        }
        names << action->property(kNameProperty).toString();
        if (const QMenu* sub = action->menu()) {
            CollectNames(sub, names);
        }
    }
}

QAction* Find(const QMenu* menu, const QString& name) {
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() &&
            action->property(kNameProperty).toString().compare(name, Qt::CaseInsensitive) == 0) {
            return action;
        }
        if (const QMenu* sub = action->menu()) {
            if (QAction* found = Find(sub, name)) {
                return found;
            }
        }
    }
    return nullptr;
}
}  // namespace

QStringList CMenuWnd::ItemNames() const {
    QStringList names;
    if (menu_) {
        CollectNames(menu_.get(), names);
    }
    return names;
}

QAction* CMenuWnd::FindItem(const QString& name) const {
    return menu_ && !name.isEmpty() ? Find(menu_.get(), name) : nullptr;
}

}  // namespace morva::ui
