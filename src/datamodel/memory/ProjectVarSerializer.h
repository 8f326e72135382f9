#pragma once

#include "datamodel/memory/OnlineChange.h"
#include "datamodel/memory/SerializeData.h"
#include "datamodel/model/DatamodelExport.h"

#include "accore/PrjMemAllSymbolInfo.h"

#include <QString>

#include <map>
#include <set>
#include <string>
#include <vector>

class AbstractProjectModel;

// Records the memory layout of every variable of the current project after a compilation,
// so that a later online change knows which variables keep their place and value. The
// layout is kept as text in the project information ("project.mem.context"), compressed in
// the file project.mem of the project folder, and stamped with its MD5
// ("project.mem.md5"). The current project is the one the host cookie "Project.Name" names.
//
// What the layout holds: the enumerations, structures and function blocks the project's
// objects use (in the order their declarations depend on each other), the global variable
// lists, the controller's internal variables as the list "Device.Var.Name", and the
// programs. Left out: objects whose property "Hidden" is "true", VAR_EXTERNAL variables
// (they take no memory of their own), functions (their variables live on the stack) and the
// list "EcamVars", hidden or not: the download of the cam configuration writes every cam
// table anew, so neither a cam table's place nor its old value may be carried across an
// online change (a running axis would follow a stale table).
//
// Process-wide, used from the GUI thread; every operation takes the project through the
// registry for its duration. Failures return false or an empty result and leave a log line.
class DATAMODEL_EXPORT ProjectVarSerializer
{
public:
    static ProjectVarSerializer& getInstance();

    // Parses "project.mem.context" (offsets of list and program members taken from the
    // core), stores the text again, writes project.mem through a temporary file and sets
    // "project.mem.md5". False without a project, its information or a layout to write.
    bool creatProjectMemFile();
    // Reads project.mem, refuses it unless its text has the digest "project.mem.md5", and
    // parses it into `data`. False (with a log line and lastError()) when the file is
    // missing, empty, damaged, edited or malformed; `data` is then empty.
    bool parserProjectMemFile(SerializeData& data);
    bool setProjectMemContextToPrjInfoModel(std::string& text);
    // The layout of the current compilation, from the project's compiler core.
    void getCurrentSerializeData(SerializeData& data);

    // The comparison of a stored and a current layout (see OnlineChange).
    void getNewSerializeData(const SerializeData& stored, const SerializeData& current, SerializeData& out);
    // One symbol's comparison: `symbol` gets the new layout of `current`'s symbol named
    // `symbol.name` in section `symbol.section`, and `copies` its copy instructions.
    void getOnlineChangeInfo(ac::PrjMemSymbolInfo& symbol, const SerializeData& stored, const SerializeData& current,
                             std::vector<ac::PrjMemCopyMember>* copies = nullptr);
    void setACCoreProjectMemInfo(ac::PrjMemAllSymbolInfo& info);

    // Text and data. With `offsetsFromCore`, members of lists and programs take the offset
    // the core gives them now (getAddrOffset).
    bool retrieveDataFromText(SerializeData& data, const std::string& text, bool offsetsFromCore);
    static std::string retrieveTextFromData(const SerializeData& data);
    static std::string memberDataTypeToJsonStr(const ac::MemberDataType& type);
    static bool jsonStrToMemberDataType(const std::string& json, ac::MemberDataType& type);
    static ac::SymbolMemberInfo createOccMember(unsigned long long size);

    bool getDecDependence(const std::string& name, std::map<std::string, int>& depends);
    // The project's data types and function blocks (and what they use), each after every
    // type it depends on.
    void getDecDependenceOrder(std::vector<std::string>& order);
    void getHiddenSet(std::set<std::string>& hidden);
    // The current byte offset of "LIST.member" or "PROGRAM.member"; ~0u when the core does
    // not know it.
    unsigned getAddrOffset(const std::string& name);
    // Byte sizes of the elementary type names, asked of the core.
    void getBasicTypeMemByteSize(std::map<std::string, unsigned long long>& sizes);

    static bool isFixedMember(const ac::SymbolMemberInfo& member);
    static bool isFixedBasicMember(const ac::SymbolMemberInfo& member);
    static bool isSameDataType(const ac::MemberDataType& a, const ac::MemberDataType& b, const OnlineChange& data);
    static bool isVaildCopyType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType,
                                const OnlineChange& data, bool& same);
    static bool isValidBasicTypeChange(const ac::MemberDataType& oldType, const ac::MemberDataType& newType);
    static bool isValidOnlineChangeType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType);

    // Code generation options: 1 zero division, 2 array subscript, 4 pointer address
    // protection ("true" in the project information, any case), 8 when the host cookie
    // "Studio/CompilationOptLevelSetting" is false. 0 without a project.
    unsigned char getLogicState();
    // The controller's movable memory ("IECMem"."movable" of its description); 0 when unknown.
    unsigned long long getMovable();
    bool checkMovable(unsigned long long& size);

    // The controller of a project: the name its hardware description is found under.
    static std::string controllerName(const AbstractProjectModel& project);

    // Why the last refused read or write failed, as a user reads it.
    const QString& lastError() const { return m_lastError; }

private:
    ProjectVarSerializer() = default;
    void log(int level, const std::string& text);
    void fail(const QString& message);

    QString m_lastError;
};

