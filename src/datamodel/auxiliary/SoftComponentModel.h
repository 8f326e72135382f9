#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/ObjectProperties.h"
#include "datamodel/model/SubModel.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class IDDistributor;
class SoftComponentModelPrivate;

// The user's annotations of the controller's soft components, the word and bit areas addressed
// by a letter and a number (X, Y, M, S, B, D, R, W): per address a snapshot value, a comment,
// the data type that says how many consecutive words the value covers, and for D single-bit
// comments. One row per annotated address in table SoftwareComponentTable; a project that still
// holds the older table SoftwareComponent is migrated when it is opened for writing.
//
// Every entry carries what the next save must do with it (EntryState), so that a save writes
// only what changed: an entry set and emptied again before a save never reaches the file, an
// entry emptied after it was stored has its row deleted, and one filled again before the save
// is updated instead.
class DATAMODEL_EXPORT SoftComponentModel : public SubModel
{
    Q_OBJECT
public:
    // The data type starting at an address, by the number of words it covers: INT one, REAL
    // and DINT two, LREAL four. The numbers are what the file stores (Properties "type" of D).
    enum SoftComponentType : int { INT = 0, REAL = 1, DINT = 2, LREAL = 3 };
    // What the next save does with an entry.
    enum EntryState : int { Stored = 0, ToInsert = 1, ToUpdate = 2, ToDelete = 4 };

    struct SoftComponentInfo
    {
        int id = -1; // row id in SoftwareComponentTable
        QString snapshot;
        QString comment;
        SoftComponentType type = INT;
        QMap<int, QString> bitComments; // bit number -> comment (D only)
        int state = Stored;

        // Nothing to keep: no snapshot, comment or bit comment, type INT.
        bool isEmpty() const;
    };

    // The numbers of a letter's addresses and the radix of their names (X and Y octal).
    struct AddressRange
    {
        int first = 0;
        int count = 0; // 0 for a letter the controller does not have
        int radix = 10;
    };

    class SoftComponentTable;

    SoftComponentModel(const std::string& name, AbstractProjectModel* project);
    ~SoftComponentModel() override;

    // W, R, D, B, S, M, Y, X.
    static const QStringList& letters();
    static AddressRange addressRange(const QString& letter);
    // Whether `text` is the name of an address ("D100", "X17"; upper case, no leading zeros).
    static bool isAddressName(const QString& text);
    // The BitComments and Properties columns of an entry of `letter` as a save writes them:
    // {"BitComments":{...}} and {"type":"N"} for D, empty texts for the other letters.
    static QString bitCommentsColumn(const QString& letter, const QMap<int, QString>& bits);
    static QString propertiesColumn(const QString& letter, SoftComponentType type);
    // Reads the snapshots and comments of the older table's SnapAndComments text (a JSON
    // object keyed by the address number in decimal); bit comments only when `withBits`.
    // False, with `out` unchanged and `error` set, for text that is no JSON object.
    static bool jsonStr2SoftComponentInfos(const QByteArray& json, bool withBits, QMap<int, SoftComponentInfo>& out,
                                           QString* error);

    // Writers: each goes through SoftComponentTable::insertComponentInfos and emits
    // dataChanged(). False, and nothing changes, for a letter without a table, an address
    // outside its range, a type other than INT for a letter whose type is not stored (only
    // D's is), or when no row id is left.
    bool insertSoftComponentComment(const QString& name, int order, const QString& comment);
    bool insertSoftComponentSnap(const QString& name, int order, const QString& snap);
    bool insertSoftComponentType(const QString& name, int order, SoftComponentType type);
    // Sets several addresses at once (their id and state are ignored). `replace` true makes
    // the map the table's whole content: addresses it does not name are emptied.
    bool insertSoftCommentInfos(const QString& name, const QMap<int, SoftComponentInfo>& infos, bool replace);
    // "D100", "X17" (octal), "D100.3" for a bit of D: the address comment or the bit's.
    bool insertSoftCommentComment(const QString& address, const QString& comment);

    // Readers; an address without an entry reads as empty, type INT.
    QString getSoftCommentcomment(const QString& name, int order) const;
    QString getSoftComponentSnap(const QString& name, int order) const;
    SoftComponentType getSoftComponentType(const QString& name, int order) const;
    SoftComponentInfo getSoftCommentInfo(const QString& name, int order) const;
    // The entries that hold something (not those waiting for deletion).
    QMap<int, SoftComponentInfo> getSoftCommentInfos(const QString& name) const;
    QMap<int, SoftComponentInfo> getSoftCommentInfos(const QString& name, int first, int count) const;
    QMap<QString, QMap<int, SoftComponentInfo>> getAllTableSoftCommentComment() const;
    // The comment of an address text, or of its bit.
    QString getSoftCommentcomment(const QString& address) const;
    SoftComponentTable* softComponentTable(const QString& name) const;

    // Whether the address lies inside a value of more than one word that starts before it.
    // False when the table is missing or the address itself has a type other than INT.
    bool isOccupied(const QString& name, int order) const;
    // The same for an address text: the letter (any case) and a decimal number.
    bool isOccupied(const QString& address) const;
    // The types a value may take at the address: "INT" always; "REAL" and "DINT" when the
    // next address is free; "LREAL" when the next three are. Free: inside the range, type
    // INT, and not covered by a value that starts before it at an address other than `order`
    // (so that the address's own type does not keep it from being retyped).
    QStringList getValideTypelist(const QString& name, int order) const;
    // For the Japanese program style (cookie "Program.Style" 1) only: an address name, or an
    // address followed by "." and a bit number below 16 or one of the suffixes D, DF, F, L,
    // S, T, U, UD, UL, WT.
    bool isSoftCommentcommentValide(const QString& address) const;
    // Letter -> number -> name, for every address of the eight letters.
    QMap<QString, QMap<int, QString>> getAllSoftCommentNames() const;
    // The display name of a letter in the interface language (setting "General/Language").
    QString getSoftComponentDisplayName(const QString& letter) const;

public slots:
    bool open() override;
    // Empties every table and reads SoftwareComponentTable again.
    bool reload();
    // Writes every table's pending entries in one transaction; the entries become stored only
    // once it is committed. False, with every entry and flag left as it was, when a statement
    // or the commit failed.
    bool save() override;
    // `flag` false: an automatic save into another file, after which the entries stay pending.
    bool saveAs(bool flag) override;

signals:
    void dataChanged();

private slots:
    // Writes one table's pending entries in a transaction of its own.
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject* obj) override;

private:
    bool migrate(bool tableExists);
    bool writeTables(const std::vector<SoftComponentTable*>& tables, QString* error);
    void syncTables(const std::vector<SoftComponentTable*>& tables);
    bool insertInfo(const QString& name, int order, SoftComponentInfo info);
    // Applies `edit` to the address's entry through insertInfo and emits dataChanged().
    bool editInfo(const QString& name, int order, const std::function<void(SoftComponentInfo&)>& edit);
    // Writes the tables in one transaction; their entries become stored once it is committed.
    bool writeCommitted(const std::vector<SoftComponentTable*>& tables, const std::string& what);
    // Letter, number and bit (-1 for none) of an address text.
    bool parseAddress(const QString& address, QString& letter, int& order, int& bit) const;

    std::unique_ptr<SoftComponentModelPrivate> d;
};

// The entries of one letter, by address number.
class DATAMODEL_EXPORT SoftComponentModel::SoftComponentTable : public ModelObject
{
    Q_OBJECT
public:
    // `ids`: the model's row id allocator (not owned).
    SoftComponentTable(const QString& name, IDDistributor* ids, SoftComponentModel* model);
    ~SoftComponentTable() override;

    QString name() const { return m_name; }
    QString property(const QString& key, const QString& defaultValue = QString()) const;
    bool setProperty(const QString& key, const QString& value);

    // Every entry with its state, also those waiting for deletion.
    const QMap<int, SoftComponentInfo>& softComponentInfos() const { return m_infos; }
    SoftComponentInfo softComponentInfo(int order) const;
    QString softComponentComment(int order) const;
    QString softComponentSnap(int order) const;
    SoftComponentType softComponentType(int order) const;

    // An entry as read from the file: stored, its id marked used.
    void initComponentInfos(int order, SoftComponentInfo info);
    // An edit of one address (its id and state are the table's business): a new entry gets a
    // new row id and is to be inserted, an emptied one is dropped (never stored) or to be
    // deleted, a changed one to be updated. False when no row id is left.
    bool insertComponentInfos(int order, SoftComponentInfo info);
    // Forgets every entry and gives their ids back (a reload follows).
    void clear();
    // Empties every snapshot through insertComponentInfos.
    void clearSnaps();
    // After a committed write: deleted entries go (their ids given back), the rest are stored.
    void sync();
    // Whether an entry waits for the next save.
    bool hasPending() const;

private:
    QString m_name;
    QStringProperties m_properties;
    QMap<int, SoftComponentInfo> m_infos;
    IDDistributor* m_ids; // not owned
};
