#include "datamodel/program/LibraryFiles_p.h"

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
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

QString baseName(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString libraryFolder(const QString& projectDir, const std::string& path)
{
    const QString text = QString::fromStdString(path);
    if (projectDir.isEmpty() || text.isEmpty() || text.contains(QLatin1Char('\\')) || text.contains(QChar(0)))
        return QString();
    const QString root = QDir::cleanPath(projectDir + QStringLiteral("/Libraries"));
    const QString folder = QDir::cleanPath(projectDir + QLatin1Char('/') + text);
    return folder.startsWith(root + QLatin1Char('/')) ? folder : QString();
}

bool sameFile(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

bool isVersionText(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d+(\\.\\d+)*$"));
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
