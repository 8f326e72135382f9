#include "datamodel/model/Transaction.h"

Transaction::Transaction() = default;

Transaction::~Transaction() = default;

void Transaction::run() {}
