// The older table's SnapAndComments text and address names: whatever is read holds only
// non-negative addresses and bit numbers of a word, bits only where they were asked for, and an
// accepted address name is the one spelling of its number in the letter's radix.
#include "datamodel/auxiliary/SoftComponentModel.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    for (bool withBits : {false, true}) {
        QMap<int, SoftComponentModel::SoftComponentInfo> infos;
        QString error;
        if (!SoftComponentModel::jsonStr2SoftComponentInfos(bytes, withBits, infos, &error)) {
            if (!infos.isEmpty() || error.isEmpty())
                std::abort();
            continue;
        }
        for (auto it = infos.cbegin(); it != infos.cend(); ++it) {
            if (it.key() < 0 || (!withBits && !it->bitComments.isEmpty()))
                std::abort();
            for (int bit : it->bitComments.keys())
                if (bit < 0 || bit > 15)
                    std::abort();
        }
    }
    const QString text = QString::fromUtf8(bytes.left(16));
    if (SoftComponentModel::isAddressName(text)) {
        const QString letter = text.left(1);
        const SoftComponentModel::AddressRange range = SoftComponentModel::addressRange(letter);
        bool ok = false;
        const int number = text.mid(1).toInt(&ok, range.radix);
        if (!ok || number < range.first || number >= range.first + range.count
            || letter + QString::number(number, range.radix) != text)
            std::abort();
    }
    return 0;
}
