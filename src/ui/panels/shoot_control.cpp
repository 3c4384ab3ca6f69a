#include "ui/panels/shoot_control.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "base/parse_int.h"
#include "device/models/mouse_device.h"
#include "ui/panels/page_services.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/theme.h"

namespace morva::ui {

namespace {

const QString kShootFilter = QStringLiteral("Shoot Files(*.shoot)");
const QString kShootPattern = QStringLiteral("*.shoot;");

}  // namespace

// ---- The path ----

void CShootPathUI::SetPattern(const std::array<ShootBullet, kShootBullets>& bullets, int marked) {
    bullets_ = bullets;
    marked_ = marked;
    update();
}

void CShootPathUI::paintEvent(QPaintEvent*) {
    std::array<QPointF, kShootBullets + 1> points{};
    for (std::size_t i = 0; i < bullets_.size(); ++i) {
        const ShootBullet& b = bullets_[i];
        points[i + 1] = points[i] + QPointF(b.left ? -b.x : b.x, b.up ? -b.y : b.y);
    }
    // Not QRectF's union: it drops empty rectangles, and a point is one.
    qreal left = 0, top = 0, right = 0, bottom = 0;
    for (const QPointF& p : points) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    const QRectF box(QPointF(left, top), QPointF(right, bottom));
    const qreal room = CPaintManagerUI::Scale(16);
    const QRectF area = QRectF(rect()).adjusted(room, room, -room, -room);
    // One scale for both axes, so a pull to the side looks as strong as it is.
    const qreal scale = std::min(area.width() / std::max<qreal>(box.width(), 1),
                                 area.height() / std::max<qreal>(box.height(), 1));
    const QPointF origin(area.center().x() - box.center().x() * scale,
                         area.center().y() - box.center().y() * scale);
    auto place = [&](const QPointF& p) { return origin + p * scale; };

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath line(place(points[0]));
    for (std::size_t i = 1; i < points.size(); ++i)
        line.lineTo(place(points[i]));
    painter.setPen(QPen(QColor::fromRgba(theme::kTextSecondary), CPaintManagerUI::Scale(1)));
    painter.drawPath(line);
    const qreal dot = CPaintManagerUI::Scale(3);
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 1; i < points.size(); ++i) {
        const bool marked = static_cast<int>(i) - 1 == marked_;
        painter.setBrush(QColor::fromRgba(marked ? theme::kText : theme::kAccent));
        painter.drawEllipse(place(points[i]), marked ? 2 * dot : dot, marked ? 2 * dot : dot);
    }
}

// ---- The panel ----

CControlUI* CShootControlUI::Find(const QString& name) const {
    return CPaintManagerUI::FindSubControlByName(this, name);
}

CControlUI* CShootControlUI::Indexed(const char* prefix, int n) const {
    return Find(QLatin1String(prefix) + QString::number(n));
}

int CShootControlUI::EditValue(const char* name) const {
    const CControlUI* edit = Find(QLatin1String(name));
    // Leading digits, as typed; none counts as 0. The model holds the value to its range.
    return edit != nullptr ? static_cast<int>(ParseLeadingInt(edit->GetText().toStdString())) : 0;
}

void CShootControlUI::InitShootData(CTessaronMouseDevice& mouse) {
    mouse.RestoreShootPatterns();
    SelectWeapon(0);
    SelectBullet(0, mouse);
}

void CShootControlUI::SelectWeapon(int n) {
    weapon_ = std::clamp(n, 0, kShootWeapons - 1);
    for (int i = 0; i < kShootWeapons; ++i)
        SetOn(Indexed("shoot_gun_op_", i), i == weapon_);
    if (auto* pictures = dynamic_cast<CTabLayoutUI*>(Find("shoot_image_display_switch")))
        pictures->SelectItem(weapon_);
}

void CShootControlUI::SelectBullet(int n, CTessaronMouseDevice& mouse) {
    bullet_ = std::clamp(n, 0, kShootBullets - 1);
    for (int i = 0; i < kShootBullets; ++i)
        SetOn(Indexed("bullet_op_", i), i == bullet_);
    if (CControlUI* index = Find("bullet_select_index"))
        index->SetText(QString::number(bullet_ + 1));
    ShowCurrentBullet(mouse);
}

void CShootControlUI::ShowCurrentBullet(CTessaronMouseDevice& mouse) {
    const std::array<ShootBullet, kShootBullets> pattern = mouse.ShootPattern(weapon_);
    const ShootBullet b = pattern[static_cast<std::size_t>(std::max(bullet_, 0))];
    SetOn(Find("bullet_x_check"), b.left);
    SetOn(Find("bullet_y_check"), b.up);
    UpdateXDirectionText();
    UpdateYDirectionText();
    const std::pair<const char*, int> numbers[] = {
        {"bullet_x_eidt", b.x}, {"bullet_y_eidt", b.y}, {"bullet_delay_eidt", b.delay}};
    for (const auto& [name, value] : numbers) {
        if (CControlUI* edit = Find(name))
            edit->SetText(QString::number(value));
    }
    if (auto* path = dynamic_cast<CShootPathUI*>(Indexed("shoot_path_", weapon_)))
        path->SetPattern(pattern, bullet_);
}

void CShootControlUI::UpdateXDirectionText() {
    if (CControlUI* x = Find("bullet_x_check"))
        x->SetText(IsOn(x) ? QStringLiteral("mouse_move_to_left_text")
                           : QStringLiteral("mouse_move_to_right_text"));
}

void CShootControlUI::UpdateYDirectionText() {
    if (CControlUI* y = Find("bullet_y_check"))
        y->SetText(IsOn(y) ? QStringLiteral("mouse_move_to_up_text")
                           : QStringLiteral("mouse_move_to_down_text"));
}

void CShootControlUI::OnWeaponChosen(int n, CTessaronMouseDevice& mouse) {
    SelectWeapon(n);
    ShowCurrentBullet(mouse);
}

void CShootControlUI::OnBulletChosen(int n, CTessaronMouseDevice& mouse) {
    // The group also announces the option that lost the choice.
    if (IsOn(Indexed("bullet_op_", n)))
        SelectBullet(n, mouse);
}

void CShootControlUI::OnPreviousBullet(CTessaronMouseDevice& mouse) {
    SelectBullet(bullet_ - 1, mouse);
}

void CShootControlUI::OnNextBullet(CTessaronMouseDevice& mouse) {
    SelectBullet(bullet_ + 1, mouse);
}

void CShootControlUI::OnBulletEdited(CTessaronMouseDevice& mouse, IPageServices& services) {
    if (bullet_ < 0)
        return;
    ShootBullet b;
    b.left = IsOn(Find("bullet_x_check"));
    b.x = EditValue("bullet_x_eidt");
    b.up = IsOn(Find("bullet_y_check"));
    b.y = EditValue("bullet_y_eidt");
    b.delay = EditValue("bullet_delay_eidt");
    services.Report(mouse.ChangeShootBullet(weapon_, bullet_, b));
    ShowCurrentBullet(mouse);  // as stored: a value beyond its range shows where it is held
}

void CShootControlUI::OnSave(CTessaronMouseDevice& mouse, IPageServices& services) {
    const OpResult result = mouse.SendShootPatterns();
    if (result.Ok())
        services.ShowNote(QStringLiteral("op_saved_to_device"));
    services.Report(result);
}

void CShootControlUI::OnReset(CTessaronMouseDevice& mouse, IPageServices& services) {
    services.Report(mouse.ResetShootPattern(weapon_));
    SelectBullet(bullet_, mouse);
}

void CShootControlUI::OnImport(CTessaronMouseDevice& mouse, IPageServices& services) {
    const QString path = services.OpenFile(kShootFilter, kShootPattern);
    if (path.isEmpty())
        return;
    const OpResult result = mouse.ImportShootPattern(weapon_, path.toStdString());
    if (result.Ok())
        services.ShowNote(QStringLiteral("shoot_import_done"));
    services.Report(result);
    SelectBullet(bullet_, mouse);
}

void CShootControlUI::OnExport(CTessaronMouseDevice& mouse, IPageServices& services) {
    const QString path = services.SaveFile(kShootFilter, kShootPattern);
    if (path.isEmpty())
        return;
    const OpResult result = mouse.ExportShootPattern(weapon_, path.toStdString());
    if (result.Ok())
        services.ShowNote(QStringLiteral("shoot_export_done"));
    services.Report(result);
}

}  // namespace morva::ui
