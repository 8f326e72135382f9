#include "datamodel/model/SoftAssert_p.h"

#include "datamodel/model/HostServices.h"

#include <string>

void softAssertFailed(const char* condition, const char* file, int line)
{
    HostServices::log("SoftAssert", HostServices::LogError,
                      std::string("soft assert failed: `") + condition + "` at " + file + ":" + std::to_string(line));
}
