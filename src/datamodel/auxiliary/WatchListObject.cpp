#include "datamodel/auxiliary/WatchListObject.h"

#include "datamodel/auxiliary/WatchListModel.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString varName = QStringLiteral("VarName");

} // namespace

WatchListObject::WatchListObject(unsigned int id, const QString& name, const QByteArray& listData,
                                 WatchListModel* model)
    : ModelObject(model), m_id(id), m_name(name)
{
    setListData(listData);
    setModified(false);
}

void WatchListObject::setListData(const QByteArray& listData)
{
    const QJsonDocument doc = QJsonDocument::fromJson(listData);
    m_variables = doc.isArray() ? doc.array() : QJsonArray();
    setModified(true);
}

WatchListObject::~WatchListObject() = default;

bool WatchListObject::rename(const std::string& name)
{
    const QString newName = QString::fromStdString(name);
    auto* model = qobject_cast<WatchListModel*>(subModel());
    const WatchListObject* other = model ? model->getObject(newName) : nullptr;
    if (other && other != this)
        return false;
    const std::string oldName = m_name.toStdString();
    m_name = newName;
    setModified(true);
    nameChanged(oldName); // keeps the model's name index in step
    return true;
}

bool WatchListObject::appendVariable(const QString& name)
{
    m_variables.append(QJsonObject{{varName, name}});
    setModified(true);
    emit dataChanged(this, QStringLiteral("variableChanged"), QString::number(m_variables.size() - 1));
    return true;
}

bool WatchListObject::removeVariable(int index)
{
    if (index < 0 || index >= m_variables.size())
        return false;
    m_variables.removeAt(index);
    setModified(true);
    emit dataChanged(this, QStringLiteral("variableRemoved"), QString::number(index));
    return true;
}

bool WatchListObject::removeVariable(const QString& name)
{
    for (int i = 0; i < m_variables.size(); ++i)
        if (getVariableName(i) == name)
            return removeVariable(i);
    return false;
}

QString WatchListObject::getVariableName(int index) const
{
    if (index < 0 || index >= m_variables.size())
        return QString();
    return m_variables.at(index).toObject().value(varName).toString();
}

bool WatchListObject::setVariableName(int index, const QString& name)
{
    if (index < 0 || index >= m_variables.size())
        return false;
    // Other members of the entry stay.
    QJsonObject entry = m_variables.at(index).toObject();
    entry.insert(varName, name);
    m_variables.replace(index, entry);
    setModified(true);
    emit dataChanged(this, QStringLiteral("variableChanged"), QString::number(index));
    return true;
}

QByteArray WatchListObject::getListData() const
{
    return QJsonDocument(m_variables).toJson(QJsonDocument::Compact);
}

void WatchListObject::setPropertys(const QString& properties)
{
    m_properties = properties;
    setModified(true);
}
