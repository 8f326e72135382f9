// plcproj export, import, dump and diff: projects as text folders, for version control, and
// as PLCopen TC6 XML files (--plcopen), for other tools.
#include "Command.h"
#include "ProjectSession.h"
#include "Secrets.h"
#include "StandardLibraries.h"

#include "datamodel/exchange/ExchangeNames.h"
#include "datamodel/exchange/PlcOpenReader.h"
#include "datamodel/exchange/PlcOpenWriter.h"
#include "datamodel/exchange/ProjectExporter.h"
#include "datamodel/exchange/ProjectImporter.h"
#include "datamodel/exchange/ProjectText.h"
#include "datamodel/exchange/ProjectDiff.h"
#include "datamodel/exchange/TextDiff.h"
#include "datamodel/model/ProjectFiles.h"
#include "datamodel/project/AbstractPlcProjectModel.h"

#include "accore/SafeAccore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>

#include <cstdio>

namespace plcproj {

namespace {

// The text of a project folder or database file, or of an export folder as it is.
bool loadText(const QString& argument, const QString& password, bool changeStamps, ProjectText::Files& files)
{
    if (QFileInfo(argument).isDir() && ProjectText::isExportFolder(argument)) {
        Result<ProjectText::Files> read = ProjectText::read(argument);
        if (!read) {
            Output::error(read.errorString());
            return false;
        }
        files = read.take();
        return true;
    }
    QString error;
    auto session = ProjectSession::open(argument, password, ProjectSession::Access::ReadOnly, &error);
    if (!session) {
        Output::error(error);
        return false;
    }
    ProjectExporter::Options options;
    options.changeStamps = changeStamps;
    files = ProjectExporter::exportProject(*session->model(), options);
    return true;
}

void writeBytes(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
}

// Builds the project in `temporary` and leaves it complete or not at all.
bool buildProject(ProjectImporter& importer, const QString& temporary, const QString& name, const QString& password,
                  QString& error)
{
    const bool library = importer.isLibrary();
    std::map<std::string, std::string> params = importer.createParams(name, QString());
    const QString projectName = QString::fromStdString(params["fileName"]);
    // A text without devices (another tool's file, a folder without devices.json) gets the
    // controller a new project gets; without one the device tree cannot be created.
    if (!library && !params.count("deviceType"))
        params["deviceType"] = DefaultDevice;
    params["filePath"] = QDir(temporary).filePath(ProjectLocation::fileNameFor(projectName, library)).toStdString();
    auto session = ProjectSession::create(temporary, params, &error);
    if (!session)
        return false;
    AbstractPlcProjectModel* model = session->model();
    if (!importer.apply(*model) || !model->save() || !importer.writeRows(*model)) {
        error = importer.error().isEmpty() ? QStringLiteral("saving the imported project failed (see the log)")
                                           : importer.error();
        return false;
    }
    if (password != AbstractPlcProjectModel::DefaultPassword && !AbstractPlcProjectModel::modifyDbPassword(model, password)) {
        error = QStringLiteral("setting the password failed");
        return false;
    }
    session.reset(); // closes the file and gives the lock back before the folder moves
    QStringList installed;
    return library || StandardLibraries::install(temporary, installed, &error);
}

// The password of --password, --password-file or PLCPROJ_PASSWORD, else the default one.
bool passwordOf(const Arguments& args, QString& password)
{
    bool given = false;
    QString error;
    if (!Secrets::read(args, QStringLiteral("password"), password, given, &error)) {
        Output::error(error);
        return false;
    }
    if (!given)
        password = qEnvironmentVariable(Secrets::EnvironmentVariable, AbstractPlcProjectModel::DefaultPassword);
    return true;
}

} // namespace


// The declarations are those the compiler core reads, with the names the libraries declare.
int runPlcOpenExport(const Arguments& args, const Output& out)
{
    if (args.positional().size() != 1) {
        Output::error("export --plcopen FILE needs PROJECT only");
        return Usage;
    }
    QString password, error;
    if (!passwordOf(args, password))
        return Failure;
    auto session = ProjectSession::open(args.positional(0), password, ProjectSession::Access::Checking, &error);
    if (!session) {
        Output::error(error);
        return Failure;
    }
    const ProjectText::Files files = ProjectExporter::exportProject(*session->model());
    QByteArray xml;
    {
        ac::SafeAccore core(session->model()->name());
        if (!core.getAccore()) {
            Output::error(QStringLiteral("the project has no compiler core"));
            return Failure;
        }
        xml = PlcOpenWriter::write(files, *core.getAccore(), session->model()->getFileID());
    }
    const QString target = args.value("plcopen");
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size() || !file.commit()) {
        Output::error(QStringLiteral("cannot write %1: %2").arg(target, file.errorString()));
        return Failure;
    }
    if (out.json())
        out.document(QJsonObject{{"file", QFileInfo(target).absoluteFilePath()}, {"bytes", int(xml.size())}});
    else
        out.line(QStringLiteral("%1 bytes in %2").arg(xml.size()).arg(target));
    return Ok;
}

int runExport(const Arguments& args, const Output& out)
{
    if (args.has("plcopen"))
        return runPlcOpenExport(args, out);
    if (args.positional().size() != 2) {
        Output::error("export needs PROJECT and DIR");
        return Usage;
    }
    ProjectText::Files files;
    QString password;
    if (!passwordOf(args, password) || !loadText(args.positional(0), password, args.has("stamps"), files))
        return Failure;
    const Result<void> written = ProjectText::write(files, args.positional(1));
    if (!written) {
        Output::error(written.errorString() + (written.errorText().isEmpty() ? QString() : ": " + written.errorText()));
        return Failure;
    }
    if (out.json())
        out.document(QJsonObject{{"folder", QFileInfo(args.positional(1)).absoluteFilePath()}, {"files", int(files.size())}});
    else
        out.line(QStringLiteral("%1 files in %2").arg(files.size()).arg(args.positional(1)));
    return Ok;
}

// A regular file of bounded size, read as TC6 XML.
Result<ProjectText::Files> readPlcOpen(const QString& path)
{
    const Result<QByteArray> xml = ProjectFiles::readInput(path, PlcOpenReader::Limits().maxBytes);
    if (!xml)
        return xml.failure();
    return PlcOpenReader::read(xml.value(), path);
}

// Builds NEWDIR from `files` (read from `source`) whole, or leaves nothing there.
int importFiles(const ProjectText::Files& files, const QString& source, bool plcopen, const QString& target,
                const Arguments& args, const Output& out)
{
    ProjectImporter importer;
    if (!importer.read(files)) {
        // A TC6 file's objects were made into the project's text: name both.
        Output::error(plcopen ? QStringLiteral("%1: the project it describes is broken: %2").arg(source, importer.error())
                              : QDir(source).filePath(importer.error()));
        return Failure;
    }
    const QString temporary = QStringLiteral("%1/.%2.importing-%3")
                                  .arg(QFileInfo(target).path(), QFileInfo(target).fileName())
                                  .arg(QCoreApplication::applicationPid());
    QString error, password;
    if (!passwordOf(args, password))
        return Failure;
    const bool built = QDir().mkpath(temporary) && buildProject(importer, temporary, args.value("name"), password, error);
    if (QFileInfo::exists(target))
        QDir().rmdir(target); // the empty folder gives way to the finished project
    if (!built || !QDir().rename(temporary, target)) {
        QDir(temporary).removeRecursively();
        Output::error(QStringLiteral("import into %1 failed: %2").arg(target, error.isEmpty() ? QStringLiteral("cannot move the project into place") : error));
        return Failure;
    }
    if (out.json())
        out.document(QJsonObject{{"folder", target}});
    else
        out.line(target);
    return Ok;
}

int runImport(const Arguments& args, const Output& out)
{
    const bool plcopen = args.has("plcopen");
    if (args.positional().size() != (plcopen ? 1 : 2)) {
        Output::error(plcopen ? "import --plcopen FILE needs NEWDIR" : "import needs DIR and NEWDIR");
        return Usage;
    }
    const QString source = plcopen ? args.value("plcopen") : args.positional(0);
    const QString target = QFileInfo(args.positional().back()).absoluteFilePath();
    if (QFileInfo::exists(target) && !QDir(target).isEmpty()) {
        Output::error(QStringLiteral("%1 exists already and is not empty").arg(target));
        return Failure;
    }
    Result<ProjectText::Files> files = plcopen ? readPlcOpen(source) : ProjectText::read(source);
    if (!files) {
        Output::error(plcopen ? files.failure().describe() : files.errorString());
        return Failure;
    }
    return importFiles(files.value(), source, plcopen, target, args, out);
}

int runDump(const Arguments& args, const Output&)
{
    ProjectText::Files files;
    QString password;
    if (!passwordOf(args, password) || !loadText(args.positional(0), password, false, files))
        return Failure;
    writeBytes(ProjectText::dump(files));
    return Ok;
}

int runDiff(const Arguments& args, const Output& out)
{
    if (args.positional().size() != 2) {
        Output::error("diff needs A and B");
        return Usage;
    }
    ProjectText::Files a, b;
    QString password;
    if (!passwordOf(args, password))
        return Failure;
    if (!loadText(args.positional(0), password, false, a) || !loadText(args.positional(1), password, false, b))
        return Failure;
    QByteArray patches;
    for (const auto& [path, bytes] : a) {
        auto other = b.find(path);
        if (other != b.end() && other->second != bytes && !path.endsWith(QLatin1String(".graph")))
            patches += TextDiff::unified(bytes, other->second, "a/" + path, "b/" + path);
    }
    QStringList summary;
    QJsonArray changes;
    for (const ProjectDiff::Entry& entry : ProjectDiff::compare(a, b)) {
        const QLatin1String change(ProjectDiff::changeName(entry.change));
        summary << QStringLiteral("%1 %2 (%3)").arg(change, entry.object, entry.file);
        changes.append(QJsonObject{{"change", change}, {"object", entry.object}, {"file", entry.file}});
    }
    if (out.json()) {
        out.document(changes);
        return Ok;
    }
    for (const QString& line : summary)
        out.line(line);
    writeBytes(patches);
    return Ok;
}

} // namespace plcproj
