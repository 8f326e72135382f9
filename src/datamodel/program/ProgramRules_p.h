#pragma once

#include "datamodel/program/FolderModel.h"

#include <QString>

#include <string>

class AbstractProjectModel;
class DeclaredObject;

// The rules that the POU, global variable list, data type and folder models share about
// names, folders and references. Each returns why an edit is refused, in words for a user,
// or an empty text when it may go on.
//
// Names of POUs, lists and types become symbols of the compiler core: each must be an
// identifier that is no keyword, and one name names one object of the three kinds, compared
// without regard to case as the synchroniser and the core look names up.
namespace ProgramRules {

// "POU", "data type", "global variable list".
const char* kindWord(const DeclaredObject& object);

QString identifierRule(const std::string& name);
// Another POU, list or type (than `self`) of that name.
QString declaredNameTaken(const AbstractProjectModel* project, const std::string& name, const DeclaredObject* self);

// An object of the folder type `type` may be filed under the top (0) or under an existing
// folder of that type.
QString folderRefusal(const AbstractProjectModel* project, unsigned int folderId, FolderModel::FolderType type);

// The POUs, lists and types whose texts use `object` by name: a declaration naming it as a
// type (after ":", OF, TO, EXTENDS or IMPLEMENTS), a call of it, a typed literal of it
// ("E_Mode#On"). Comments and string literals do not count.
QString referrers(const AbstractProjectModel* project, const DeclaredObject& object);

// What is filed under the folder: its folders, POUs, lists and types.
QString folderContents(const AbstractProjectModel* project, const FolderModel::Folder& folder);

// Whether `text` (declaration or logic) uses `name` as described for referrers().
bool textUses(const std::string& text, const std::string& name);

} // namespace ProgramRules
