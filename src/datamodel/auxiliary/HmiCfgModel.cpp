#include "datamodel/auxiliary/HmiCfgModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ScopedTransaction_p.h"
#include "datamodel/model/SoftAssert_p.h"
#include "datamodel/model/SqlText_p.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

class HmiCfgModelPrivate
{
public:
    QMap<int, QString> names; // indices 0 ... n-1
    std::unique_ptr<HmiCfgModel::HmiTable> table;
    bool clearModifiedOnSave = true;
};

HmiCfgModel::HmiTable::HmiTable(HmiCfgModel* model) : ModelObject(model) {}

void HmiCfgModel::HmiTable::setDataChange()
{
    setModified(true);
    emit dataChanged(this, QStringLiteral("HmiCfgEitorView"), QString());
}

HmiCfgModel::HmiCfgModel(const std::string& name, AbstractProjectModel* project)
    : SubModel(name, project), d(std::make_unique<HmiCfgModelPrivate>())
{
}

HmiCfgModel::~HmiCfgModel() = default;

bool HmiCfgModel::open()
{
    d->names.clear();
    d->table = std::make_unique<HmiTable>(this);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM HmiCfgTable"))) {
        writeLog(HostServices::LogInfo, "no HMI list read: " + query.lastError().text().toStdString());
        return true;
    }
    const int column = query.record().indexOf(QStringLiteral("FullName"));
    while (query.next())
        d->names.insert(d->names.size(), query.value(column).toString());
    return true;
}

QMap<int, QString> HmiCfgModel::getAllVarFullNames() const
{
    return d->names;
}

int HmiCfgModel::getMaxIndex() const
{
    return d->names.size() - 1;
}

HmiCfgModel::HmiTable* HmiCfgModel::hmiTable() const
{
    return d->table.get();
}

int HmiCfgModel::insertVarFullNames(int index, const QString& name)
{
    if (index < 0)
        return -1;
    if (index > d->names.size())
        index = d->names.size();
    d->names.insert(index, name);
    if (d->table)
        d->table->setDataChange();
    return index;
}

void HmiCfgModel::removeVarFullNames(int index)
{
    if (!d->names.contains(index))
        return;
    QMap<int, QString> shifted;
    for (auto it = d->names.cbegin(); it != d->names.cend(); ++it)
        if (it.key() != index)
            shifted.insert(it.key() < index ? it.key() : it.key() - 1, it.value());
    d->names = shifted;
    if (d->table)
        d->table->setDataChange();
}

bool HmiCfgModel::checkVarNameExits(int index, const QString& name) const
{
    for (auto it = d->names.cbegin(); it != d->names.cend(); ++it)
        if (it.key() != index && it.value().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool HmiCfgModel::deleteAll(QString* error)
{
    QSqlQuery query(database());
    if (query.exec(QStringLiteral("DELETE FROM HmiCfgTable")))
        return true;
    *error = query.lastError().text();
    return false;
}

bool HmiCfgModel::write(QString* error)
{
    ScopedTransaction transaction(database());
    if (!transaction.isActive()) {
        *error = transaction.errorText();
        return false;
    }
    if (!deleteAll(error))
        return false; // rolled back
    QSqlQuery query(database());
    for (const QString& name : d->names) {
        if (!query.exec(QStringLiteral("INSERT INTO HmiCfgTable (FullName, Address, Properties) VALUES(%1, '', '')")
                            .arg(SqlText::literal(name)))) {
            *error = query.lastError().text();
            return false;
        }
    }
    if (!transaction.commit()) {
        *error = transaction.errorText();
        return false;
    }
    return true;
}

bool HmiCfgModel::save()
{
    DATAMODEL_ASSERT(d->table, return false);
    if (!d->table->isModified())
        return true;
    QString error;
    if (!write(&error)) {
        writeLog(HostServices::LogError, "save of the HMI list failed: " + error.toStdString());
        return false;
    }
    // The list counts as written once the project's transaction (if any) has committed.
    if (d->clearModifiedOnSave)
        afterSave([this] { d->table->setModified(false); });
    return true;
}

bool HmiCfgModel::saveAs(bool flag)
{
    d->clearModifiedOnSave = flag;
    return true;
}

bool HmiCfgModel::saveObject(ModelObject* obj)
{
    DATAMODEL_ASSERT(obj && obj == d->table.get(), return false);
    d->table->setModified(true);
    return save();
}

bool HmiCfgModel::loadObject(ModelObject*)
{
    return false;
}
