// plcproj value: raw controller bytes to an IEC literal and back, as the online value
// display and the online write of the IDE convert them.
#include "Command.h"
#include "ProjectCheck.h"
#include "ProjectSession.h"

#include "datamodel/memory/DataConversion.h"
#include "datamodel/project/AbstractPlcProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "host/CookieStore.h"

#include "accore/ACCore.h"
#include "accore/AccoreManager.h"
#include "accore/SymbolDataType.h"

#include <QJsonObject>

#include <memory>

namespace plcproj {

namespace {

// Without --project the elementary types come from a core of this run, made the current
// project so that the library finds it as it finds a project's.
class ScratchCore
{
public:
    ScratchCore()
    {
        ac::AccoreManager::instance()->addAccore(name, new ac::ACCore());
        if (auto* cookies = HostServices::get<host::CookieStore>())
            cookies->setValue(QStringLiteral("Project.Name"), QString::fromLatin1(name));
    }
    ~ScratchCore() { ac::AccoreManager::instance()->removeAccore(name); }

private:
    static constexpr const char* name = "plcproj value";
};

bool readUnsigned(const Arguments& args, const QString& option, unsigned& value)
{
    if (!args.has(option))
        return true;
    bool ok = false;
    value = args.value(option).toUInt(&ok);
    if (!ok)
        Output::error(QStringLiteral("--%1 needs a whole number, not '%2'").arg(option, args.value(option)));
    return ok;
}

// The options as the conversion takes them; false (usage) with a message when one is malformed.
struct ValueRequest
{
    QString typeText;
    QByteArray raw;
    unsigned radix = 10;
    unsigned size = 0; // 0: the type's own size
    ac::HeapAddress address;

    bool read(const Arguments& args)
    {
        typeText = args.positional(0);
        if (args.has("raw") == args.has("text")) {
            Output::error(QStringLiteral("value needs either --raw HEXBYTES or --text LITERAL"));
            return false;
        }
        unsigned bit = 0;
        if (!readUnsigned(args, "radix", radix) || !readUnsigned(args, "size", size) || !readUnsigned(args, "bit", bit))
            return false;
        if (radix != 2 && radix != 10 && radix != 16) {
            Output::error(QStringLiteral("--radix must be 2, 10 or 16, not %1").arg(radix));
            return false;
        }
        if (args.has("bit")) {
            address.kind = ac::HeapAddress::Bit;
            address.area = 'M';
            address.size = 1;
            address.bitNumber = bit;
        }
        const QString hex = args.value("raw").remove(QLatin1Char(' '));
        raw = QByteArray::fromHex(hex.toLatin1());
        if (args.has("raw") && (hex.size() % 2 != 0 || raw.toHex() != hex.toLower().toLatin1())) {
            Output::error(QStringLiteral("--raw needs hexadecimal bytes such as 0100, not '%1'").arg(args.value("raw")));
            return false;
        }
        return true;
    }
};

int rawToText(const ValueRequest& request, ac::SymbolDataType* type, const Output& out)
{
    QString text;
    if (!DataConversion::BuffToQString(text, request.raw.constData(), static_cast<unsigned>(request.raw.size()), type,
                                       request.address, request.radix)) {
        Output::error(QStringLiteral("the bytes %1 are no %2 value")
                          .arg(QString::fromLatin1(request.raw.toHex()), request.typeText));
        return Failure;
    }
    if (out.json())
        out.document(QJsonObject{{"type", request.typeText}, {"raw", QString::fromLatin1(request.raw.toHex())},
                                 {"radix", static_cast<int>(request.radix)}, {"text", text}});
    else
        out.line(text);
    return Ok;
}

int textToRaw(const ValueRequest& request, const QString& text, ac::SymbolDataType* type, const Output& out)
{
    const unsigned long long typeSize = type->byteSize();
    unsigned size = request.size ? request.size : typeSize > 0xFFFF ? 0xFFFFu : static_cast<unsigned>(typeSize);
    QByteArray buffer(static_cast<int>(size), '\0');
    if (!DataConversion::QStringToBuff(text, buffer.data(), size, type, request.address, request.radix)) {
        Output::error(QStringLiteral("'%1' is no %2 value (radix %3); nothing written")
                          .arg(text, request.typeText)
                          .arg(request.radix));
        return Failure;
    }
    const QString hex = QString::fromLatin1(buffer.left(static_cast<int>(size)).toHex());
    if (out.json())
        out.document(QJsonObject{{"type", request.typeText}, {"text", text}, {"radix", static_cast<int>(request.radix)},
                                 {"raw", hex}, {"size", static_cast<int>(size)}});
    else
        out.line(hex);
    return Ok;
}

} // namespace

int runValue(const Arguments& args, const Output& out)
{
    ValueRequest request;
    if (!request.read(args))
        return Usage;

    // The project's data types are known to its core once they were parsed.
    std::unique_ptr<ProjectSession> session;
    std::unique_ptr<ScratchCore> scratch;
    if (args.has("project")) {
        QString error;
        session = ProjectSession::open(args.value("project"), args,
                                       ProjectSession::Access::Checking, &error);
        if (!session) {
            Output::error(error);
            return Failure;
        }
        ProjectCheck::run(session->name());
    } else {
        scratch = std::make_unique<ScratchCore>();
    }
    QString typeText = request.typeText;
    ac::SymbolDataType* type = DataConversion::getSymbolDataType(typeText);
    if (!type) {
        Output::error(QStringLiteral("unknown type '%1'%2")
                          .arg(request.typeText, args.has("project") ? QString() : QStringLiteral(" (enumerations need --project)")));
        return Failure;
    }
    return args.has("raw") ? rawToText(request, type, out) : textToRaw(request, args.value("text"), type, out);
}

} // namespace plcproj
