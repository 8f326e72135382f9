#pragma once

// A user project registered and named current, whose declarations are parsed in its compiler
// core by the synchroniser's sync step, so that the memory image reads a real compilation.
#include "ModelTestSupport.h"

#include "datamodel/compiler/SymbolSynchrinizer.h"
#include "datamodel/memory/OnlineChange.h"
#include "datamodel/memory/ProjectVarSerializer.h"
#include "datamodel/memory/SerializeData.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/CookieStore.h"
#include "host/DefaultApplication.h"

#include <cstring>
#include <vector>

class MemImageTest : public testsupport::ModelTest
{
protected:
    static constexpr const char* projectName = "MemImage";

    void SetUp() override
    {
        ModelTest::SetUp();
        model = createProject(projectName).release();
        ASSERT_EQ(ProjectModelManager::instance()->addProjectModel(projectName, model), ProjectModelManager::Success);
        cookies()->setValue("Project.Name", projectName);
        SymbolSynchrinizer::instance()->bindProject(projectName);
    }
    void TearDown() override
    {
        ProjectModelManager::instance()->removeProjectModel(projectName);
        cookies()->setValue("Project.Name", QString());
    }
    static host::CookieStore* cookies() { return testsupport::defaultHost().cookies(); }

    void gvl(const std::string& name, const std::string& declaration)
    {
        {
            SafeProjectModel hold(projectName);
            auto* lists = model->subModel<GlobalVarModel>();
            GlobalVarModel::GlobalVarTable* list = lists->varTable(QString::fromStdString(name));
            if (!list)
                list = lists->addVarTable(name, 0);
            ASSERT_NE(list, nullptr);
            list->setVarDeclaration(declaration);
        }
        sync(SyncGlobalVars, name);
    }
    void type(const std::string& name, const std::string& declaration)
    {
        {
            SafeProjectModel hold(projectName);
            auto* types = model->subModel<DataTypeModel>();
            DataTypeModel::DataUnit* unit = types->dataUnit(QString::fromStdString(name));
            if (!unit)
                unit = types->addDataUnit(name, DataTypeModel::Struct, 0);
            ASSERT_NE(unit, nullptr);
            unit->setVarDeclaration(declaration);
        }
        sync(SyncDataType, name);
    }
    void pou(const std::string& name, const std::string& declaration, PouModel::PouType kind = PouModel::PRGPOU)
    {
        {
            SafeProjectModel hold(projectName);
            auto* pous = model->subModel<PouModel>();
            PouModel::PouUnit* unit = pous->pou(QString::fromStdString(name));
            if (!unit)
                unit = pous->addPou(name, kind, PouModel::POU_ST, 0);
            ASSERT_NE(unit, nullptr);
            unit->setVarDeclaration(declaration);
        }
        sync(SyncPouDeclaration, name);
    }
    void sync(SyncType kind, const std::string& name)
    {
        SymbolSynchrinizer::instance()->syncStep(kind, name);
    }

    // A compilation: every declaration parsed again, types first, so that a list or program
    // sees the types as they are now.
    void compile()
    {
        std::vector<std::pair<SyncType, std::string>> objects;
        {
            SafeProjectModel hold(projectName);
            std::vector<DataTypeModel::DataUnit*> types;
            model->subModel<DataTypeModel>()->allDataUnits(types);
            for (auto* unit : types)
                objects.emplace_back(SyncDataType, unit->name());
            std::vector<GlobalVarModel::GlobalVarTable*> lists;
            model->subModel<GlobalVarModel>()->allVarTables(lists);
            for (auto* list : lists)
                objects.emplace_back(SyncGlobalVars, list->name());
            std::vector<PouModel::PouUnit*> pous;
            model->subModel<PouModel>()->allPous(pous, PouModel::AllPouTypes);
            for (auto* unit : pous)
                objects.emplace_back(SyncPouDeclaration, unit->name());
        }
        for (const auto& object : objects)
            sync(object.first, object.second);
    }

    SerializeData current()
    {
        compile();
        SerializeData data;
        serializer().getCurrentSerializeData(data);
        return data;
    }
    static ProjectVarSerializer& serializer() { return ProjectVarSerializer::getInstance(); }

    static const ac::SymbolMemberInfo* member(const SerializeData& data, int section, const std::string& symbol,
                                              const std::string& name)
    {
        const ac::PrjMemSymbolInfo* s = data.find(section, symbol);
        if (!s)
            return nullptr;
        for (const ac::SymbolMemberInfo& m : s->members)
            if (m.name == name)
                return &m;
        return nullptr;
    }
    static const OnlineChange::Change* entry(const OnlineChange& c, const std::string& symbol, const std::string& name)
    {
        for (const OnlineChange::Change& x : c.changes())
            if (x.symbol == symbol && x.member == name)
                return &x;
        return nullptr;
    }
    static std::vector<const ac::PrjMemCopyMember*> copiesOf(const OnlineChange& c, const std::string& symbol,
                                                             const std::string& path)
    {
        std::vector<const ac::PrjMemCopyMember*> out;
        for (const ac::PrjMemCopyMember& copy : c.info().copies)
            if (copy.symbolName == symbol && (copy.memberName == path || copy.memberName.rfind(path + ".", 0) == 0
                                              || copy.memberName.rfind(path + "[]", 0) == 0))
                out.push_back(&copy);
        return out;
    }

    // The memory of one block, old or new, as the controller holds it.
    struct Image
    {
        std::vector<unsigned char> bytes;
        explicit Image(unsigned long long size) : bytes(static_cast<size_t>(size), 0) {}
        template <typename T>
        void put(unsigned long long offset, T value)
        {
            ASSERT_LE(offset + sizeof(T), bytes.size());
            std::memcpy(bytes.data() + offset, &value, sizeof(T));
        }
        template <typename T>
        T get(unsigned long long offset) const
        {
            T value{};
            if (offset + sizeof(T) <= bytes.size())
                std::memcpy(&value, bytes.data() + offset, sizeof(T));
            return value;
        }
    };
    // Runs every copy of `symbol` from `from` into `to`, as the controller does in an online change.
    static void applyCopies(const OnlineChange& c, const std::string& symbol, const Image& from, Image& to)
    {
        for (const ac::PrjMemCopyMember& copy : c.info().copies) {
            if (copy.symbolName == symbol) {
                EXPECT_TRUE(copy.apply(from.bytes.data(), from.bytes.size(), to.bytes.data(), to.bytes.size()))
                    << copy.memberName;
            }
        }
    }
    static unsigned long long blockSize(const SerializeData& data, const std::string& symbol, int section = SerializeData::GlobalSection)
    {
        const ac::PrjMemSymbolInfo* s = data.find(section, symbol);
        return s ? SerializeData::blockEnd(*s) : 0;
    }

    AbstractPlcProjectModel* model = nullptr; // owned by the registry
};
