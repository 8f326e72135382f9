#include "datamodel/model/IdReferences_p.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/IDDistributor.h"
#include "datamodel/model/SubModel.h"

#include <map>
#include <mutex>
#include <vector>

namespace {

struct Holders
{
    std::mutex mutex;
    std::map<int, IdReferences::Holder> holders;
    int next = 1;
};

Holders& holders()
{
    static Holders* all = new Holders; // lives as long as the process: holders may leave late
    return *all;
}

} // namespace

int IdReferences::addHolder(Holder holder)
{
    Holders& all = holders();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.holders.emplace(all.next, std::move(holder));
    return all.next++;
}

void IdReferences::removeHolder(int handle)
{
    Holders& all = holders();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.holders.erase(handle);
}

bool IdReferences::isReferenced(const AbstractProjectModel* project, const std::string& subModel, unsigned int id)
{
    if (!project)
        return false;
    for (SubModel* model : project->subModels())
        if (model->name() != subModel && model->refersTo(subModel, id))
            return true;
    Holders& all = holders();
    std::lock_guard<std::mutex> lock(all.mutex);
    for (const auto& entry : all.holders)
        if (entry.second(*project, subModel, id))
            return true;
    return false;
}

unsigned int IdReferences::firstFreeId(IDDistributor& ids, const AbstractProjectModel* project, const std::string& subModel,
                                       const std::unordered_set<unsigned int>* released)
{
    std::vector<unsigned int> kept;
    unsigned int id = ids.fistUnusd();
    while (id != IDDistributor::INVALID_ID && (!released || released->count(id) != 0)
           && isReferenced(project, subModel, id)) {
        ids.setUsed(id, true);
        kept.push_back(id);
        id = ids.fistUnusd();
    }
    // Given back, they pull the search cursor down again.
    for (unsigned int taken : kept)
        ids.setUsed(taken, false);
    return id;
}
