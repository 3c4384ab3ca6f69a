#include "ui/language/language_manager.h"

#include <gtest/gtest.h>

#include <functional>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QXmlStreamReader>

#include "support/killed_child.h"
#include "support/temp_dir.h"

namespace morva::ui {
namespace {

// A data folder with four languages and a settings file of its own.
class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Write("Language.config", R"({ "Language": [
            { "Language_ID": 10, "Language_name": "a", "Language_file": "a.xml", "Language_text": "la" },
            { "Language_ID": 20, "Language_name": "b", "Language_file": "b.xml", "Language_text": "lb" },
            { "Language_ID": 30, "Language_name": "c", "Language_file": "c.xml", "Language_text": "lc" },
            { "Language_ID": 40, "Language_name": "d", "Language_file": "missing.xml", "Language_text": "ld" } ] })");
        dir_.Write("a.xml", R"(<Language><Text id="hello" value="Hello"/></Language>)");
        dir_.Write("b.xml", R"(<Language><Text id="hello" value="你好"/></Language>)");
        dir_.Write("c.xml", "<Language><Text id=\"hello\" value=\"broken\"></Language>");
    }

    QString Folder() const { return QString::fromStdString(dir_.path().string()); }
    QSettings Settings() const {
        return QSettings(QString::fromStdString(dir_.File("settings.ini")), QSettings::IniFormat);
    }

    test::TempDir dir_;
};

TEST_F(LanguageTest, AppliesTextsAndSurvivesARestart) {
    QSettings settings = Settings();
    CLanguageManager manager(Folder(), Folder(), settings);
    EXPECT_EQ(manager.GetSavedLanguage(), 0) << "nothing saved yet";
    ASSERT_TRUE(manager.ApplyLanguage(0).changed);
    EXPECT_EQ(manager.Text("hello"), "Hello");
    EXPECT_EQ(manager.Text("unknown_key"), "unknown_key");
    manager.ApplyLanguage(1);
    EXPECT_EQ(manager.Text("hello"), "你好");

    QSettings again = Settings();
    CLanguageManager restarted(Folder(), Folder(), again);
    EXPECT_EQ(restarted.GetSavedLanguage(), 1);
}

TEST_F(LanguageTest, UnknownSavedIdAndBrokenFilesFallBack) {
    QSettings settings = Settings();
    settings.setValue("LANGUAGE", 99);
    CLanguageManager manager(Folder(), Folder(), settings);
    EXPECT_EQ(manager.GetSavedLanguage(), 0);

    manager.ApplyLanguage(2);  // a language file that is not well formed
    EXPECT_EQ(manager.Text("hello"), "hello");
    manager.ApplyLanguage(3);  // a missing one
    EXPECT_TRUE(manager.Table().Texts().isEmpty());
    EXPECT_EQ(settings.value("LANGUAGE").toInt(), 40);
}

TEST_F(LanguageTest, SameLanguageAppliesNothing) {
    QSettings settings = Settings();
    CLanguageManager manager(Folder(), Folder(), settings);
    manager.ApplyLanguage(1);
    settings.setValue("LANGUAGE", 77);
    EXPECT_FALSE(manager.ApplyLanguage(1).changed);
    EXPECT_EQ(settings.value("LANGUAGE").toInt(), 77) << "no write for the current language";
}

TEST_F(LanguageTest, FontTableIsRebuiltOnlyWhenTheFaceFamilyChanges) {
    QSettings settings = Settings();
    CLanguageManager manager(Folder(), Folder(), settings);
    EXPECT_EQ(manager.ApplyLanguage(1).fontFace, "Verdana Unicode MS") << "first application";
    EXPECT_FALSE(manager.ApplyLanguage(3).fontFace) << "1 to 3 keeps the face";
    EXPECT_EQ(manager.ApplyLanguage(0).fontFace, "汉仪菱心体简");
    EXPECT_EQ(manager.ApplyLanguage(15).fontFace, "Noto Sans Thai");
    EXPECT_EQ(manager.ApplyLanguage(1).fontFace, "Verdana Unicode MS") << "15 to 1";
    EXPECT_EQ(manager.ApplyLanguage(2).fontFace, "Noto Sans CJK TC Regular");
}

TEST(ShippedLanguages, EnglishFirstAndEveryKeyInBothLanguages) {
    const QString res = QStringLiteral(MORVA_RES_DIR);
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "morva-test", "unused");
    CLanguageManager manager(res + "/DefaultData", res + "/skin", settings);
    const QVector<LanguageEntry> entries = manager.Entries();
    ASSERT_GE(entries.size(), 2);
    EXPECT_EQ(entries[0].file, "lan_en.xml");
    EXPECT_EQ(entries[1].file, "lan_cn.xml");

    CLanguageTable en, cn;
    ASSERT_TRUE(en.Load(res + "/skin/lan_en.xml"));
    ASSERT_TRUE(cn.Load(res + "/skin/lan_cn.xml"));
    QStringList missing;
    for (auto it = en.Texts().begin(); it != en.Texts().end(); ++it) {
        if (!cn.Has(it.key()))
            missing << "cn:" + it.key();
    }
    for (auto it = cn.Texts().begin(); it != cn.Texts().end(); ++it) {
        if (!en.Has(it.key()))
            missing << "en:" + it.key();
    }
    for (const LanguageEntry& e : entries) {
        if (!en.Has(e.textKey) || !cn.Has(e.textKey))
            missing << e.textKey;
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(", ").toStdString();
}

// Every text, tool tip and prompt in a layout or menu that looks like a language key.
QStringList KeysUsedByLayouts(const QString& skin) {
    static const QRegularExpression key(QStringLiteral("^[A-Za-z][A-Za-z0-9_.]*$"));
    QStringList keys;
    QDirIterator it(skin, {QStringLiteral("*.xml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QFileInfo(path).fileName();
        if (name.startsWith(QLatin1String("lan_")) || name == QLatin1String("res.xml"))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            for (const char* attr : {"text", "tooltip", "prompttext"}) {
                const QString value = xml.attributes().value(QLatin1String(attr)).toString();
                if (key.match(value).hasMatch())
                    keys << name + ":" + value;
            }
        }
    }
    return keys;
}

TEST(ShippedLanguages, EveryKeyTheLayoutsUseResolvesInBothLanguages) {
    const QString res = QStringLiteral(MORVA_RES_DIR);
    CLanguageTable en, cn;
    ASSERT_TRUE(en.Load(res + "/skin/lan_en.xml"));
    ASSERT_TRUE(cn.Load(res + "/skin/lan_cn.xml"));
    const QStringList used = KeysUsedByLayouts(res + "/skin");
    ASSERT_FALSE(used.isEmpty());
    QStringList missing;
    for (const QString& entry : used) {
        const QString k = entry.section(':', 1);
        if (!en.Has(k))
            missing << "en " + entry;
        if (!cn.Has(k))
            missing << "cn " + entry;
    }
    EXPECT_TRUE(missing.isEmpty()) << "missing keys: " << missing.join(", ").toStdString();
}

}  // namespace
}  // namespace morva::ui

namespace morva::ui {
namespace {

// The settings file is Qt's to write: a writer killed at any moment must leave the old file or
// the new one, whole (Qt replaces it atomically), and the next write must not wait on it.
TEST(KilledSettingWrites, EveryKillLeavesTheOldOrTheNewSettingsWhole) {
    test::TempDir dir;
    const QString path = QString::fromStdString(dir.File("settings.conf"));
    // Large enough that a kill often lands inside a write.
    const auto big = [](int version) { return QString(200000, QLatin1Char(version ? 'b' : 'a')); };
    {
        QSettings first(path, QSettings::IniFormat);
        first.setValue(QStringLiteral("BIG"), big(0));
        first.setValue(QStringLiteral("VERSION"), 0);
    }
    int torn = 0;
    for (int round = 0; round < 30; ++round) {
        ASSERT_TRUE(test::KillPartWay(
            [&](const std::function<void()>& begins) {
                for (int n = 1;; ++n) {
                    QSettings settings(path, QSettings::IniFormat);
                    settings.setValue(QStringLiteral("BIG"), big(n % 2));
                    settings.setValue(QStringLiteral("VERSION"), n % 2);
                    // Just before the write, so the kill lands in it or soon after. (Qt writes
                    // through an unnamed temporary file here: a killed one leaves nothing.)
                    begins();
                    settings.sync();
                }
            },
            1 + round % 4));
        // As the program's start does: a killed write's lock must not hold up the next one.
        RemoveStaleSettingsLock(QSettings(path, QSettings::IniFormat));
        QElapsedTimer next;
        next.start();
        {
            QSettings probe(path, QSettings::IniFormat);
            probe.setValue(QStringLiteral("PROBE"), round);
        }
        EXPECT_LT(next.elapsed(), 5000) << "the next write waited on a killed one's lock";
        // Read as text: another QSettings here would answer from this process's cache.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        const bool v0 = text.contains(QStringLiteral("VERSION=0")) && text.contains(big(0));
        const bool v1 = text.contains(QStringLiteral("VERSION=1")) && text.contains(big(1));
        torn += !(v0 || v1);
    }
    EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace morva::ui
