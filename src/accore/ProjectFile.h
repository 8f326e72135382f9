#pragma once

#include <string>

namespace ac {

// A file registered with the core: the project database or a referenced library.
struct ProjectFile
{
    std::string name;
    std::string path;
    int type = 0;  // FileType: 1 project, 2 library, 3 firmware library
    int fileId = 0;
};

} // namespace ac
