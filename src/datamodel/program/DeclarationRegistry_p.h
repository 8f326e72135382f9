#pragma once

#include "datamodel/model/Result.h"

#include <string>
#include <vector>

class DeclaredObject;

// What the library model needs of the compiler core, declared below the compiler link that
// implements it (CoreRegistration): a project's core learns a library file with the
// declarations read from it, and forgets them again. The project models hand the
// implementation to the library model they create.
class DeclarationRegistry
{
public:
    // One library as the core learns it.
    struct Library
    {
        std::string name; // the library's file name
        std::string file; // its database file
        int fileId = -1;  // the id under which the core files its symbols
        bool firmware = false;
        // Data types, then global variable lists, then POUs: the order of a first pass that
        // needs the fewest repeats.
        std::vector<DeclaredObject*> declarations;
    };

    virtual ~DeclarationRegistry() = default;

    virtual bool hasCore(const std::string& coreName) const = 0;
    // Registers the file and parses every declaration under its file id. Fails when there is
    // no such core, when it refuses the file, or when declarations do not parse; the file and
    // what did parse stay registered then (withdrawLibrary takes them back).
    virtual Result<void> registerLibrary(const std::string& coreName, const Library& library) = 0;
    // Drops the file and every symbol parsed under its id.
    virtual void withdrawLibrary(const std::string& coreName, int fileId) = 0;
};
