#include "ui/toolkit/resource_manager.h"

#include <QDir>

#include "base/debug_log.h"
#include "ui/toolkit/layout_xml.h"

namespace morva::ui {

CResourceManager& CResourceManager::Instance() {
    static CResourceManager manager;
    return manager;
}

void CResourceManager::SetResourcePath(const QString& root) {
    root_ = root;
    ids_.clear();
}

bool CResourceManager::LoadResource(const QString& mapFile) {
    ids_.clear();
    QString error;
    const std::optional<XmlElement> doc = ReadLayoutFile(FilePath(mapFile), &error);
    if (!doc) {
        DebugLog("resource map: %s\n", qUtf8Printable(error));
        return false;
    }
    for (const XmlElement& item : doc->children) {
        const QString id = item.Attribute(QStringLiteral("id"));
        const QString path = item.Attribute(QStringLiteral("path"));
        if (!id.isEmpty() && !path.isEmpty()) {
            ids_.insert(id, path);
        }
    }
    return true;
}

void CResourceManager::Release() {
    ids_.clear();
}

QString CResourceManager::GetPath(const QString& idOrFile) const {
    const auto it = ids_.constFind(idOrFile);
    return FilePath(it != ids_.constEnd() ? it.value() : idOrFile);
}

QString CResourceManager::FilePath(const QString& name) const {
    if (name.isEmpty() || QDir::isAbsolutePath(name)) {
        return name;
    }
    return QDir(root_).filePath(name);
}

}  // namespace morva::ui
