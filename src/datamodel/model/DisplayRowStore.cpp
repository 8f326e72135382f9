#include "datamodel/model/DisplayRowStore.h"

DisplayRowStore::~DisplayRowStore() = default;
