// The MD5 routine that stamps the memory layout file: the RFC 1321 test suite, and the same
// digests as Qt's own MD5 for inputs of every length up to 100 000 bytes.
#include "support/QtPrinters.h"

#include "datamodel/memory/Md5.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

std::string qtMd5(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().toStdString();
}

TEST(Md5, rfc1321TestSuite)
{
    const struct
    {
        const char* input;
        const char* digest;
    } suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& row : suite) {
        EXPECT_EQ(Md5::getMd5Hex(row.input, std::strlen(row.input)), row.digest) << '"' << row.input << '"';
        unsigned char digest[Md5::DigestSize];
        Md5::getMd5(row.input, std::strlen(row.input), digest);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(digest), 16).toHex().toStdString(), row.digest);
    }
    EXPECT_EQ(Md5::getMd5Hex(nullptr, 0), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5, agreesWithQtAcrossBlockBoundariesAndRandomInputs)
{
    std::mt19937 random(1321);
    QByteArray data(100000, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    // Every length around the padding cases (55, 56, 63, 64 bytes and their multiples).
    for (int length = 0; length <= 300; ++length) {
        const QByteArray part = data.left(length);
        ASSERT_EQ(Md5::getMd5Hex(part.constData(), static_cast<size_t>(part.size())), qtMd5(part)) << length;
    }
    std::uniform_int_distribution<int> lengths(0, 100000);
    for (int i = 0; i < 200; ++i) {
        const int offset = lengths(random) % 64; // unaligned starts too
        const QByteArray part = data.mid(offset, lengths(random));
        ASSERT_EQ(Md5::getMd5Hex(part.constData(), static_cast<size_t>(part.size())), qtMd5(part)) << part.size();
    }
    ASSERT_EQ(Md5::getMd5Hex(data.constData(), 100000), qtMd5(data));
}

} // namespace
