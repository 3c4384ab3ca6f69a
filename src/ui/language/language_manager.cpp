#include "ui/language/language_manager.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QSettings>
#include <QXmlStreamReader>

#include "profile/json_access.h"
#include "profile/json_file.h"

namespace morva::ui {

namespace {

constexpr int kMissingLanguageId = 520;  // what a missing saved value reads as
const char* const kSettingsKey = "LANGUAGE";
const char* const kDefaultFace = "Verdana Unicode MS";

// Positions whose languages bring their own face; every other position shares the default.
bool HasOwnFace(int position) {
    return position == 0 || position == 2 || position == 15;
}

}  // namespace

bool CLanguageTable::Load(const QString& path) {
    texts_.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&file);
    QHash<QString, QString> texts;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"Text") {
            const auto attributes = xml.attributes();
            texts.insert(attributes.value("id").toString(), attributes.value("value").toString());
        }
    }
    if (xml.hasError())
        return false;
    texts_ = std::move(texts);
    return true;
}

QString CLanguageTable::Text(const QString& key) const {
    return texts_.value(key, key);
}

CLanguageManager::CLanguageManager(QString defaultDataFolder, QString skinFolder,
                                   QSettings& settings)
    : defaultDataFolder_(std::move(defaultDataFolder)),
      skinFolder_(std::move(skinFolder)),
      settings_(settings) {}

QVector<LanguageEntry> CLanguageManager::Entries() const {
    const std::string path = QDir(defaultDataFolder_).filePath("Language.config").toStdString();
    const Json::Value config = ReadJsonFile(path);
    const Json::Value& list = json::Get(config, "Language");
    QVector<LanguageEntry> entries;
    for (Json::ArrayIndex i = 0; i < json::Size(list); ++i) {
        const Json::Value& e = list[i];
        entries.push_back({json::ToInt(json::Get(e, "Language_ID")),
                           QString::fromStdString(json::ToString(json::Get(e, "Language_name"))),
                           QString::fromStdString(json::ToString(json::Get(e, "Language_file"))),
                           QString::fromStdString(json::ToString(json::Get(e, "Language_text")))});
    }
    return entries;
}

int CLanguageManager::GetSavedLanguage() const {
    bool ok = false;
    int saved = settings_.value(kSettingsKey).toInt(&ok);
    if (!ok)
        saved = kMissingLanguageId;
    const QVector<LanguageEntry> entries = Entries();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].id == saved)
            return i;
    }
    return 0;
}

bool CLanguageManager::SaveLanguage(int id) {
    // Unlike a registry key that must exist first, the settings file is created on demand,
    // so the choice survives a restart.
    return SaveSetting(settings_, QString::fromLatin1(kSettingsKey), id);
}

bool SaveSetting(QSettings& settings, const QString& key, const QVariant& value) {
    settings.setValue(key, value);
    settings.sync();
    // status() keeps the first error it ever met, and another QSettings on the file reads
    // the process's cache: the file itself says whether this took. The program's settings
    // are plain numbers and words, written as KEY=VALUE lines.
    QFile file(settings.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = (key + QLatin1Char('=') + value.toString()).toUtf8();
    for (const QByteArray& written : file.readAll().split('\n')) {
        if (written.trimmed() == line)
            return true;
    }
    return false;
}

void RemoveStaleSettingsLock(const QSettings& settings) {
    QFile::remove(settings.fileName() + QStringLiteral(".lock"));
}

QString CLanguageManager::FaceForPosition(int position) {
    switch (position) {
        case 0:
            return QStringLiteral("汉仪菱心体简");
        case 2:
            return QStringLiteral("Noto Sans CJK TC Regular");
        case 15:
            return QStringLiteral("Noto Sans Thai");
        default:
            return QString::fromLatin1(kDefaultFace);
    }
}

void CLanguageManager::InstallFontSubstitutions() {
    QFont::insertSubstitutions(QStringLiteral("汉仪菱心体简"),
                               {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans")});
    QFont::insertSubstitutions(QStringLiteral("Noto Sans CJK TC Regular"),
                               {QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans")});
    QFont::insertSubstitutions(QStringLiteral("Noto Sans Thai"),
                               {QStringLiteral("Noto Sans Thai UI"), QStringLiteral("Noto Sans")});
    QFont::insertSubstitutions(QString::fromLatin1(kDefaultFace),
                               {QStringLiteral("Noto Sans"), QStringLiteral("Noto Sans CJK SC"),
                                QStringLiteral("DejaVu Sans")});
}

CLanguageManager::Applied CLanguageManager::ApplyLanguage(int position) {
    Applied applied;
    if (position == current_)
        return applied;
    if (HasOwnFace(position)) {
        applied.fontFace = FaceForPosition(position);
    } else if (current_ == -1 || HasOwnFace(current_)) {
        applied.fontFace = QString::fromLatin1(kDefaultFace);
    }
    current_ = position;

    const QVector<LanguageEntry> entries = Entries();
    const LanguageEntry entry =
        position >= 0 && position < entries.size() ? entries[position] : LanguageEntry{};
    if (entry.file.isEmpty() || !table_.Load(QDir(skinFolder_).filePath(entry.file))) {
        table_ = CLanguageTable();
    }
    applied.saved = SaveLanguage(entry.id);
    applied.changed = true;
    return applied;
}

}  // namespace morva::ui
