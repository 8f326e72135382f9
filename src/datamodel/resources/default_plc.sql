-- 工程数据库脚本: tables, triggers and default rows of a new user project.
-- Statements are separated by the marker below, because one query runs one statement.
/*sql*/
CREATE TABLE DeviceType (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    ParentId INTEGER,
    Type CHAR,          -- 1 = CPU, 2 = bus
    Name TEXT
)
/*sql*/
CREATE TABLE DeviceTree (
    Id INTEGER PRIMARY KEY,
    TypeId TEXT,
    SubId INTEGER,
    Name TEXT,
    ParentId INTEGER,
    Properties TEXT,
    CompileData BLOB,
    FOREIGN KEY(TypeId) REFERENCES DeviceType(Id)
)
/*sql*/
CREATE TABLE Folder (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    ParentId INTEGER,
    Type CHAR,          -- folder kind: data types, global variables, POUs
    Name TEXT,
    Properties TEXT
)
/*sql*/
CREATE TABLE POU (
    Id INTEGER PRIMARY KEY,
    Type CHAR,          -- SymbolType { DataType = 1, PRGPOU = 2, FCPOU = 4, FBPOU = 8, File = 0x10, GlobalVars = 0x20 }
    LanguageType CHAR,  -- POU_NOLANG, POU_ST, POU_CFC, POU_LD, POU_SFC, POU_LD_JAPAN, POU_IL, POU_FBD
    Name TEXT,
    Encryprion CHAR,
    VarDeclaration TEXT,
    LogicContext TEXT,
    CompileTime INTEGER,
    ModifyTime INTEGER,
    FolderId INTEGER,
    Properties TEXT,
    CompileData BLOB,
    GraphData BLOB,
    FOREIGN KEY(FolderId) REFERENCES Folder(Id)
)
/*sql*/
CREATE TABLE GlobalVar (
    Id INTEGER PRIMARY KEY,
    Name TEXT,
    LogicContext TEXT,
    CompileTime INTEGER,
    ModifyTime INTEGER,
    Properties TEXT,
    FolderId INTEGER
)
/*sql*/
CREATE TABLE DataType (
    Id INTEGER PRIMARY KEY,
    Type CHAR,          -- enum DataType { Struct, Enum}
    Name TEXT,
    VarDeclaration TEXT,
    CompileTime INTEGER,
    ModifyTime INTEGER,
    Properties TEXT,
    FolderId INTEGER
)
/*sql*/
CREATE TABLE Task (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Priority CHAR,
    Type CHAR,
    WTDTime INTEGER,
    Properties TEXT
)
/*sql*/
CREATE TABLE POUInTask (
    Id,
    TaskId INTEGER,
    POUID INTEGER,
    FOREIGN KEY(TaskId) REFERENCES Task(Id),
    FOREIGN KEY(POUID) REFERENCES POU(Id)
)
/*sql*/
CREATE TABLE LibraryManager (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Path TEXT,
    FileModifiedTime INTEGER,
    Properties TEXT
)
/*sql*/
CREATE TABLE MonitorTable (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Properties TEXT,
    CompileData BLOB
)
/*sql*/
CREATE TABLE MonitorVars (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    TableId INTEGER,
    Name TEXT,
    Properties TEXT,
    FOREIGN KEY(TableId) REFERENCES MonitorTable(Id)
)
/*sql*/
CREATE TABLE AxisTable (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Properties TEXT
)
/*sql*/
CREATE TABLE AxisGroupTable (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Properties TEXT
)
/*sql*/
CREATE TABLE EcamTable (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Properties TEXT,
    CompileData BLOB
)
/*sql*/
CREATE TABLE Trace (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Properties TEXT
)
/*sql*/
CREATE TABLE EcamPoints (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    TableId INTEGER,
    Roworder INTEGER,
    MainAxis DOUBLE,
    SlaveAxis DOUBLE,
    Velocity DOUBLE,
    Acceleration DOUBLE,
    CamCurveType SHORT,
    Align1 INTEGER,
    Align2 INTEGER,
    Align3 INTEGER,
    Properties TEXT,
    FOREIGN KEY(TableId) REFERENCES EcamTable(Id)
)
/*sql*/
CREATE TABLE SoftwareComponentTable (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    OrderNum INTEGER,
    Snapshot TEXT,
    Comments TEXT,
    BitComments TEXT,
    Properties TEXT,
    CompileData BLOB
)
/*sql*/
CREATE TABLE ProjectInfo (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Type CHAR,          -- UserProjct = 0, UserLib = 1, FirmwareLib = 2
    Description TEXT,
    Author TEXT,
    Version TEXT,       -- library version only
    VersionCreated INTEGER,
    VersionModified INTEGER,
    Passwrod TEXT,
    Properties TEXT
)
/*sql*/
CREATE TABLE MiscProperties (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Properties TEXT
)
/*sql*/
CREATE TABLE ModelVersion (
    TableName TEXT,
    VersionCreated INTEGER,
    VersionModified INTEGER
)
/*sql*/
CREATE TABLE WatchList (
    Id INTEGER PRIMARY KEY,
    Name TEXT,
    ListData TEXT,
    Properties TEXT
)
/*sql*/
CREATE TABLE HmiCfgTable (
    FullName TEXT,
    Address TEXT,
    Properties TEXT
)
/*sql*/
CREATE TABLE LibIdMap (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    LibFilePath TEXT
)
/*sql*/
-- The cam tables of older releases were called CamTable/CamPoints. No table CamTable
-- exists any more, so this statement fails and the file gets no such trigger.
CREATE TRIGGER delete_cam_table AFTER DELETE ON CamTable
BEGIN
    DELETE FROM CamPoints WHERE TableId = old.rowid;
END
/*sql*/
CREATE TRIGGER delete_monitor_table AFTER DELETE ON MonitorTable
BEGIN
    DELETE FROM MonitorVars WHERE TableId = old.rowid;
END
/*sql*/
CREATE TRIGGER delete_folder_table AFTER DELETE ON Folder
BEGIN
    DELETE FROM POU WHERE FolderId = old.rowid;
    DELETE FROM DataType WHERE FolderId = old.rowid;
    DELETE FROM GlobalVar WHERE FolderId = old.rowid;
END
/*sql*/
INSERT INTO ProjectInfo (Id, Type, VersionCreated) VALUES (1, 0, 0)
/*sql*/
INSERT INTO MiscProperties (Id, Name) VALUES (0, 'Task Config')
/*sql*/
INSERT INTO Task (Id, Type, Name) VALUES (1, 2, 'Main_task')
/*sql*/
INSERT INTO POUInTask (Id, TaskId, POUID) VALUES (1, 1, 2)
/*sql*/
INSERT INTO LibraryManager (Id, Name, Path, Properties) VALUES (1, 'sys_include.nvl', '/Libraries/norvale/sys_include', '{"IsLatestVersion":"true","SpecifyVersion":"0.0.0.0"}')
/*sql*/
INSERT INTO LibraryManager (Id, Name, Path, Properties) VALUES (2, 'motion_control.nvl', '/Libraries/norvale/motion_control', '{"IsLatestVersion":"true","SpecifyVersion":"0.2.0.0"}')
/*sql*/
INSERT INTO DeviceType (Id, Type, Name) VALUES (1, 1, 'CPU')
/*sql*/
INSERT INTO DeviceType (Id, Type, Name) VALUES (2, 2, 'BUS')
/*sql*/
INSERT INTO DeviceTree (Id, TypeId) VALUES (-1, 1)
/*sql*/
