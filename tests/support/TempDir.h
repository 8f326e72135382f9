#pragma once

#include "support/QtPrinters.h"

#include <QString>
#include <string>

namespace testsupport {

// A temporary folder for one test. It is removed when the test passed and kept (its path
// printed) when the test failed, so that the files of a failing round trip can be read.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    QString path() const { return m_path; }
    QString filePath(const QString& name) const;
    std::string file(const std::string& name) const;

private:
    QString m_path;
};

// Awkward values used by round trips everywhere.
namespace awkward {
inline const char* const quote = "O'Brien's \"POU\"";
inline const char* const percent = "Motor %1 %2";
inline const char* const chinese = u8"主程序_轴控制";
inline const char* const empty = "";
} // namespace awkward

} // namespace testsupport
