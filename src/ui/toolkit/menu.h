// Pop-up menus built from a menu layout:
//   <Menu>
//     <MenuElement name="about_menu" text="menu_about" userdata="..."/>
//     <MenuElement line="true"/>                       (a separator)
//     <MenuElement name="more" text="menu_more">       (a submenu)
//       <MenuElement name="x" text="..."/>
//     </MenuElement>
//   </Menu>
// Texts are language keys. An item click reaches the handler with the item's name after the
// menu has closed (queued), so the handler may open windows of its own.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

namespace morva::ui {

struct XmlElement;

struct MenuCommand {
    QString name;
    QString userData;
    QString text;
};

class CMenuWnd : public QObject {
    Q_OBJECT

public:
    using ItemHandler = std::function<void(const MenuCommand&)>;

    // owner: the window whose language the texts use; the menu lives as long as it.
    explicit CMenuWnd(QWidget* owner);
    ~CMenuWnd() override;

    // A res.xml id or a file under the resource root; false when it cannot be read.
    bool LoadLayout(const QString& skin);
    bool LoadLayoutText(const QString& xml);
    void SetItemHandler(ItemHandler handler) { handler_ = std::move(handler); }

    // Opens without blocking with the given corner at `anchor` (global pixels):
    // AlignLeft|AlignTop puts the menu's top-left corner there, AlignRight|AlignBottom its
    // bottom-right corner, and so on.
    void Popup(const QPoint& anchor, Qt::Alignment corner = Qt::AlignLeft | Qt::AlignTop);
    void Close();
    QMenu* GetMenu() const { return menu_.get(); }
    // Names of every item, submenus included, in menu order.
    QStringList ItemNames() const;
    // The item's action, or null (name case ignored).
    QAction* FindItem(const QString& name) const;

private:
    void Fill(QMenu* menu, const XmlElement& element);
    void Deliver(const MenuCommand& command);

    QPointer<QWidget> owner_;
    std::unique_ptr<QMenu> menu_;
    ItemHandler handler_;
};

}  // namespace morva::ui
