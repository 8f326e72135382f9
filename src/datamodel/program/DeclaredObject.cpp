#include "datamodel/program/DeclaredObject.h"

#include <QDateTime>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<unsigned long long> generation{0};

unsigned int nowSeconds()
{
    return static_cast<unsigned int>(QDateTime::currentSecsSinceEpoch());
}

} // namespace

DeclaredObject::DeclaredObject(Kind kind, unsigned int id, const std::string& name, unsigned int folderId,
                               SubModel* owner)
    : ModelObject(owner), m_folderId(folderId), m_name(name), m_kind(kind), m_id(id)
{
    textsChanged();
}

unsigned long long DeclaredObject::textGeneration()
{
    return generation.load(std::memory_order_relaxed);
}

void DeclaredObject::textsChanged()
{
    generation.fetch_add(1, std::memory_order_relaxed);
}

void DeclaredObject::assignDeclaration(std::string text)
{
    m_varDeclaration = std::move(text);
    textsChanged();
}

DeclaredObject::~DeclaredObject() = default;

bool DeclaredObject::declarationInSync() const
{
    // A stamp that is no number counts as 0, as an object that was never edited.
    const std::string stamp = m_properties.value("VarDeclModifiedTime", "0");
    return m_syncTime >= std::strtoll(stamp.c_str(), nullptr, 10);
}

std::string DeclaredObject::property(const std::string& key, const std::string& defaultValue) const
{
    return m_properties.value(key, defaultValue);
}

std::map<std::string, std::string> DeclaredObject::propertys() const
{
    return m_properties.map();
}

const StringProperties& DeclaredObject::properties() const
{
    return m_properties.properties();
}

const QString& DeclaredObject::propertiesJson() const
{
    return m_properties.toJson();
}

void DeclaredObject::addVarDeclarationErr(std::vector<ac::ACMessage>& messages)
{
    m_declarationErrors.insert(m_declarationErrors.end(), messages.begin(), messages.end());
}

void DeclaredObject::touch()
{
    setModified(true);
    m_modifiedTime = nowSeconds();
    markProjectModified();
}

void DeclaredObject::setName(const std::string& name)
{
    const std::string oldName = m_name;
    m_name = name;
    nameChanged(oldName);
}

void DeclaredObject::stampDeclaration()
{
    m_properties.set("VarDeclModifiedTime", std::to_string(QDateTime::currentMSecsSinceEpoch()));
}

void DeclaredObject::setVarDeclaration(const std::string& text)
{
    assignDeclaration(text);
    stampDeclaration();
    touch();
}

bool DeclaredObject::setProperty(const std::string& key, const std::string& value)
{
    m_properties.set(key, value);
    touch();
    return true;
}

void DeclaredObject::setCompileTime(unsigned int time)
{
    m_compileTime = time;
    m_modifiedTime = nowSeconds();
    setModified(true);
}

void DeclaredObject::setFolderId(unsigned int folderId)
{
    m_folderId = folderId;
    setModified(true);
}
