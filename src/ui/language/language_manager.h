// The interface language: the list in "Language.config", the saved choice, and the table of
// texts behind language keys for the language in use.
#pragma once

#include <QHash>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVector>

#include <optional>

class QSettings;

namespace morva::ui {

struct LanguageEntry {
    int id = 0;       // "Language_ID", what is saved
    QString name;     // "Language_name"
    QString file;     // "Language_file", under the skin folder
    QString textKey;  // "Language_text", how the entry is shown in the language list
};

// Texts of one language file: <Language><Text id="key" value="text"/>...</Language>.
class CLanguageTable {
public:
    // False (and an empty table) when the file cannot be read or is not well formed.
    bool Load(const QString& path);
    // The text of a key, or the key itself when the table has none.
    QString Text(const QString& key) const;
    bool Has(const QString& key) const { return texts_.contains(key); }
    const QHash<QString, QString>& Texts() const { return texts_; }

private:
    QHash<QString, QString> texts_;
};

// Sets `key` and writes the settings file at once; false when the file could not be written
// (a read-only folder, a full disk).
bool SaveSetting(QSettings& settings, const QString& key, const QVariant& value);
// Removes the lock file a settings write killed part-way leaves beside the file: Qt would
// wait up to 30 s on it at the next write. Only where nothing else writes the file (the one
// running instance, at its start).
void RemoveStaleSettingsLock(const QSettings& settings);

class CLanguageManager {
public:
    // `defaultDataFolder` holds "Language.config"; `skinFolder` the language files.
    // `settings` keeps the choice ("LANGUAGE"); it must outlive the manager.
    CLanguageManager(QString defaultDataFolder, QString skinFolder, QSettings& settings);

    // Entries of "Language.config" in display order (empty when it cannot be read).
    QVector<LanguageEntry> Entries() const;
    // Position of the saved language; 0 when nothing (or an unknown id) is saved.
    int GetSavedLanguage() const;
    // False when the settings file could not be written.
    bool SaveLanguage(int id);

    struct Applied {
        bool changed = false;             // false: it was the current language already
        bool saved = true;                // false: the choice could not be written
        std::optional<QString> fontFace;  // rebuild the font table with this face
    };
    // Makes the language at `position` current: loads its table and saves its id.
    Applied ApplyLanguage(int position);

    int CurrentPosition() const { return current_; }
    // Where the choice is kept; other per-user settings live beside it.
    QSettings& Settings() const { return settings_; }
    const CLanguageTable& Table() const { return table_; }
    QString Text(const QString& key) const { return table_.Text(key); }

    // The face the font table uses for a language position (fixed faces for 0, 2 and 15).
    static QString FaceForPosition(int position);
    // Maps the faces above to fonts installed here (Noto Sans, Noto Sans CJK).
    static void InstallFontSubstitutions();

private:
    QString defaultDataFolder_;
    QString skinFolder_;
    QSettings& settings_;
    int current_ = -1;
    CLanguageTable table_;
};

}  // namespace morva::ui
