// Unified diffs of changed texts, as plcproj diff prints them; proven by applying them back.
#include "datamodel/exchange/TextDiff.h"
#include "support/QtPrinters.h"

#include <QList>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

// Applies a unified diff made by TextDiff to `old` (hunks in order, context checked).
bool apply(const QByteArray& old, const QByteArray& diff, QByteArray& result)
{
    QList<QByteArray> lines = old.split('\n');
    if (old.endsWith('\n') || old.isEmpty())
        lines.removeLast();
    QList<QByteArray> out;
    int next = 0; // next old line to copy
    const QRegularExpression header("^@@ -(\\d+)(?:,(\\d+))? \\+(\\d+)(?:,(\\d+))? @@$");
    for (const QByteArray& line : diff.split('\n').mid(2)) { // after "--- a" and "+++ b"
        const auto match = header.match(QString::fromUtf8(line));
        if (match.hasMatch()) {
            int start = match.captured(1).toInt();
            const int count = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
            start = count == 0 ? start : start - 1;
            while (next < start)
                out << lines[next++];
        } else if (line.startsWith(' ') || line.startsWith('-')) {
            if (next >= lines.size() || lines[next] != line.mid(1))
                return false;
            if (line.startsWith(' '))
                out << lines[next];
            ++next;
        } else if (line.startsWith('+')) {
            out << line.mid(1);
        }
    }
    while (next < lines.size())
        out << lines[next++];
    result = out.join('\n') + (out.isEmpty() ? "" : "\n");
    return true;
}

struct DiffCase
{
    const char* label;
    QByteArray a;
    QByteArray b;
};

class TextDiffTest : public ::testing::TestWithParam<DiffCase>
{
};

TEST_P(TextDiffTest, appliesBackToTheNewText)
{
    const DiffCase& c = GetParam();
    const QByteArray diff = TextDiff::unified(c.a, c.b, "a", "b");
    EXPECT_TRUE(diff.startsWith("--- a\n+++ b\n")) << diff.toStdString();
    QByteArray result;
    ASSERT_TRUE(apply(c.a, diff, result)) << diff.toStdString();
    EXPECT_EQ(result, c.b) << diff.toStdString();
}

QByteArray numbered(int from, int to, int changed = -1)
{
    QByteArray out;
    for (int i = from; i < to; ++i)
        out += (i == changed ? "changed " : "line ") + QByteArray::number(i) + '\n';
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextDiffTest,
    ::testing::Values(DiffCase{"oneLine", "a\nb\nc\n", "a\nB\nc\n"}, DiffCase{"fromEmpty", "", "x\ny\n"},
                      DiffCase{"toEmpty", "x\ny\n", ""}, DiffCase{"insertAtTop", "b\nc\n", "a\nb\nc\n"},
                      DiffCase{"appendAtEnd", "a\n", "a\nb\n"},
                      DiffCase{"twoHunks", numbered(0, 40, 3), numbered(0, 40, 30)},
                      DiffCase{"nearChangesShareAHunk", numbered(0, 20, 5), numbered(0, 20, 9)},
                      DiffCase{"reordered", "a\nb\nc\nd\n", "d\nc\nb\na\n"}),
    [](const ::testing::TestParamInfo<DiffCase>& info) { return std::string(info.param.label); });

TEST(TextDiff, equalTextsGiveNothingAndHeadersCountLines)
{
    EXPECT_TRUE(TextDiff::unified("same\n", "same\n", "a", "b").isEmpty());
    const QByteArray diff = TextDiff::unified(numbered(0, 40, 3), numbered(0, 40, 30), "a", "b");
    EXPECT_TRUE(diff.contains("@@ -1,7 +1,7 @@\n")) << diff.toStdString();
    EXPECT_TRUE(diff.contains("@@ -28,7 +28,7 @@\n")) << diff.toStdString();
    EXPECT_TRUE(diff.contains("-changed 3\n+line 3\n"));
    EXPECT_EQ(diff.count("\n@@"), 2) << "two changes 27 lines apart are two hunks";
}

} // namespace
