#pragma once

#include "datamodel/model/IDDistributor.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/NameIndex_p.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/ScopedTransaction_p.h"
#include "datamodel/model/StoredRows_p.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// The objects of one sub-model keyed by id, as most sub-models keep them: owned, walked in
// ascending id order, ids from one allocator, found by name through a name index, and the
// rows known to be stored. save() is the one implementation of "write what changed, delete
// what is gone" that these sub-models share; it visits the objects set modified since the
// last save (the modified list), not every object, so that saving one edit costs the same in
// a small and a large project.
template <typename Object>
class ObjectTable
{
public:
    static constexpr unsigned int MaxId = 100000;

    ObjectTable(const QString& table, const QString& idColumn = QStringLiteral("ID"))
        : m_ids(MaxId), m_rows(table, idColumn)
    {
    }

    // Empties the table and the allocator; id 0 stays reserved when `reserveZero`.
    void reset(bool reserveZero = true)
    {
        m_objects.clear();
        m_live.clear();
        m_names.clear();
        m_modified.clear();
        m_rows.clear();
        m_erased = false;
        m_ids.reset(MaxId);
        if (reserveZero)
            m_ids.setUsed(0, true);
    }

    Object* find(unsigned int id) const
    {
        auto it = m_objects.find(id);
        return it == m_objects.end() ? nullptr : it->second.get();
    }
    Object* find(const QString& path) const
    {
        unsigned int id = 0;
        return ObjectPath::toId(path, id) ? find(id) : nullptr;
    }
    // Whether `object` is one of the table's objects; safe for any pointer, also one whose
    // object was deleted already.
    bool contains(const Object* object) const { return object && m_live.count(object) != 0; }
    // The table's object that `object` is, found by address alone: null for an object of
    // another kind, of another table, or one deleted already.
    Object* owned(const ModelObject* object) const
    {
        auto it = object ? m_live.find(object) : m_live.end();
        return it == m_live.end() ? nullptr : it->second;
    }
    Object* findFirst(const std::function<bool(const Object&)>& match) const
    {
        for (const auto& entry : m_objects)
            if (match(*entry.second))
                return entry.second.get();
        return nullptr;
    }
    // The first object in id order whose name `match` accepts, among those whose names fold
    // to the key of `name` (NameIndex): `match` must accept no name of another key.
    template <typename Match>
    Object* findNamed(const std::string& name, Match&& match) const
    {
        for (unsigned int id : m_names.candidates(name)) {
            Object* object = find(id);
            if (object && match(*object))
                return object;
        }
        return nullptr;
    }
    // Every object whose name folds to the key of `name`, in id order.
    std::vector<Object*> sameKey(const std::string& name) const
    {
        std::vector<Object*> out;
        for (unsigned int id : m_names.candidates(name))
            if (Object* object = find(id))
                out.push_back(object);
        return out;
    }
    // The object's name was `oldName` until now.
    void renamed(const Object* object, const std::string& oldName)
    {
        if (!contains(object))
            return;
        m_names.remove(oldName, object->id());
        m_names.add(object->name(), object->id());
    }
    // The object set its modified flag: the next save writes it.
    void modified(const ModelObject* object)
    {
        if (Object* own = owned(object))
            m_modified.insert(own->id());
    }

    // Takes ownership and marks the id used.
    Object* insert(std::unique_ptr<Object> object)
    {
        Object* raw = object.get();
        m_ids.setUsed(raw->id(), true);
        auto& slot = m_objects[raw->id()];
        if (slot) {
            m_live.erase(slot.get());
            m_names.remove(slot->name(), slot->id());
        }
        slot = std::move(object);
        m_live.emplace(raw, raw);
        m_names.add(raw->name(), raw->id());
        if (raw->isModified())
            m_modified.insert(raw->id());
        return raw;
    }
    // An object just read from the table: its row exists.
    Object* insertLoaded(std::unique_ptr<Object> object)
    {
        m_rows.add(object->id());
        return insert(std::move(object));
    }
    // Removes the object, gives its id back and deletes it.
    bool erase(Object* object)
    {
        if (!contains(object))
            return false;
        const unsigned int id = object->id();
        m_live.erase(object);
        m_names.remove(object->name(), id);
        m_modified.erase(id);
        m_objects.erase(id);
        m_ids.setUsed(id, false);
        m_erased = true;
        return true;
    }

    bool isUsed(unsigned int id) const { return m_ids.isUsed(id); }
    unsigned int nextId() { return m_ids.fistUnusd(); }
    IDDistributor& ids() { return m_ids; }
    StoredRows& rows() { return m_rows; }
    std::size_t size() const { return m_objects.size(); }

    template <typename Fn>
    void forEach(Fn&& fn) const
    {
        for (const auto& entry : m_objects)
            fn(entry.second.get());
    }
    std::vector<Object*> all() const
    {
        std::vector<Object*> out;
        out.reserve(m_objects.size());
        forEach([&out](Object* o) { out.push_back(o); });
        return out;
    }

    // Writes every modified object with `write` and deletes the rows of objects no longer in
    // memory, inside one transaction (a level of the project's save when one is open). The
    // first failure stops the writing and rolls this level back: a save is all or nothing.
    // `deleted` learns the ids whose rows were deleted at once, inside the transaction, so that
    // models following the file's triggers do so before they write. `written` runs for each
    // object written only once the outermost transaction has committed, so that nothing is
    // marked saved that did not reach the file. False when a write, the deletion or the
    // commit failed; `error` then holds the database's text.
    bool save(QSqlDatabase db, const std::function<bool(Object*)>& write,
              const std::function<void(Object*)>& written, QString* error,
              const std::function<void(const std::vector<unsigned int>&)>& deleted = {})
    {
        ScopedTransaction transaction(db);
        if (!transaction.isActive()) {
            if (error)
                *error = transaction.errorText();
            return false;
        }
        std::vector<unsigned int> done;
        for (unsigned int id : m_modified) {
            Object* object = find(id);
            if (!object || !object->isModified())
                continue;
            if (!write(object))
                return false; // the transaction's destructor rolls this level back
            done.push_back(object->id());
        }
        // Rows written count as stored from now on. Should the commit fail they are not in the
        // file after all, which costs the next save no more than an update that finds no row
        // before its insert.
        for (unsigned int id : done)
            m_rows.add(id);
        // Only a removal, a file switch or rows that memory does not account for leave rows to
        // delete; a save after an edit does not walk every stored id.
        const bool sweep = m_erased || m_rows.isUnknown() || m_rows.size() != m_objects.size();
        if (sweep && !m_rows.sweep(db, [this](unsigned int id) { return m_objects.count(id) != 0; }, error))
            return false;
        const std::vector<unsigned int> gone = sweep ? m_rows.swept() : std::vector<unsigned int>();
        if (deleted)
            deleted(gone);
        ScopedTransaction::afterCommit(db, [this, done, gone, sweep, written] {
            m_rows.forget(gone);
            if (sweep)
                m_erased = false;
            // Looked up again: an object removed meanwhile is not touched.
            for (unsigned int id : done)
                if (Object* object = find(id))
                    written(object);
            // What is still modified (flags that an automatic save keeps, an edit made since)
            // stays listed for the next save.
            for (auto it = m_modified.begin(); it != m_modified.end();) {
                Object* object = find(*it);
                it = object && object->isModified() ? std::next(it) : m_modified.erase(it);
            }
        });
        if (!transaction.commit()) {
            if (error)
                *error = transaction.errorText();
            return false;
        }
        return true;
    }

private:
    std::map<unsigned int, std::unique_ptr<Object>> m_objects;
    // The objects of m_objects by the address of their ModelObject, to tell a stale or foreign
    // pointer without touching it.
    std::unordered_map<const ModelObject*, Object*> m_live;
    NameIndex m_names;
    // Ids of the objects that set their modified flag since the last save, ascending: the
    // order in which save() writes them.
    std::set<unsigned int> m_modified;
    IDDistributor m_ids;
    StoredRows m_rows;
    bool m_erased = false; // an object left memory since the last sweep
};
