// Shared pieces of the toolkit tests: a window built from a layout text, a notification
// recorder and a bounded wait on the event loop.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <map>
#include <vector>

#include "support/temp_dir.h"
#include "ui/toolkit/dialog_builder.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/resource_manager.h"
#include "ui/toolkit/window.h"

// Readable gtest output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[' << list.join(u", ").toStdString() << ']';
}

namespace morva::ui::test {

struct Recorded {
    QString type;
    QString sender;
    intptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Runs the event loop until `done` holds or `ms` pass; true when it holds.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 2000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

inline void ProcessFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A window whose layout is a file name under the test's resource root.
class TestWindow : public WindowImplBase {
public:
    explicit TestWindow(QString skin, QWidget* owner = nullptr)
        : WindowImplBase(owner), skin_(std::move(skin)) {}

    std::vector<Recorded> notes;
    // Every notification type except these is recorded.
    QStringList ignored{QStringLiteral("msenter"), QStringLiteral("msleave"),
                        QStringLiteral("setfocus"), QStringLiteral("killfocus"),
                        QStringLiteral("windowsize")};
    std::function<CControlUI*(const QString&)> factory;
    QStringList askedTags;
    int initCount = 0;
    std::function<intptr_t(int, intptr_t, intptr_t, bool&)> onMessage;

    QStringList Types() const {
        QStringList out;
        for (const Recorded& r : notes) {
            out << r.type;
        }
        return out;
    }
    // "type:sender" per notification.
    QStringList Trace() const {
        QStringList out;
        for (const Recorded& r : notes) {
            out << r.type + u':' + r.sender;
        }
        return out;
    }
    template <class T>
    T* Find(const QString& name) const {
        return dynamic_cast<T*>(FindControl(name));
    }

protected:
    QString GetSkinFile() override { return skin_; }
    void InitWindow() override { ++initCount; }
    void Notify(const TNotifyUI& msg) override {
        if (!ignored.contains(msg.sType)) {
            notes.push_back({msg.sType, msg.pSender != nullptr ? msg.pSender->GetName() : QString(),
                             msg.wParam, msg.lParam});
        }
    }
    CControlUI* CreateControl(const QString& tag) override {
        askedTags << tag;
        return factory ? factory(tag) : nullptr;
    }
    intptr_t HandleCustomMessage(int msg, intptr_t w, intptr_t l, bool& handled) override {
        return onMessage ? onMessage(msg, w, l, handled) : 0;
    }

private:
    QString skin_;
};

// Each test gets a fresh resource root and the toolkit's process-wide state back to its
// defaults afterwards.
class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override { CResourceManager::Instance().SetResourcePath(Root()); }
    void TearDown() override {
        CPaintManagerUI::SetAllDPI(96);
        CPaintManagerUI::SetDefaultLanguageResolver({});
        CPaintManagerUI::RemoveAllSharedFonts();
        CResourceManager::Instance().SetResourcePath({});
    }

    QString Root() const { return QString::fromStdString(dir.path().string()); }
    // Writes a file under the resource root (folders created) and returns its name.
    QString Write(const QString& name, const QString& text) const {
        const std::filesystem::path p = dir.path() / name.toStdString();
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text.toStdString();
        return name;
    }
    // A shown window built from `layout` (written as "XML/test.xml").
    std::unique_ptr<TestWindow> Show(const QString& layout) {
        auto w = std::make_unique<TestWindow>(Write(QStringLiteral("XML/test.xml"), layout));
        w->ShowWindow();
        return w;
    }

    morva::test::TempDir dir;
};

}  // namespace morva::ui::test
