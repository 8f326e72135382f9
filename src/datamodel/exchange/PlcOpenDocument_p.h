#pragma once

// A TC6 file as read, before it becomes the text of a project (PlcOpenAssembly).
#include "datamodel/exchange/PlcOpenFormat_p.h"
#include "datamodel/exchange/ProjectText.h"
#include "datamodel/model/Result.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace PlcOpenFormat {

// Our addData of an object, present in files that we wrote.
struct ObjectData
{
    QString path; // "program/Programs/Main.prg.st"
    QString tc6;  // fingerprint of the TC6 content at export
    std::optional<std::string> declaration, logic;
    std::optional<QByteArray> graph;
};

struct DataTypeItem
{
    int line = 0;
    TypeDecl decl;
    std::optional<ObjectData> data;
};

struct PouItem
{
    int line = 0;
    PouDecl decl;
    QString bodyLanguage; // "ST", "IL", "FBD", "LD", "SFC"; empty without a body
    QString bodyText;     // ST and IL
    QByteArray fragment;  // the graphic body element as XML
    QByteArray actions, transitions; // of an SFC, as XML
    std::optional<ObjectData> data;
};

struct ListItem
{
    int line = 0;
    QString name;
    std::vector<VarList> lists;
    std::optional<ObjectData> data;
};

struct TaskItem
{
    int line = 0;
    QString name, interval, priority;
    std::vector<QString> instanceTypes; // typeName of each pouInstance, in order
    bool ours = false;                   // our addData was present:
    QString id, type, watchdog, calls, properties;
};

struct Document
{
    QString fileName;
    QString projectName, author, comment;
    std::vector<DataTypeItem> dataTypes;
    std::vector<PouItem> pous;
    std::vector<ListItem> lists;
    std::vector<TaskItem> tasks;
    std::map<QString, QByteArray> files; // our project addData
};

// The text of the project the document describes; failures read "FILE:LINE: message".
Result<ProjectText::Files> assemble(const Document& document);

} // namespace PlcOpenFormat
