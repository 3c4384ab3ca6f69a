// The background pop-up under the caption's skin button of the real main window: choices
// reach the window at once, "main.ini" records them and the next start shows them again.
#include <gtest/gtest.h>

#include <QSettings>
#include <QTest>

#include <vector>

#include "app/sim_window.h"
#include "app/skin_frame.h"
#include "box_answers.h"
#include "support/file_size_limit.h"
#include "ui/toolkit/controls.h"

namespace morva::app {
namespace {

using ui::CControlUI;

class SkinFrameTest : public ::testing::Test {
protected:
    void SetUp() override { Restart(); }

    // A new main window on the same data folder, as the next start of the program.
    void Restart() {
        window_.reset();
        ASSERT_TRUE(test::BuildMainWindow(dir_, settings_, language_, window_));
        window_->ApplyLanguage(0);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    CControlUI* Root() { return window_->FindControl(QStringLiteral("root")); }
    CSkinFrame* OpenFrame() {
        CControlUI* button = window_->FindControl(QStringLiteral("skinbtn"));
        EXPECT_NE(button, nullptr);
        QTest::mouseClick(button->GetWidget(), Qt::LeftButton);
        CSkinFrame* frame = CSkinFrame::Current();
        EXPECT_TRUE(frame != nullptr && frame->isVisible());
        return frame;
    }
    // Every control of the pop-up with the name (the offered pictures share one).
    static std::vector<CControlUI*> Named(CSkinFrame& frame, const char* name) {
        std::vector<CControlUI*> found;
        ui::CPaintManagerUI::ForEachControl(&frame, [&](CControlUI* c) {
            if (c->GetName() == QLatin1String(name))
                found.push_back(c);
            return true;
        });
        return found;
    }
    static void Click(CControlUI* c) { QTest::mouseClick(c->GetWidget(), Qt::LeftButton); }
    QString Ini(const char* key) {
        const QSettings ini(QString::fromStdString(window_->Skin().File()), QSettings::IniFormat);
        return ini.value(QStringLiteral("SKINIMAGE/") + QLatin1String(key)).toString();
    }

    test::TempDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<ui::CLanguageManager> language_;
    std::unique_ptr<CMainWnd> window_;
};

TEST_F(SkinFrameTest, PicturesAndColoursShowAtOnceAndAgainAtTheNextStart) {
    const QColor layoutColour = Root()->GetBkColor();
    CSkinFrame* frame = OpenFrame();
    ASSERT_NE(frame, nullptr);
    CControlUI* button = window_->FindControl(QStringLiteral("skinbtn"));
    const QRect anchor(button->GetWidget()->mapToGlobal(QPoint(0, 0)), button->GetWidget()->size());
    EXPECT_EQ(frame->geometry().right(), anchor.right()) << "right edges aligned";
    EXPECT_EQ(frame->geometry().top(), anchor.bottom() + 1) << "just below the button";

    const std::vector<CControlUI*> pictures = Named(*frame, "skin_image_btn");
    ASSERT_GE(pictures.size(), 2u);
    const QString picture = pictures[1]->GetUserData();
    Click(pictures[1]);
    EXPECT_EQ(Root()->GetBkImage(), picture);
    EXPECT_EQ(Root()->GetBkColor().alpha(), 0);
    EXPECT_EQ(Ini("FLAGS"), "1");
    EXPECT_EQ(Ini("IMAGE"), picture);

    Click(Named(*frame, "skin_color").at(0));
    const std::vector<CControlUI*> colours = Named(*frame, "skin_color_btn");
    ASSERT_GE(colours.size(), 3u);
    const QColor colour = colours[2]->GetBkColor();
    Click(colours[2]);
    EXPECT_EQ(Root()->GetBkColor(), colour);
    EXPECT_TRUE(Root()->GetBkImage().isEmpty());
    EXPECT_EQ(Ini("IMAGE"), picture) << "a colour leaves the recorded picture alone";

    Restart();
    EXPECT_EQ(Root()->GetBkColor(), colour);
    EXPECT_TRUE(Root()->GetBkImage().isEmpty());

    frame = OpenFrame();
    ASSERT_NE(frame, nullptr);
    Click(Named(*frame, "skin_reset").at(0));
    EXPECT_EQ(Ini("FLAGS"), "0");
    EXPECT_EQ(Ini("IMAGE"), "common/background.png");
    Restart();
    EXPECT_EQ(Root()->GetBkColor(), layoutColour) << "the layout's own background again";
}

TEST_F(SkinFrameTest, AChoiceThatCannotBeKeptShowsAllTheSameAndSaysSo) {
    test::BoxAnswers boxes;
    CSkinFrame* frame = OpenFrame();
    ASSERT_NE(frame, nullptr);
    const QColor before = Root()->GetBkColor();
    Click(Named(*frame, "skin_color").at(0));
    const std::vector<CControlUI*> colours = Named(*frame, "skin_color_btn");
    ASSERT_GE(colours.size(), 2u);
    const QColor colour = colours[1]->GetBkColor();
    {
        const test::FileSizeLimit full(0);
        Click(colours[1]);
    }
    EXPECT_EQ(Root()->GetBkColor(), colour);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.texts.isEmpty(); }));
    EXPECT_EQ(boxes.texts, QStringList{language_->Text(kMsgSettingNotSaved)});
    Restart();
    EXPECT_EQ(Root()->GetBkColor(), before) << "nothing was kept for the next start";
}

TEST_F(SkinFrameTest, APressOutsideClosesThePopUpWithoutAChange) {
    const QColor before = Root()->GetBkColor();
    ASSERT_NE(OpenFrame(), nullptr);
    // Through the window system, as a real press arrives: the open pop-up sees it first.
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, QPoint(500, 400));
    EXPECT_TRUE(QTest::qWaitFor([] { return CSkinFrame::Current() == nullptr; }));
    EXPECT_EQ(Root()->GetBkColor(), before);
    EXPECT_TRUE(Root()->GetBkImage().isEmpty());
}

}  // namespace
}  // namespace morva::app
