#include "app/autostart_entry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

#include "base/install_paths.h"

namespace morva::app {

namespace {

constexpr char kEntryName[] = "morva-tr510.desktop";

// Used when the installed template cannot be read.
constexpr char kBuiltInEntry[] =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=MORVA TR510\n"
    "Comment=Keeps the MORVA TR510 devices' settings and lighting, from the tray\n"
    "Exec=morva-tr510 --tray\n"
    "Icon=morva-tr510\n"
    "Terminal=false\n"
    "NoDisplay=true\n"
    "X-GNOME-Autostart-enabled=true\n";

void SetError(QString* error, const QString& text) {
    if (error != nullptr)
        *error = text;
}

// One Exec argument as the desktop entry format wants it: quoted when it holds a reserved
// character, with the quoting's and the value string's own escapes.
QString ExecArgument(const QString& arg) {
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString text = arg;
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return kReserved.contains(c); }))
        return text;
    QString quoted;
    for (const QChar c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // The value string escapes each backslash once more.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The template's Exec line starting `program`: kept when its command already finds this
// program on the PATH, else pointed at the program itself (a build tree, another prefix).
QString ExecFor(const QString& execLine, const QString& program) {
    const QString value = execLine.section(QLatin1Char('='), 1);
    const qsizetype space = value.indexOf(QLatin1Char(' '));
    const QString command = space < 0 ? value : value.left(space);
    const QString arguments = space < 0 ? QString() : value.mid(space);
    const QString found = QStandardPaths::findExecutable(command);
    const QString self = QFileInfo(program).canonicalFilePath();
    if (program.isEmpty() || (!found.isEmpty() && QFileInfo(found).canonicalFilePath() == self))
        return execLine;
    return QStringLiteral("Exec=") + ExecArgument(self.isEmpty() ? program : self) + arguments;
}

// The value of `key` in the [Desktop Entry] group, trimmed; empty when absent.
QString EntryValue(const QString& text, const QString& key) {
    bool inEntry = false;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inEntry && eq > 0 && line.left(eq).trimmed() == key)
            return line.mid(eq + 1).trimmed();
    }
    return {};
}

}  // namespace

CAutostartEntry::CAutostartEntry(QString program, QString templatePath)
    : program_(program.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(program)),
      template_(templatePath.isEmpty() ? QDir(QString::fromStdString(ResourceFolder()))
                                             .filePath(QStringLiteral("autostart/") + kEntryName)
                                       : std::move(templatePath)) {}

QString CAutostartEntry::Path() const {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative value does not count (XDG base directories are absolute).
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/") + kEntryName;
}

bool CAutostartEntry::Enabled() const {
    QFile file(Path());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(file.readAll());
    return EntryValue(text, QStringLiteral("Hidden")) != QStringLiteral("true") &&
           EntryValue(text, QStringLiteral("X-GNOME-Autostart-enabled")) != QStringLiteral("false");
}

QString CAutostartEntry::EntryText() const {
    QFile file(template_);
    QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    if (EntryValue(text, QStringLiteral("Exec")).isEmpty())
        text = QString::fromLatin1(kBuiltInEntry);
    QStringList lines = text.split(QLatin1Char('\n'));
    bool inEntry = false;
    for (QString& line : lines) {
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line.trimmed() == QStringLiteral("[Desktop Entry]");
        else if (inEntry && line.startsWith(QStringLiteral("Exec=")))
            line = ExecFor(line, program_);
    }
    return lines.join(QLatin1Char('\n'));
}

bool CAutostartEntry::SetEnabled(bool on, QString* error) {
    const QString path = Path();
    if (!on) {
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            SetError(error, QStringLiteral("cannot remove %1").arg(path));
            return false;
        }
        return true;
    }
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        SetError(error, QStringLiteral("cannot create the folder %1").arg(folder));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(EntryText().toUtf8()) < 0 ||
        !file.commit()) {
        SetError(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

}  // namespace morva::app
