// Where layout files and images live: a resource root folder and the id map "res.xml".
#pragma once

#include <QHash>
#include <QString>

namespace morva::ui {

// res.xml:
//   <Resource>
//     <File id="XML_MAIN" path="XML/main.xml"/>
//   </Resource>
// Paths use "/" and are relative to the root. One instance serves the process (UI thread).
class CResourceManager {
public:
    static CResourceManager& Instance();

    // Forgets the id map.
    void SetResourcePath(const QString& root);
    QString GetResourcePath() const { return root_; }
    // Reads the id map from a file under the root; false when it is missing or malformed
    // (the map is then empty).
    bool LoadResource(const QString& mapFile = QStringLiteral("res.xml"));
    void Release();

    // The file an id stands for, or the name itself when it is no id: absolute, under the root
    // unless already absolute.
    QString GetPath(const QString& idOrFile) const;
    // A file name under the root (ids not looked up).
    QString FilePath(const QString& name) const;
    bool HasId(const QString& id) const { return ids_.contains(id); }

private:
    QString root_;
    QHash<QString, QString> ids_;
};

}  // namespace morva::ui
