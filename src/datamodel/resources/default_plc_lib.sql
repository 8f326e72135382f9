-- 库工程数据库脚本: tables, triggers and default rows of a new library project.
-- Statements are separated by the marker below, because one query runs one statement.
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
CREATE TABLE LibraryManager (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Path TEXT,
    FileModifiedTime INTEGER,
    Properties TEXT
)
/*sql*/
CREATE TABLE ProjectInfo (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Type CHAR,          -- UserProjct = 0, UserLib = 1, FirmwareLib = 2
    Description TEXT,
    Author TEXT,
    Version TEXT,       -- library version only
    VersionCreated TEXT,
    VersionModified TEXT,
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
CREATE TABLE WatchList (
    Id INTEGER PRIMARY KEY,
    Name TEXT,
    ListData TEXT,
    Properties TEXT
)
/*sql*/
CREATE TABLE InternationalTable (
    Type INTEGER,
    Key TEXT,
    Context TEXT,
    Ref_flag INTEGER
)
/*sql*/
CREATE TABLE InternationalLang (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Lang TEXT
)
/*sql*/
CREATE TRIGGER delete_folder_table AFTER DELETE ON Folder
BEGIN
    DELETE FROM POU WHERE FolderId = old.rowid;
    DELETE FROM DataType WHERE FolderId = old.rowid;
    DELETE FROM GlobalVar WHERE FolderId = old.rowid;
END
/*sql*/
INSERT INTO ProjectInfo (Id, Type, Author, Version, VersionCreated, Properties) VALUES (1, 1, 'yonghu', '0.0.0.0', 0, '{"Company":"Norvale"}')
/*sql*/
INSERT INTO LibraryManager (Id, Name, Path, Properties) VALUES (1, 'sys_include.nvl', '/Libraries/norvale/sys_include', '{"IsLatestVersion":"true","SpecifyVersion":"0.0.0.0"}')
/*sql*/
INSERT INTO LibraryManager (Id, Name, Path, Properties) VALUES (2, 'motion_control.nvl', '/Libraries/norvale/motion_control', '{"IsLatestVersion":"true","SpecifyVersion":"0.2.0.0"}')
/*sql*/
INSERT INTO InternationalTable (Type, Key, Context, Ref_flag) VALUES (0, '', '', 0)
/*sql*/
INSERT INTO InternationalLang (Id, Lang) VALUES (1, 'zh_CN')
/*sql*/
INSERT INTO InternationalLang (Id, Lang) VALUES (2, 'en_US')
/*sql*/
