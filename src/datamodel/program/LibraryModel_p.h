#pragma once

// The state of a LibraryModel, shared by its sources (LibraryModel.cpp, LibraryChange.cpp).

#include "datamodel/model/IDDistributor.h"
#include "datamodel/model/ObjectTable_p.h"
#include "datamodel/program/LibraryModel.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <memory>
#include <string>
#include <vector>

class DeclarationRegistry;

class LibraryModelPrivate
{
public:
    static constexpr unsigned int MaxId = 100000;

    struct Loaded
    {
        std::unique_ptr<AbstractProjectModel> project; // opened read-only
        LibraryModel::LibraryData data;
    };

    ObjectTable<LibraryModel::LibraryCfg> libraries{QStringLiteral("LibraryManager"), QStringLiteral("Id")};
    IDDistributor fileIds{MaxId}; // id 0 is the project's own file
    std::map<int, std::string> fileIdPaths; // file id -> library path, as in LibIdMap
    std::map<std::string, Loaded> loaded;   // by library name
    std::vector<std::string> loadOrder;
    std::string coreName; // empty: the project's name
    QString projectDir;   // empty: the project's folder
    QStringList childLibs;
    QMap<QString, QVariant> commentData;
    bool saveAsFlag = true;
    // Library files have no LibIdMap: the file ids of the libraries a library project uses
    // live as long as the session.
    bool hasFileIdTable = false;
    QString lastError; // the database's text of the last failed statement
    DeclarationRegistry* registry = nullptr; // not owned; null: no compiler core is reached
};
