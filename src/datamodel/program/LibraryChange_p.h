#pragma once

#include "datamodel/model/Result.h"
#include "datamodel/program/LibraryModel.h"

#include <QString>

#include <string>

// The library model's operations that change which libraries a project uses: adding,
// replacing and removing one. Each is one step: the file is read and checked, installed below
// the project (LibraryInstaller), registered with the compiler core and recorded in the rows;
// when any part fails, every part done so far is taken back.
class LibraryChange
{
public:
    using Code = LibraryModel::AddLibErrorCode;

    explicit LibraryChange(LibraryModel& model);

    LibraryModel::LibraryCfg* add(const QString& projectDir, const QString& libFile, Code& code, QString& message);
    bool replace(const std::string& name, const std::string& file, Code& code, QString& message);
    bool remove(const std::string& name);
    // Withdraws a loaded library from the compiler core, drops its data and its file id.
    void unload(const std::string& name);
    void forgetFile(int fileId);

    // What the callers of addLib and replaceLibrary show: the message, then the raw cause.
    static QString userText(const Failure& failure);

private:
    // The first name of the library's types, POUs and lists that the project or a loaded
    // library uses already (ignoring case); empty when there is none.
    std::string usedName(const LibraryModel::LibraryData& library) const;
    bool nameTaken(const std::string& name) const;
    // A change of a user project's libraries needs its recompilation.
    void markForRecompilation() const;

    LibraryModel& m;
};
