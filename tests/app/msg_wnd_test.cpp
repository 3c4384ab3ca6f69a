#include "app/msg_wnd.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QXmlStreamReader>

#include <functional>
#include <string>
#include <vector>

#include "app/about_wnd.h"
#include "base/debug_log.h"
#include "support/temp_dir.h"
#include "ui/toolkit/resource_manager.h"

// Readable gtest output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace morva::app {
namespace {

using ui::CControlUI;
using ui::CPaintManagerUI;

QString SkinDir() {
    return QFileInfo(QStringLiteral(__FILE__))
        .absoluteDir()
        .filePath(QStringLiteral("../../res/skin"));
}

QHash<QString, QString> ReadLanguage(const QString& file) {
    QHash<QString, QString> texts;
    QFile f(QDir(SkinDir()).filePath(file));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"Text") {
            texts.insert(xml.attributes().value("id").toString(),
                         xml.attributes().value("value").toString());
        }
    }
    EXPECT_FALSE(xml.hasError()) << file.toStdString();
    return texts;
}

void UseLanguage(const QString& file) {
    CPaintManagerUI::SetDefaultLanguageResolver(
        [texts = ReadLanguage(file)](const QString& key) { return texts.value(key); });
}

QString Text(ui::WindowImplBase& w, const char* name) {
    CControlUI* c = w.FindControl(QString::fromLatin1(name));
    return c != nullptr ? c->GetText() : QStringLiteral("<missing>");
}

bool Shown(ui::WindowImplBase& w, const char* name) {
    CControlUI* c = w.FindControl(QString::fromLatin1(name));
    return c != nullptr && c->GetWidget()->isVisible();
}

void Click(ui::WindowImplBase& w, const char* name) {
    CControlUI* c = w.FindControl(QString::fromLatin1(name));
    ASSERT_NE(c, nullptr) << name;
    auto* button = qobject_cast<QAbstractButton*>(c->GetWidget());
    ASSERT_NE(button, nullptr) << name;
    button->click();
}

// A layout with other defaults than the shipped one, buttons named in mixed case.
constexpr char kCustomLayout[] = R"(<Window size="300,160">
  <VerticalLayout>
    <Label name="MessageTitle" text="msg_title_default"/>
    <MsgText name="MessageText" text="the layout's own text"/>
    <HorizontalLayout height="40">
      <Button name="MinBtn"/>
      <Button name="CloseBtn"/>
      <Button name="Cancel_Btn" text="msg_cancel" visible="false"/>
      <Button name="Confirm_BTN" text="msg_confirm"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

class MsgWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::CResourceManager::Instance().SetResourcePath(SkinDir());
        UseLayout("XML/msgbox.xml");
        UseLanguage(QStringLiteral("lan_en.xml"));
        SetDebugSink([this](std::string_view line) { log_ += line; });
        // Whatever stays open at the end of a test is a failure; closing it lets the test end.
        watchdog_.setSingleShot(true);
        watchdog_.callOnTimeout([] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* wnd = qobject_cast<ui::WindowImplBase*>(w); wnd && wnd->isVisible()) {
                    ADD_FAILURE() << "window still open";
                    wnd->Close(-99);
                }
            }
        });
    }
    void TearDown() override {
        SetDebugSink({});
        CPaintManagerUI::SetDefaultLanguageResolver({});
        CPaintManagerUI::SetAllDPI(96);
        ui::CResourceManager::Instance().Release();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Maps "XML_MSG" to a layout file: under the skin folder, or a text of the test's own.
    void UseLayout(std::string file, const char* text = nullptr) {
        if (text != nullptr) {
            file = dir_.Write("layout.xml", text);
        }
        const std::string map = dir_.Write(
            "res.xml", "<Resource><File id=\"XML_MSG\" path=\"" + file + "\"/></Resource>");
        ASSERT_TRUE(ui::CResourceManager::Instance().LoadResource(QString::fromStdString(map)));
    }

    // Runs `inside` on the open box once its modal loop runs; it has to end the box.
    int Run(const std::function<void(CMsgWnd&)>& inside, int buttons = 1, const QString& title = {},
            const QString& text = {}, bool isKey = true, int dpi = 96, QWidget* owner = nullptr) {
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<CMsgWnd*>(w); box && box->isVisible()) {
                    opened_ = box;
                    inside(*box);
                    return;
                }
            }
            ADD_FAILURE() << "no message box open";
        });
        watchdog_.start(3000);
        const int result = ShowMessageBox(owner, title, text, dpi, isKey, buttons);
        watchdog_.stop();
        return result;
    }

    test::TempDir dir_;
    QTimer watchdog_;
    QPointer<CMsgWnd> opened_;
    std::string log_;
};

TEST_F(MsgWndTest, ConfirmOnlyModeShowsOneButtonThatConfirms) {
    const int result = Run(
        [](CMsgWnd& w) {
            EXPECT_TRUE(Shown(w, "confirm_btn"));
            EXPECT_FALSE(Shown(w, "cancel_btn"));
            Click(w, "confirm_btn");
        },
        kMsgButtonsConfirm);
    EXPECT_EQ(result, 1);
}

TEST_F(MsgWndTest, EveryWayOutButConfirmGivesZero) {
    const std::vector<std::pair<const char*, std::function<void(CMsgWnd&)>>> ways = {
        {"cancel_btn", [](CMsgWnd& w) { Click(w, "cancel_btn"); }},
        {"closebtn", [](CMsgWnd& w) { Click(w, "closebtn"); }},
        {"window system", [](CMsgWnd& w) { w.close(); }},
        {"escape",
         [](CMsgWnd& w) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&w, &press);
         }},
    };
    for (const auto& [how, act] : ways) {
        const int result = Run([&](CMsgWnd& w) {
            EXPECT_TRUE(Shown(w, "confirm_btn")) << how;
            EXPECT_TRUE(Shown(w, "cancel_btn")) << how;
            act(w);
        });
        EXPECT_EQ(result, 0) << how;
    }
}

// Return goes where the keyboard focus is, as a real key press does: the confirm button has it
// when the box opens; a button the user moved to answers instead.
TEST_F(MsgWndTest, ReturnPressesTheFocusedButtonConfirmFirst) {
    auto pressReturn = [](CMsgWnd& w) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(w.focusWidget() != nullptr ? w.focusWidget() : &w, &press);
    };
    for (const int mode : {kMsgButtonsConfirm, kMsgButtonsConfirmCancel}) {
        const int result = Run(
            [&](CMsgWnd& w) {
                EXPECT_EQ(w.focusWidget(),
                          w.FindControl(QStringLiteral("confirm_btn"))->GetWidget());
                pressReturn(w);
            },
            mode);
        EXPECT_EQ(result, 1) << "mode " << mode;
    }
    const int result = Run([&](CMsgWnd& w) {
        w.FindControl(QStringLiteral("cancel_btn"))->GetWidget()->setFocus();
        pressReturn(w);
    });
    EXPECT_EQ(result, 0);
}

TEST_F(MsgWndTest, EmptyTitleAndTextKeepTheLayoutsOwnAndOtherModesItsButtons) {
    UseLayout({}, kCustomLayout);
    Run(
        [](CMsgWnd& w) {
            EXPECT_EQ(Text(w, "MessageTitle"), "Notice");
            EXPECT_EQ(Text(w, "MessageText"), "the layout's own text");
            EXPECT_FALSE(Shown(w, "cancel_btn"));
            Click(w, "minbtn");
            EXPECT_TRUE(w.isMinimized());
            Click(w, "closebtn");
        },
        7);
    const int result = Run(
        [](CMsgWnd& w) {
            EXPECT_EQ(Text(w, "MessageTitle"), "Mouse");
            EXPECT_TRUE(Shown(w, "cancel_btn"));
            Click(w, "confirm_btn");
        },
        kMsgButtonsConfirmCancel, QStringLiteral("Mouse"), {});
    EXPECT_EQ(result, 1);
}

TEST_F(MsgWndTest, TextIsALanguageKeyOrShownExactlyAsGiven) {
    auto check = [this](const QString& text, bool isKey, const QString& en, const QString& cn) {
        Run(
            [&](CMsgWnd& w) {
                EXPECT_EQ(Text(w, "MessageText"), en);
                UseLanguage(QStringLiteral("lan_cn.xml"));
                w.ReloadText();
                EXPECT_EQ(Text(w, "MessageText"), cn);
                UseLanguage(QStringLiteral("lan_en.xml"));
                Click(w, "confirm_btn");
            },
            kMsgButtonsConfirm, {}, text, isKey);
    };
    check(QStringLiteral("message_text_4"), true, QStringLiteral("Delete this macro?"),
          QStringLiteral("确定删除这个宏吗？"));
    // A plain text stays as given even when it reads like a key, in any language.
    check(QStringLiteral("message_text_4"), false, QStringLiteral("message_text_4"),
          QStringLiteral("message_text_4"));
}

TEST_F(MsgWndTest, MissingControlsLeaveTitleAndTextUnset) {
    UseLayout({}, R"(<Window size="200,100"><Button name="confirm_btn"/></Window>)");
    EXPECT_EQ(Run([](CMsgWnd& w) { Click(w, "confirm_btn"); }, kMsgButtonsConfirm,
                  QStringLiteral("title"), QStringLiteral("message_text_4")),
              1);
}

TEST_F(MsgWndTest, DpiOutsideTheStepsFallsBackTo96) {
    CPaintManagerUI::SetAllDPI(144);
    Run(
        [](CMsgWnd& w) {
            EXPECT_EQ(CPaintManagerUI::GetDPI(), 96);
            EXPECT_EQ(w.GetDPI(), 96);
            EXPECT_EQ(w.size(), QSize(440, 220));
            Click(w, "cancel_btn");
        },
        1, {}, {}, true, 100);
    EXPECT_NE(log_.find("MSG_WND DPI SET ERROR"), std::string::npos);

    log_.clear();
    Run(
        [](CMsgWnd& w) {
            EXPECT_EQ(CPaintManagerUI::GetDPI(), 120);
            EXPECT_EQ(w.size(), QSize(550, 275)) << "the box follows the new scale";
            Click(w, "cancel_btn");
        },
        1, {}, {}, true, 120);
    EXPECT_EQ(log_.find("MSG_WND DPI SET ERROR"), std::string::npos);
}

TEST_F(MsgWndTest, OwnedBoxIsCentredOverItsOwnerAndModalToIt) {
    QWidget owner;
    owner.setGeometry(100, 80, 900, 600);
    owner.show();
    Run(
        [&](CMsgWnd& w) {
            EXPECT_EQ(w.parentWidget(), &owner);
            EXPECT_EQ(w.windowModality(), Qt::WindowModal);
            const QPoint offset = w.geometry().center() - owner.frameGeometry().center();
            EXPECT_LE(offset.manhattanLength(), 2);
            Click(w, "confirm_btn");
        },
        kMsgButtonsConfirm, {}, {}, true, 96, &owner);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(opened_.isNull()) << "the box is freed after it answered";
}

TEST_F(MsgWndTest, AboutShowsTheVersionAsBuiltThroughALanguageChange) {
    QWidget owner;
    owner.setGeometry(0, 0, 1000, 640);
    owner.show();
    int again = 0;
    QTimer::singleShot(0, [&] {
        CAboutWnd* w = CAboutWnd::Current();
        if (w == nullptr) {
            ADD_FAILURE() << "no about window";
            return;
        }
        EXPECT_EQ(w->size(), QSize(800, 572));
        EXPECT_EQ(Text(*w, "software_ver_label"), "Software version: 1.0.3");
        EXPECT_EQ(w->GetVersionLine(), "Software version: 1.0.3");
        again = OpenAboutWindow(&owner, QStringLiteral("2.0"));

        UseLanguage(QStringLiteral("lan_cn.xml"));
        w->SendMessage(CAboutWnd::kMsgLanguageChanged);
        EXPECT_EQ(Text(*w, "about_title"), "关于");
        EXPECT_EQ(Text(*w, "software_ver_label"), "Software version: 1.0.3");
        Click(*w, "closebtn");
    });
    watchdog_.start(3000);
    EXPECT_EQ(OpenAboutWindow(&owner, QStringLiteral("1.0.3")), 0);
    watchdog_.stop();
    EXPECT_EQ(again, -1) << "only one about window at a time";
    EXPECT_EQ(CAboutWnd::Current(), nullptr);
}

// Keys the program passes to message boxes in code; layouts are checked with the languages.
TEST(LanguageFilesTest, MessageKeysExistInEveryLanguage) {
    const char* const keys[] = {"message_text_2",  "message_text_4",  "message_text_5",
                                "message_text_6",  "message_text_7",  "message_text_16",
                                "message_text_22", "message_text_25", "software_rev_text"};
    for (const char* file : {"lan_en.xml", "lan_cn.xml"}) {
        const QHash<QString, QString> texts = ReadLanguage(QString::fromLatin1(file));
        for (const char* key : keys) {
            EXPECT_FALSE(texts.value(QString::fromLatin1(key)).isEmpty()) << file << ": " << key;
        }
        // Filled in with one number by the caller.
        EXPECT_EQ(texts.value("message_text_16").count(QStringLiteral("%d")), 1) << file;
    }
}

}  // namespace
}  // namespace morva::app
