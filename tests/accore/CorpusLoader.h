#pragma once

// Reads the machine corpus: files of objects, each starting with a marker line
// "//@ KIND NAME" (KIND: types, gvl, pou, body). Line numbers of an object count from the
// line after its marker, as the core sees the object's text.
#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace corpus {

struct Object
{
    std::string kind;
    std::string name;
    std::string text;
    std::string file;
};

inline std::vector<std::string> corpusFiles(const std::string& dir)
{
    std::vector<std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 3 && name.substr(name.size() - 3) == ".st")
                files.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::vector<Object> load(const std::string& dir)
{
    std::vector<Object> objects;
    for (const std::string& path : corpusFiles(dir)) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("//@ ", 0) == 0) {
                std::istringstream words(line.substr(4));
                Object o;
                words >> o.kind >> o.name;
                o.file = path;
                objects.push_back(o);
            } else if (!objects.empty()) {
                objects.back().text += line + "\n";
            }
        }
    }
    return objects;
}

inline size_t lineCount(const std::vector<Object>& objects)
{
    size_t lines = 0;
    for (const Object& o : objects)
        lines += static_cast<size_t>(std::count(o.text.begin(), o.text.end(), '\n')) + 1;
    return lines;
}

} // namespace corpus
