#include "LibraryManifest.h"

#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/LibraryModel.h"
#include "datamodel/program/PouModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace nvlbuild {

namespace {

bool readText(const QString& path, QString& text, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    text = QString::fromUtf8(file.readAll());
    return true;
}

// The words of a declaration text outside comments and pragmas, upper-cased, as far as
// `count` words.
QStringList leadingWords(const QString& text, int count)
{
    QStringList words;
    int i = 0;
    const int n = text.size();
    while (i < n && words.size() < count) {
        const QChar c = text[i];
        if (text.midRef(i, 2) == QLatin1String("(*")) {
            const int end = text.indexOf(QLatin1String("*)"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (text.midRef(i, 2) == QLatin1String("//")) {
            const int end = text.indexOf(QLatin1Char('\n'), i);
            i = end < 0 ? n : end + 1;
        } else if (c == QLatin1Char('{')) {
            const int end = text.indexOf(QLatin1Char('}'), i);
            i = end < 0 ? n : end + 1;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            int end = i;
            while (end < n && (text[end].isLetterOrNumber() || text[end] == QLatin1Char('_')))
                ++end;
            words << text.mid(i, end - i);
            i = end;
        } else {
            ++i;
        }
    }
    return words;
}

} // namespace

bool LibraryManifest::classify(const QString& text, SourceObject& object, QString* error)
{
    const QStringList words = leadingWords(text, 2);
    const QString first = words.value(0).toUpper();
    if (first == QLatin1String("TYPE")) {
        object.kind = SourceObject::DataType;
        object.name = words.value(1);
        static const QRegularExpression structWord(QStringLiteral("\\bSTRUCT\\b"),
                                                   QRegularExpression::CaseInsensitiveOption);
        object.subKind = structWord.match(text).hasMatch() ? DataTypeModel::Struct : DataTypeModel::Enum;
    } else if (first == QLatin1String("VAR_GLOBAL")) {
        object.kind = SourceObject::GlobalList; // named after its file
    } else if (first == QLatin1String("PROGRAM") || first == QLatin1String("FUNCTION")
               || first == QLatin1String("FUNCTION_BLOCK")) {
        object.kind = SourceObject::Pou;
        object.name = words.value(1);
        object.subKind = first == QLatin1String("PROGRAM") ? PouModel::PRGPOU
                       : first == QLatin1String("FUNCTION") ? PouModel::FCPOU
                                                            : PouModel::FBPOU;
    } else {
        *error = QStringLiteral("begins with '%1' instead of TYPE, VAR_GLOBAL, PROGRAM, FUNCTION or FUNCTION_BLOCK")
                     .arg(first);
        return false;
    }
    return true;
}

bool LibraryManifest::read(const QString& folder, QString* error)
{
    const QDir dir(folder);
    QString text;
    if (!readText(dir.filePath(QStringLiteral("library.json")), text, error))
        return false;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("%1: %2").arg(dir.filePath(QStringLiteral("library.json")), parseError.errorString());
        return false;
    }
    const QJsonObject manifest = document.object();
    name = manifest.value(QStringLiteral("name")).toString();
    type = manifest.value(QStringLiteral("type")).toString(QStringLiteral("UserLib"));
    version = manifest.value(QStringLiteral("version")).toString();
    author = manifest.value(QStringLiteral("author")).toString();
    comments = manifest.value(QStringLiteral("comments")).toString();
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
        *error = QStringLiteral("library.json names no library (\"name\")");
        return false;
    }
    if (type != QLatin1String("UserLib") && type != QLatin1String("FirmwareLib")) {
        *error = QStringLiteral("library type '%1' is neither UserLib nor FirmwareLib").arg(type);
        return false;
    }
    // The version becomes a folder name below every project that uses the library.
    if (!LibraryModel::isVersionText(version)) {
        *error = QStringLiteral("library version '%1' is no version number").arg(version);
        return false;
    }

    for (const QJsonValue& entry : manifest.value(QStringLiteral("sources")).toArray()) {
        const QString relative = entry.toString();
        const QString path = dir.filePath(relative);
        SourceObject object;
        object.file = path;
        object.folder = QFileInfo(relative).path();
        if (object.folder == QLatin1String("."))
            object.folder.clear();
        QString declaration;
        if (!readText(path, declaration, error))
            return false;
        QString why;
        if (!classify(declaration, object, &why)) {
            *error = path + QStringLiteral(": ") + why;
            return false;
        }
        const QString base = QFileInfo(relative).completeBaseName();
        if (object.kind == SourceObject::GlobalList)
            object.name = base;
        if (object.name != base) {
            *error = QStringLiteral("%1 declares '%2'; the file must be named after it").arg(path, object.name);
            return false;
        }
        object.declaration = declaration.toStdString();
        const QString logicFile = QFileInfo(path).path() + QLatin1Char('/') + base + QStringLiteral(".logic.st");
        if (object.kind == SourceObject::Pou && QFileInfo::exists(logicFile)) {
            QString logic;
            if (!readText(logicFile, logic, error))
                return false;
            object.logic = logic.toStdString();
        }
        for (const SourceObject& other : objects) {
            if (other.name.compare(object.name, Qt::CaseInsensitive) == 0) {
                *error = QStringLiteral("%1: '%2' is declared twice").arg(path, object.name);
                return false;
            }
        }
        objects.push_back(std::move(object));
    }
    if (objects.empty()) {
        *error = QStringLiteral("library.json lists no sources");
        return false;
    }
    const QString translationFile = manifest.value(QStringLiteral("translations")).toString();
    return translationFile.isEmpty() || readTranslations(dir.filePath(translationFile), error);
}

bool LibraryManifest::readTranslations(const QString& file, QString* error)
{
    QString text;
    if (!readText(file, text, error))
        return false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int number = 1; number <= lines.size(); ++number) {
        QString line = lines[number - 1];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList columns = line.split(QLatin1Char('\t'));
        if (languages.isEmpty()) { // the header: "key", then one language per column
            languages = columns.mid(1);
            if (columns.value(0) != QLatin1String("key") || languages.isEmpty()) {
                *error = QStringLiteral("%1:%2: the first line must be \"key<TAB>language...\"").arg(file).arg(number);
                return false;
            }
            continue;
        }
        if (columns.size() != languages.size() + 1 || columns[0].isEmpty()) {
            *error = QStringLiteral("%1:%2: expected a key and %3 texts separated by tabs")
                         .arg(file)
                         .arg(number)
                         .arg(languages.size());
            return false;
        }
        Translation translation;
        translation.key = columns[0];
        for (int i = 0; i < languages.size(); ++i)
            translation.texts.insert(languages[i], columns[i + 1]);
        translations.push_back(translation);
    }
    return true;
}

} // namespace nvlbuild
