// Description files: whatever the reader accepts holds only texts and maps within the nesting
// limit, survives the cache unchanged, and reads back the same when written out again.
#include "datamodel/device/DescriptionCache_p.h"
#include "datamodel/device/DjsonReader_p.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

int depthOf(const QVariantMap& map)
{
    int deepest = 0;
    for (const QVariant& value : map) {
        if (value.userType() == QMetaType::QVariantMap)
            deepest = std::max(deepest, depthOf(value.toMap()));
        else if (value.userType() != QMetaType::QString)
            std::abort();
    }
    return deepest + 1;
}

// Every key and text quoted; false when a text cannot be written that way (it holds a quote
// or a backslash, whose meaning depends on what follows).
bool write(const QVariantMap& map, QByteArray* out)
{
    auto quoted = [out](const QString& text) {
        if (text.contains('"') || text.contains('\\'))
            return false;
        *out += '"' + text.toUtf8() + '"';
        return true;
    };
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (!quoted(it.key()))
            return false;
        *out += " : ";
        if (it.value().userType() == QMetaType::QVariantMap) {
            *out += "{ ";
            if (!write(it.value().toMap(), out))
                return false;
            *out += " }";
        } else if (!quoted(it.value().toString())) {
            return false;
        }
        *out += ",\n";
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), int(size));
    QVariantMap members;
    DjsonDiagnostic diagnostic;
    const bool parsed = DjsonReader::parse(text, &members, &diagnostic);
    if (!parsed && (diagnostic.message.isEmpty() || diagnostic.line < 1 || diagnostic.column < 1))
        std::abort(); // every error says where
    if (depthOf(members) > DjsonReader::MaxDepth + 1)
        std::abort();

    DescriptionCache::Contents contents;
    QString error;
    const DescriptionSources sources = {{QStringLiteral("/a/b.djson"), qint64(size), 42}};
    if (!DescriptionCache::decode(DescriptionCache::encode(members, sources), &contents, &error)
        || contents.descriptions != members || contents.sources != sources)
        std::abort();

    QByteArray again;
    if (parsed && write(members, &again)) {
        QVariantMap reread;
        if (!DjsonReader::parse(again, &reread, &diagnostic) || reread != members)
            std::abort();
    }
    return 0;
}
