#pragma once

// A check for what must not happen (a null where none may be, an object handed to a model that
// does not own it): when `cond` is false, one log line names the file, the line and the
// condition, and `action` runs, typically the way out:
//
//     DATAMODEL_ASSERT(pou, return false);
//     DATAMODEL_ASSERT(project, return {});
//
// It never aborts: a programmer error costs the operation, not the user's session.
#define DATAMODEL_ASSERT(cond, action)                                                                                 \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            ::softAssertFailed(#cond, __FILE__, __LINE__);                                                             \
            action;                                                                                                    \
        }                                                                                                              \
    } while (false)

// Logs "soft assert failed: `condition` at file:line" through the host log (category
// "datamodel", module "SoftAssert", the error level).
void softAssertFailed(const char* condition, const char* file, int line);
