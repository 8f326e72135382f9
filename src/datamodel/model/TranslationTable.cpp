#include "datamodel/model/TranslationTable.h"

TranslationTable::~TranslationTable() = default;
