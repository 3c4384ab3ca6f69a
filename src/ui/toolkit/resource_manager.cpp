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
    m_root = root;
    m_ids.clear();
}

bool CResourceManager::LoadResource(const QString& mapFile) {
    m_ids.clear();
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
            m_ids.insert(id, path);
        }
    }
    return true;
}

void CResourceManager::Release() {
    m_ids.clear();
}

QString CResourceManager::GetPath(const QString& idOrFile) const {
    const auto it = m_ids.constFind(idOrFile);
    return FilePath(it != m_ids.constEnd() ? it.value() : idOrFile);
}

QString CResourceManager::FilePath(const QString& name) const {
    if (name.isEmpty() || QDir::isAbsolutePath(name)) {
        return name;
    }
    return QDir(m_root).filePath(name);
}

}  // namespace morva::ui
