#pragma once

#include <functional>
#include <string>
#include <unordered_set>

class AbstractProjectModel;
class IDDistributor;

// Who still keeps the ids of a sub-model's objects once the objects are gone: the other
// sub-models of the project (SubModel::refersTo, such as the task calls of a POU) and
// process-wide holders outside any project model (the synchroniser's table of symbol
// indexes). An allocator asks here before it hands an id out again, so that a kept id never
// comes to name a new object.
class IdReferences
{
public:
    // Whether `id` of the sub-model named `subModel` of `project` is kept somewhere.
    using Holder = std::function<bool(const AbstractProjectModel& project, const std::string& subModel, unsigned int id)>;

    // Registers a process-wide holder; the number given back removes it again.
    static int addHolder(Holder holder);
    static void removeHolder(int handle);

    // Asks every other sub-model of the project and every process-wide holder.
    static bool isReferenced(const AbstractProjectModel* project, const std::string& subModel, unsigned int id);
    // The first free id of `ids` that nothing keeps, not yet marked used; INVALID_ID when none
    // is left. Kept ids are passed over and stay free: each is asked about again next time.
    // With `released`, only the ids in it (those whose objects went) are asked about: an id no
    // object ever had may be named in advance, as the task of a new project calls the first
    // POU that will be made.
    static unsigned int firstFreeId(IDDistributor& ids, const AbstractProjectModel* project, const std::string& subModel,
                                    const std::unordered_set<unsigned int>* released = nullptr);
};
