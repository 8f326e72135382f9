#include "datamodel/program/LibraryFiles_p.h"

#include "datamodel/model/ProjectFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

// The numbers of a version text without leading zeros, so that they compare as numbers of
// any length: first by length, then by text.
int compareNumber(QString a, QString b)
{
    auto strip = [](QString& n) {
        int zeros = 0;
        while (zeros < n.size() - 1 && n[zeros] == QLatin1Char('0'))
            ++zeros;
        n.remove(0, zeros);
    };
    strip(a);
    strip(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

namespace LibraryFiles {

bool isPlainFileName(const QString& name)
{
    return ProjectFiles::join(QStringLiteral("/"), name).ok();
}

QString baseName(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString libraryFolder(const QString& projectDir, const std::string& path)
{
    const Result<QString> folder = checkedLibraryFolder(projectDir, path);
    return folder ? folder.value() : QString();
}

Result<QString> checkedLibraryFolder(const QString& projectDir, const std::string& path)
{
    const QString text = QString::fromStdString(path);
    if (projectDir.isEmpty() || !text.startsWith(QLatin1String("/Libraries/")))
        return Failure{ProjectFiles::Refused, QStringLiteral("'%1' is no folder below Libraries").arg(text), QString()};
    // Name by name, so that no "..", separator or control character and no link leads out.
    return ProjectFiles::joinPath(QDir::cleanPath(projectDir), text);
}

bool sameFile(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

bool isVersionText(const QString& text)
{
    // Matched whole: "$" alone would let a final line feed through.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]+(\\.[0-9]+)*")));
    return pattern.match(text).hasMatch();
}

int compareVersions(const QString& a, const QString& b)
{
    const QStringList x = a.split(QLatin1Char('.')), y = b.split(QLatin1Char('.'));
    for (int i = 0; i < std::max(x.size(), y.size()); ++i) {
        const int order = compareNumber(x.value(i, QStringLiteral("0")), y.value(i, QStringLiteral("0")));
        if (order != 0)
            return order;
    }
    return 0;
}

QString latestVersion(const QString& dir)
{
    QString latest;
    const QStringList folders =
        QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& folder : folders)
        if (isVersionText(folder) && (latest.isEmpty() || compareVersions(folder, latest) > 0))
            latest = folder;
    return latest;
}

} // namespace LibraryFiles
