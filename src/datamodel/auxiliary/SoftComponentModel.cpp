#include "datamodel/auxiliary/SoftComponentModel.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/memory/DataConversion.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/IDDistributor.h"
#include "datamodel/model/ScopedTransaction_p.h"
#include "datamodel/model/SoftAssert_p.h"

#include "accore/JapanComponent.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <functional>
#include <map>

namespace {

constexpr unsigned int MaxRowId = 100000;
// Per save and kind of statement, the first rows are logged one by one and the rest in one
// line: a save of a hundred thousand comments is not a hundred thousand log lines.
constexpr int RowsLoggedOneByOne = 16;

const QString dataLetter = QStringLiteral("D");
const QString newTable = QStringLiteral("SoftwareComponentTable");
const QString oldTable = QStringLiteral("SoftwareComponent");

const std::map<QString, SoftComponentModel::AddressRange>& ranges()
{
    static const std::map<QString, SoftComponentModel::AddressRange> table = {
        {QStringLiteral("X"), {0, 1024, 8}},  {QStringLiteral("Y"), {0, 1024, 8}},
        {QStringLiteral("M"), {0, 8000, 10}}, {QStringLiteral("S"), {0, 4096, 10}},
        {QStringLiteral("B"), {0, 32768, 10}}, {QStringLiteral("D"), {0, 8000, 10}},
        {QStringLiteral("R"), {0, 32768, 10}}, {QStringLiteral("W"), {0, 32768, 10}},
    };
    return table;
}

bool inRange(const QString& letter, int order)
{
    const SoftComponentModel::AddressRange range = SoftComponentModel::addressRange(letter);
    return order >= range.first && order < range.first + range.count;
}

int wordsOf(SoftComponentModel::SoftComponentType type)
{
    switch (type) {
    case SoftComponentModel::REAL:
    case SoftComponentModel::DINT:
        return 2;
    case SoftComponentModel::LREAL:
        return 4;
    case SoftComponentModel::INT:
        break;
    }
    return 1;
}

QString bitCommentsText(const QMap<int, QString>& bits)
{
    QJsonObject inner;
    for (auto it = bits.cbegin(); it != bits.cend(); ++it)
        inner.insert(QString::number(it.key()), it.value());
    return QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("BitComments"), inner}}).toJson(QJsonDocument::Compact));
}

// Bit number -> comment of a JSON object keyed by the bit number in decimal; members that are
// no bit number of a word (0 to 15) are not read.
QMap<int, QString> bitsOf(const QJsonObject& object)
{
    QMap<int, QString> bits;
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool ok = false;
        const int bit = it.key().toInt(&ok);
        if (ok && bit >= 0 && bit < 16 && it.value().isString())
            bits.insert(bit, it.value().toString());
    }
    return bits;
}

QMap<int, QString> parseBitComments(const QString& text)
{
    // What a save writes for a word without bit comments; most D rows hold just that.
    static const QString none = QStringLiteral("{\"BitComments\":{}}");
    if (text.isEmpty() || text == none)
        return {};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    return bitsOf(doc.object().value(QStringLiteral("BitComments")).toObject());
}

// The "type" of a Properties text; INT when it is absent or out of range.
SoftComponentModel::SoftComponentType typeOf(const QString& properties)
{
    if (properties.isEmpty())
        return SoftComponentModel::INT;
    // The one form a save writes, {"type":"N"}, is read without a JSON parser.
    static const QString head = QStringLiteral("{\"type\":\""), tail = QStringLiteral("\"}");
    if (properties.size() == head.size() + 1 + tail.size() && properties.startsWith(head) && properties.endsWith(tail)) {
        const QChar digit = properties.at(head.size());
        if (digit >= QChar('0') && digit <= QChar('0' + SoftComponentModel::LREAL))
            return static_cast<SoftComponentModel::SoftComponentType>(digit.unicode() - '0');
    }
    bool ok = false;
    const int type = QJsonDocument::fromJson(properties.toUtf8()).object().value(QStringLiteral("type")).toString().toInt(&ok);
    return ok && type >= SoftComponentModel::INT && type <= SoftComponentModel::LREAL
               ? static_cast<SoftComponentModel::SoftComponentType>(type)
               : SoftComponentModel::INT;
}

// How a save went, for its log lines.
struct WriteLog
{
    int logged[3] = {0, 0, 0}; // insert, update, delete
    int total[3] = {0, 0, 0};
};

} // namespace

class SoftComponentModelPrivate
{
public:
    IDDistributor ids{MaxRowId};
    std::map<QString, std::unique_ptr<SoftComponentModel::SoftComponentTable>> tables;
    QMap<QString, QString> displayNames; // letter -> name in the interface language
    bool clearModifiedOnSave = true;

    std::vector<SoftComponentModel::SoftComponentTable*> all() const
    {
        std::vector<SoftComponentModel::SoftComponentTable*> out;
        for (const auto& entry : tables)
            out.push_back(entry.second.get());
        return out;
    }
};

// --- SoftComponentInfo and the table -------------------------------------------------------------

bool SoftComponentModel::SoftComponentInfo::isEmpty() const
{
    return snapshot.isEmpty() && comment.isEmpty() && bitComments.isEmpty() && type == INT;
}

SoftComponentModel::SoftComponentTable::SoftComponentTable(const QString& name, IDDistributor* ids,
                                                           SoftComponentModel* model)
    : ModelObject(model), m_name(name), m_ids(ids)
{
}

SoftComponentModel::SoftComponentTable::~SoftComponentTable() = default;

QString SoftComponentModel::SoftComponentTable::property(const QString& key, const QString& defaultValue) const
{
    return m_properties.value(key, defaultValue);
}

bool SoftComponentModel::SoftComponentTable::setProperty(const QString& key, const QString& value)
{
    m_properties.set(key, value);
    setModified(true);
    return true;
}

SoftComponentModel::SoftComponentInfo SoftComponentModel::SoftComponentTable::softComponentInfo(int order) const
{
    const auto it = m_infos.constFind(order);
    return it == m_infos.cend() || it->state == ToDelete ? SoftComponentInfo() : *it;
}

QString SoftComponentModel::SoftComponentTable::softComponentComment(int order) const
{
    return softComponentInfo(order).comment;
}

QString SoftComponentModel::SoftComponentTable::softComponentSnap(int order) const
{
    return softComponentInfo(order).snapshot;
}

SoftComponentModel::SoftComponentType SoftComponentModel::SoftComponentTable::softComponentType(int order) const
{
    return softComponentInfo(order).type;
}

void SoftComponentModel::SoftComponentTable::initComponentInfos(int order, SoftComponentInfo info)
{
    info.state = Stored;
    if (info.id >= 0)
        m_ids->setUsed(static_cast<unsigned int>(info.id), true);
    // The file gives a letter's rows mostly in ascending order: appending needs no search then.
    if (m_infos.isEmpty() || (m_infos.cend() - 1).key() < order)
        m_infos.insert(m_infos.cend(), order, std::move(info));
    else
        m_infos.insert(order, std::move(info));
}

bool SoftComponentModel::SoftComponentTable::insertComponentInfos(int order, SoftComponentInfo info)
{
    const bool empty = info.isEmpty();
    auto it = m_infos.find(order);
    if (it == m_infos.end()) {
        if (empty)
            return true; // nothing to keep, nothing to write
        const unsigned int id = m_ids->takenId();
        if (id == IDDistributor::INVALID_ID)
            return false;
        info.id = static_cast<int>(id);
        info.state = ToInsert;
        m_infos.insert(order, info);
        setModified(true);
        return true;
    }
    info.id = it->id;
    if (it->state == ToInsert) {
        if (empty) {
            // Never stored: the entry and its id go as if it had not been.
            m_ids->setUsed(static_cast<unsigned int>(it->id), false);
            m_infos.erase(it);
        } else {
            info.state = ToInsert;
            *it = info;
        }
    } else {
        info.state = empty ? ToDelete : ToUpdate;
        *it = info;
    }
    setModified(true);
    return true;
}

void SoftComponentModel::SoftComponentTable::clear()
{
    for (const SoftComponentInfo& info : m_infos)
        if (info.id >= 0)
            m_ids->setUsed(static_cast<unsigned int>(info.id), false);
    m_infos.clear();
    setModified(false);
}

void SoftComponentModel::SoftComponentTable::clearSnaps()
{
    const QList<int> orders = m_infos.keys();
    for (int order : orders) {
        SoftComponentInfo info = m_infos.value(order);
        if (info.state == ToDelete || info.snapshot.isEmpty())
            continue;
        info.snapshot.clear();
        insertComponentInfos(order, info);
    }
}

void SoftComponentModel::SoftComponentTable::sync()
{
    for (auto it = m_infos.begin(); it != m_infos.end();) {
        if (it->state == ToDelete) {
            m_ids->setUsed(static_cast<unsigned int>(it->id), false);
            it = m_infos.erase(it);
        } else {
            it->state = Stored;
            ++it;
        }
    }
}

bool SoftComponentModel::SoftComponentTable::hasPending() const
{
    for (const SoftComponentInfo& info : m_infos)
        if (info.state != Stored)
            return true;
    return false;
}

// --- addresses -----------------------------------------------------------------------------------

const QStringList& SoftComponentModel::letters()
{
    static const QStringList all = {"W", "R", "D", "B", "S", "M", "Y", "X"};
    return all;
}

SoftComponentModel::AddressRange SoftComponentModel::addressRange(const QString& letter)
{
    const auto it = ranges().find(letter);
    return it == ranges().end() ? AddressRange() : it->second;
}

bool SoftComponentModel::isAddressName(const QString& text)
{
    if (text.size() < 2)
        return false;
    const QString letter = text.left(1);
    const AddressRange range = addressRange(letter);
    const QString digits = text.mid(1);
    // Names carry no sign, blank or leading zero: the number's one spelling in its radix.
    if (range.count == 0 || (digits.size() > 1 && digits.startsWith('0')) || digits.size() > 6)
        return false;
    for (QChar c : digits)
        if (c < '0' || c >= QChar('0' + range.radix))
            return false;
    bool ok = false;
    const int number = digits.toInt(&ok, range.radix);
    return ok && inRange(letter, number);
}

bool SoftComponentModel::parseAddress(const QString& address, QString& letter, int& order, int& bit) const
{
    QString text = address.trimmed();
    const ac::JapanComponent component = DataConversion::QStringToJapanComponent(text);
    static const QRegularExpression number(QStringLiteral("^[0-9]\\d*$"));
    if (!component.valid || !number.match(text.mid(1).section('.', 0, 0)).hasMatch())
        return false;
    letter = QString::fromStdString(component.device);
    order = static_cast<int>(component.index);
    bit = component.bit;
    return inRange(letter, order);
}

QMap<QString, QMap<int, QString>> SoftComponentModel::getAllSoftCommentNames() const
{
    QMap<QString, QMap<int, QString>> names;
    for (const auto& [letter, range] : ranges()) {
        QMap<int, QString>& numbers = names[letter];
        for (int n = range.first; n < range.first + range.count; ++n)
            numbers.insert(n, letter + QString::number(n, range.radix));
    }
    return names;
}

QString SoftComponentModel::getSoftComponentDisplayName(const QString& letter) const
{
    return d->displayNames.value(letter);
}

bool SoftComponentModel::isSoftCommentcommentValide(const QString& address) const
{
    if (address.isEmpty() || HostServices::cookie(QStringLiteral("Program.Style")).toInt() != 1)
        return false;
    const QString text = address.toUpper();
    if (isAddressName(text))
        return true;
    if (d->tables.count(text.left(1)) == 0)
        return false;
    QString first = text;
    if (text.contains('.')) {
        const QStringList pieces = text.split('.');
        if (pieces.size() != 2)
            return false;
        static const QStringList suffixes = {"D", "DF", "F", "L", "S", "T", "U", "UD", "UL", "WT"};
        static const QRegularExpression bitNumber(QStringLiteral("^\\d{1,2}$"));
        const bool isBit = bitNumber.match(pieces[1]).hasMatch() && pieces[1].toInt() < 16;
        if (!isBit && !suffixes.contains(pieces[1]))
            return false;
        first = pieces[0];
    }
    return isAddressName(first);
}

// --- readers -------------------------------------------------------------------------------------

SoftComponentModel::SoftComponentTable* SoftComponentModel::softComponentTable(const QString& name) const
{
    const auto it = d->tables.find(name);
    return it == d->tables.end() ? nullptr : it->second.get();
}

SoftComponentModel::SoftComponentInfo SoftComponentModel::getSoftCommentInfo(const QString& name, int order) const
{
    SoftComponentTable* table = softComponentTable(name);
    return table ? table->softComponentInfo(order) : SoftComponentInfo();
}

QString SoftComponentModel::getSoftCommentcomment(const QString& name, int order) const
{
    return getSoftCommentInfo(name, order).comment;
}

QString SoftComponentModel::getSoftComponentSnap(const QString& name, int order) const
{
    return getSoftCommentInfo(name, order).snapshot;
}

SoftComponentModel::SoftComponentType SoftComponentModel::getSoftComponentType(const QString& name, int order) const
{
    return getSoftCommentInfo(name, order).type;
}

QMap<int, SoftComponentModel::SoftComponentInfo> SoftComponentModel::getSoftCommentInfos(const QString& name, int first,
                                                                                        int count) const
{
    QMap<int, SoftComponentInfo> out;
    SoftComponentTable* table = softComponentTable(name);
    if (!table || count <= 0)
        return out;
    const QMap<int, SoftComponentInfo>& infos = table->softComponentInfos();
    const qint64 end = qint64(first) + count;
    for (auto it = infos.lowerBound(first); it != infos.cend() && it.key() < end; ++it)
        if (it->state != ToDelete)
            out.insert(it.key(), *it);
    return out;
}

QMap<int, SoftComponentModel::SoftComponentInfo> SoftComponentModel::getSoftCommentInfos(const QString& name) const
{
    QMap<int, SoftComponentInfo> out;
    if (SoftComponentTable* table = softComponentTable(name))
        for (auto it = table->softComponentInfos().cbegin(); it != table->softComponentInfos().cend(); ++it)
            if (it->state != ToDelete)
                out.insert(it.key(), *it);
    return out;
}

QMap<QString, QMap<int, SoftComponentModel::SoftComponentInfo>> SoftComponentModel::getAllTableSoftCommentComment() const
{
    QMap<QString, QMap<int, SoftComponentInfo>> out;
    for (const QString& letter : letters())
        out.insert(letter, getSoftCommentInfos(letter));
    return out;
}

QString SoftComponentModel::getSoftCommentcomment(const QString& address) const
{
    QString letter;
    int order = 0, bit = -1;
    if (!parseAddress(address, letter, order, bit))
        return QString();
    const SoftComponentInfo info = getSoftCommentInfo(letter, order);
    return bit >= 0 ? info.bitComments.value(bit) : info.comment;
}

bool SoftComponentModel::isOccupied(const QString& name, int order) const
{
    SoftComponentTable* table = softComponentTable(name);
    if (!table || table->softComponentType(order) != INT)
        return false;
    for (int before = order - 1; before >= order - 3; --before) {
        const SoftComponentType type = table->softComponentType(before);
        if (order - before < wordsOf(type))
            return true;
    }
    return false;
}

bool SoftComponentModel::isOccupied(const QString& address) const
{
    bool ok = false;
    const int order = address.mid(1).toInt(&ok);
    return ok && isOccupied(address.left(1).toUpper(), order);
}

QStringList SoftComponentModel::getValideTypelist(const QString& name, int order) const
{
    QStringList types{QStringLiteral("INT")};
    SoftComponentTable* table = softComponentTable(name);
    if (!table)
        return types;
    // Free for a value starting at `order`: inside the range, INT, and covered by no value
    // that starts before `order`.
    auto isFree = [&](int address) {
        if (!inRange(name, address) || table->softComponentType(address) != INT)
            return false;
        for (int before = address - 3; before < address; ++before)
            if (before != order && address - before < wordsOf(table->softComponentType(before)))
                return false;
        return true;
    };
    if (isFree(order + 1))
        types << QStringLiteral("REAL") << QStringLiteral("DINT");
    if (isFree(order + 1) && isFree(order + 2) && isFree(order + 3))
        types << QStringLiteral("LREAL");
    return types;
}

// --- writers -------------------------------------------------------------------------------------

SoftComponentModel::SoftComponentModel(const std::string& name, AbstractProjectModel* project)
    : SubModel(name, project), d(std::make_unique<SoftComponentModelPrivate>())
{
    d->ids.setUsed(0, true);
}

SoftComponentModel::~SoftComponentModel() = default;

bool SoftComponentModel::insertInfo(const QString& name, int order, SoftComponentInfo info)
{
    SoftComponentTable* table = softComponentTable(name);
    const AddressRange range = addressRange(name);
    if (!table || (range.count && !inRange(name, order)) || order < 0) {
        writeLog(HostServices::LogInfo, QStringLiteral("%1%2 refused: no such soft component").arg(name).arg(order).toStdString());
        return false;
    }
    // Only D keeps its type and its bit comments in the file: elsewhere they would be lost.
    if (name != dataLetter && (info.type != INT || !info.bitComments.isEmpty())) {
        writeLog(HostServices::LogInfo,
                 QStringLiteral("%1%2 refused: only D addresses keep a type and bit comments").arg(name).arg(order).toStdString());
        return false;
    }
    if (!table->insertComponentInfos(order, info)) {
        writeLog(HostServices::LogError,
                 QStringLiteral("%1%2 refused: no row id is left").arg(name).arg(order).toStdString());
        return false;
    }
    return true;
}

bool SoftComponentModel::editInfo(const QString& name, int order, const std::function<void(SoftComponentInfo&)>& edit)
{
    SoftComponentInfo info = getSoftCommentInfo(name, order);
    edit(info);
    if (!insertInfo(name, order, info))
        return false;
    emit dataChanged();
    return true;
}

bool SoftComponentModel::insertSoftComponentComment(const QString& name, int order, const QString& comment)
{
    return editInfo(name, order, [&comment](SoftComponentInfo& info) { info.comment = comment; });
}

bool SoftComponentModel::insertSoftComponentSnap(const QString& name, int order, const QString& snap)
{
    return editInfo(name, order, [&snap](SoftComponentInfo& info) { info.snapshot = snap; });
}

bool SoftComponentModel::insertSoftComponentType(const QString& name, int order, SoftComponentType type)
{
    return type >= INT && type <= LREAL && editInfo(name, order, [type](SoftComponentInfo& info) { info.type = type; });
}

bool SoftComponentModel::insertSoftCommentInfos(const QString& name, const QMap<int, SoftComponentInfo>& infos,
                                                bool replace)
{
    SoftComponentTable* table = softComponentTable(name);
    if (!table)
        return false;
    bool ok = true;
    if (replace)
        for (int order : table->softComponentInfos().keys())
            if (!infos.contains(order))
                ok = insertInfo(name, order, SoftComponentInfo()) && ok;
    for (auto it = infos.cbegin(); it != infos.cend(); ++it) {
        writeLog(HostServices::LogInfo, QStringLiteral("Insert1: name: %1, order: %2, comments: %3")
                                            .arg(name).arg(it.key()).arg(it->comment).toStdString());
        ok = insertInfo(name, it.key(), *it) && ok;
    }
    emit dataChanged();
    return ok;
}

bool SoftComponentModel::insertSoftCommentComment(const QString& address, const QString& comment)
{
    QString letter;
    int order = 0, bit = -1;
    if (!parseAddress(address, letter, order, bit)) {
        writeLog(HostServices::LogInfo, "comment of '" + address.toStdString() + "' refused: no soft component address");
        return false;
    }
    writeLog(HostServices::LogInfo,
             QStringLiteral("Insert2: name: %1, comments: %2").arg(address, comment).toStdString());
    return editInfo(letter, order, [&](SoftComponentInfo& info) {
        if (bit < 0)
            info.comment = comment;
        else if (comment.isEmpty())
            info.bitComments.remove(bit);
        else
            info.bitComments.insert(bit, comment);
    });
}

// --- storage -------------------------------------------------------------------------------------

bool SoftComponentModel::jsonStr2SoftComponentInfos(const QByteArray& json, bool withBits,
                                                    QMap<int, SoftComponentInfo>& out, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = parseError.error == QJsonParseError::NoError ? QStringLiteral("not a JSON object")
                                                                  : parseError.errorString();
        return false;
    }
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool ok = false;
        const int order = it.key().toInt(&ok);
        if (!ok || order < 0 || !it.value().isObject())
            continue;
        const QJsonObject fields = it.value().toObject();
        SoftComponentInfo info;
        info.snapshot = fields.value(QStringLiteral("SnapValue")).toString();
        info.comment = fields.value(QStringLiteral("Comments")).toString();
        if (withBits)
            info.bitComments = bitsOf(fields.value(QStringLiteral("BitComments")).toObject());
        out.insert(order, info);
    }
    return true;
}

bool SoftComponentModel::open()
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'SoftwareComponent'"))
        || !query.next()) {
        writeLog(HostServices::LogError, QStringLiteral("open table failed: %1").arg(query.lastError().text()).toStdString());
        return false;
    }
    const bool hasOldTable = query.value(0).toInt() > 0;
    query.finish();

    d->tables.clear();
    d->ids.reset(MaxRowId);
    d->ids.setUsed(0, true);
    for (const QString& letter : letters())
        d->tables[letter] = std::make_unique<SoftComponentTable>(letter, &d->ids, this);

    QSqlQuery exists(database());
    exists.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'SoftwareComponentTable'"));
    const bool hasNewTable = exists.next() && exists.value(0).toInt() > 0;
    exists.finish();
    bool ok = !hasNewTable || reload();
    if (hasOldTable)
        ok = migrate(hasNewTable) && ok;

    const QMap<QString, QVariant> names =
        DevDescription::instance()->devProperty(QStringLiteral("SoftComponent"), QVariant()).toMap();
    const QString language =
        HostServices::setting(QStringLiteral("General/Language"), QLocale::system().name()).toString().toUpper();
    d->displayNames.clear();
    for (const QString& letter : letters()) {
        const QMap<QString, QVariant> texts = names.value(letter).toMap();
        for (auto it = texts.cbegin(); it != texts.cend(); ++it)
            if (!language.isEmpty() && it.key().toUpper().contains(language))
                d->displayNames.insert(letter, it.value().toString());
        writeLog(HostServices::LogInfo, QStringLiteral("SoftName: %1,Number:%2")
                                            .arg(d->displayNames.value(letter, letter))
                                            .arg(addressRange(letter).count)
                                            .toStdString());
    }
    return ok;
}

// Moves the older table's snapshots and comments into SoftwareComponentTable: in one
// transaction the new table is created (unless it exists) and filled, and the old one dropped,
// so that a failure anywhere leaves the file as it was. A read-only project shows the old
// comments and changes nothing.
bool SoftComponentModel::migrate(bool tableExists)
{
    const bool readOnly = DatabaseConnection::isReadOnly(database());
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM SoftwareComponent"))) {
        writeLog(HostServices::LogError, QStringLiteral("open table failed: %1").arg(query.lastError().text()).toStdString());
        return false;
    }
    const QSqlRecord columns = query.record();
    const int nameColumn = columns.indexOf(QStringLiteral("Name")), dataColumn = columns.indexOf(QStringLiteral("SnapAndComments"));
    std::vector<SoftComponentTable*> migrated;
    while (query.next()) {
        const QString name = query.value(nameColumn).toString();
        const QByteArray json = query.value(dataColumn).toString().toUtf8();
        QMap<int, SoftComponentInfo> infos;
        QString error;
        if (!jsonStr2SoftComponentInfos(json, name == dataLetter, infos, &error)) {
            writeLog(HostServices::LogInfo,
                     QStringLiteral("jsonStr2SoftComponentInfos: %1,jsonStr:%2").arg(error, QString::fromUtf8(json)).toStdString());
            continue;
        }
        auto& slot = d->tables[name];
        if (!slot)
            slot = std::make_unique<SoftComponentTable>(name, &d->ids, this);
        for (auto it = infos.cbegin(); it != infos.cend(); ++it) {
            // An address the new table holds already was migrated before: it stays.
            if (slot->softComponentInfos().contains(it.key()))
                continue;
            if (readOnly) {
                SoftComponentInfo info = *it;
                info.id = static_cast<int>(d->ids.takenId());
                slot->initComponentInfos(it.key(), info);
            } else if (!slot->insertComponentInfos(it.key(), *it)) {
                writeLog(HostServices::LogError, QStringLiteral("INSERT error: no row id left for %1%2")
                                                     .arg(name).arg(it.key()).toStdString());
            }
        }
        migrated.push_back(slot.get());
    }
    query.finish();
    if (readOnly)
        return true;

    ScopedTransaction transaction(database());
    QString error = transaction.errorText();
    bool ok = transaction.isActive();
    if (ok && !tableExists) {
        QSqlQuery create(database());
        ok = create.exec(QStringLiteral("CREATE TABLE SoftwareComponentTable ( Id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, "
                                        "OrderNum INTEGER, Snapshot TEXT, Comments TEXT, BitComments TEXT, Properties "
                                        "TEXT,CompileData BLOB);"));
        if (ok) {
            writeLog(HostServices::LogInfo, "CREATE SoftwareComponentTable successfully.");
        } else {
            error = create.lastError().text();
            writeLog(HostServices::LogError,
                     QStringLiteral("Error: Failed to CREATE SoftwareComponentTable: %1").arg(error).toStdString());
        }
    }
    ok = ok && writeTables(migrated, &error);
    if (ok) {
        QSqlQuery drop(database());
        ok = drop.exec(QStringLiteral("DROP TABLE IF EXISTS SoftwareComponent"));
        if (ok) {
            writeLog(HostServices::LogInfo, "deleted SoftwareComponent successfully.");
        } else {
            error = drop.lastError().text();
            writeLog(HostServices::LogError, QStringLiteral("Error: Failed to delete table: %1").arg(error).toStdString());
        }
    }
    if (ok && !transaction.commit()) {
        ok = false;
        error = transaction.errorText();
    }
    if (!ok) {
        // Rolled back: the old table keeps every comment and the next open migrates again.
        writeLog(HostServices::LogError,
                 "moving table SoftwareComponent into SoftwareComponentTable failed: " + error.toStdString());
        return false;
    }
    syncTables(migrated);
    return true;
}

bool SoftComponentModel::reload()
{
    for (const auto& entry : d->tables)
        entry.second->clear();
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT Id, Name, OrderNum, Snapshot, Comments, BitComments, Properties FROM "
                                   "SoftwareComponentTable"))) {
        writeLog(HostServices::LogError,
                 QStringLiteral("open SoftwareComponentTable: %1").arg(query.lastError().text()).toStdString());
        return false;
    }
    int rows = 0;
    SoftComponentTable* table = nullptr;
    while (query.next()) {
        const QString name = query.value(1).toString();
        if (!table || table->name() != name) {
            auto& slot = d->tables[name];
            if (!slot)
                slot = std::make_unique<SoftComponentTable>(name, &d->ids, this);
            table = slot.get();
        }
        SoftComponentInfo info;
        info.id = query.value(0).toInt();
        info.snapshot = query.value(3).toString();
        info.comment = query.value(4).toString();
        info.bitComments = parseBitComments(query.value(5).toString());
        info.type = typeOf(query.value(6).toString());
        table->initComponentInfos(query.value(2).toInt(), std::move(info));
        ++rows;
    }
    writeLog(HostServices::LogInfo, QStringLiteral("open SoftwareComponentTable: %1 rows").arg(rows).toStdString());
    return true;
}

QString SoftComponentModel::bitCommentsColumn(const QString& letter, const QMap<int, QString>& bits)
{
    return letter == dataLetter ? bitCommentsText(bits) : QString(QLatin1String(""));
}

QString SoftComponentModel::propertiesColumn(const QString& letter, SoftComponentType type)
{
    return letter == dataLetter ? QStringLiteral("{\"type\":\"%1\"}").arg(int(type)) : QString(QLatin1String(""));
}

bool SoftComponentModel::writeTables(const std::vector<SoftComponentTable*>& tables, QString* error)
{
    AbstractProjectModel* project = projectModel();
    DATAMODEL_ASSERT(project, return false);
    static const QString insertStatement = QStringLiteral(
        "INSERT INTO SoftwareComponentTable(Id,Name,OrderNum,Snapshot,Comments,BitComments, Properties) VALUES(?, ?, ?, ?, ?, ?, ?)");
    static const QString updateStatement = QStringLiteral(
        "UPDATE SoftwareComponentTable SET Snapshot=?, Comments=?, BitComments=?, Properties=?  WHERE Id=?");
    static const QString deleteStatement = QStringLiteral("DELETE FROM SoftwareComponentTable where id = ?");
    static const char* const kinds[3] = {"INSERT", "UPDATE", "DELETE"};
    WriteLog log;
    auto report = [&](int kind, const QString& name, int order, const SoftComponentInfo& info) {
        ++log.total[kind];
        if (log.logged[kind]++ < RowsLoggedOneByOne)
            writeLog(HostServices::LogInfo, QStringLiteral("%1: name: %2, order: %3, comments: %4")
                                                .arg(QLatin1String(kinds[kind]), name).arg(order).arg(info.comment)
                                                .toStdString());
    };
    auto fail = [&](int kind, const QSqlQuery& query) {
        *error = query.lastError().text();
        writeLog(HostServices::LogError, QStringLiteral("%1 error: %2").arg(QLatin1String(kinds[kind]), *error).toStdString());
        return false;
    };
    for (SoftComponentTable* table : tables) {
        const QString& name = table->name();
        const QMap<int, SoftComponentInfo>& infos = table->softComponentInfos();
        for (auto it = infos.cbegin(); it != infos.cend(); ++it) {
            const SoftComponentInfo& info = *it;
            if (info.state == Stored)
                continue;
            if (info.state == ToDelete) {
                QSqlQuery& query = project->preparedQuery(deleteStatement);
                query.bindValue(0, info.id);
                if (!query.exec())
                    return fail(2, query);
                report(2, name, it.key(), info);
                continue;
            }
            const QString bits = bitCommentsColumn(name, info.bitComments);
            const QString properties = propertiesColumn(name, info.type);
            bool written = false;
            if (info.state == ToUpdate) {
                QSqlQuery& query = project->preparedQuery(updateStatement);
                query.bindValue(0, info.snapshot);
                query.bindValue(1, info.comment);
                query.bindValue(2, bits);
                query.bindValue(3, properties);
                query.bindValue(4, info.id);
                if (!query.exec())
                    return fail(1, query);
                written = query.numRowsAffected() > 0;
                if (written)
                    report(1, name, it.key(), info);
            }
            if (!written) {
                // A row to insert may be there already (written by an automatic save into
                // this file): it is updated then, so that writing twice is harmless.
                QSqlQuery& query = project->preparedQuery(insertStatement);
                const QVariantList values{info.id, name, it.key(), info.snapshot, info.comment, bits, properties};
                for (int i = 0; i < values.size(); ++i)
                    query.bindValue(i, values[i]);
                if (!query.exec()) {
                    if (info.state != ToInsert)
                        return fail(0, query);
                    QSqlQuery& update = project->preparedQuery(updateStatement);
                    for (int i = 0; i < 4; ++i)
                        update.bindValue(i, values[i + 3]);
                    update.bindValue(4, info.id);
                    if (!update.exec() || update.numRowsAffected() == 0)
                        return fail(0, query);
                }
                report(0, name, it.key(), info);
            }
        }
    }
    for (int kind = 0; kind < 3; ++kind)
        if (log.total[kind] > RowsLoggedOneByOne)
            writeLog(HostServices::LogInfo, QStringLiteral("%1: %2 rows in all").arg(QLatin1String(kinds[kind])).arg(log.total[kind]).toStdString());
    return true;
}

void SoftComponentModel::syncTables(const std::vector<SoftComponentTable*>& tables)
{
    if (!d->clearModifiedOnSave)
        return; // an automatic save into another file: the real save writes them again
    for (SoftComponentTable* table : tables) {
        table->sync();
        table->setModified(false);
    }
}

bool SoftComponentModel::writeCommitted(const std::vector<SoftComponentTable*>& tables, const std::string& what)
{
    ScopedTransaction transaction(database());
    QString error = transaction.errorText();
    bool ok = transaction.isActive() && writeTables(tables, &error);
    if (ok && !transaction.commit()) {
        ok = false;
        error = transaction.errorText();
    }
    if (!ok) {
        writeLog(HostServices::LogError, "save of " + what + " failed: " + error.toStdString());
        return false;
    }
    // Inside a project's save the commit above is a savepoint: the tables count as written only
    // once the project's transaction has committed.
    if (d->clearModifiedOnSave)
        afterSave([this, tables] { syncTables(tables); });
    return true;
}

bool SoftComponentModel::save()
{
    writeLog(HostServices::LogInfo, "Save SoftwareComponentTable");
    std::vector<SoftComponentTable*> pending;
    for (SoftComponentTable* table : d->all())
        if (table->hasPending())
            pending.push_back(table);
    return pending.empty() || writeCommitted(pending, "the soft component comments");
}

bool SoftComponentModel::saveAs(bool flag)
{
    d->clearModifiedOnSave = flag;
    return true;
}

bool SoftComponentModel::saveObject(ModelObject* obj)
{
    auto* table = qobject_cast<SoftComponentTable*>(obj);
    DATAMODEL_ASSERT(table && softComponentTable(table->name()) == table, return false);
    return writeCommitted({table}, "soft component table " + table->name().toStdString());
}

bool SoftComponentModel::loadObject(ModelObject*)
{
    return false;
}
