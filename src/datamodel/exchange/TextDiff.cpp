#include "datamodel/exchange/TextDiff.h"

#include <QList>

#include <algorithm>
#include <vector>

namespace {

struct Edit
{
    char op; // ' ', '-' or '+'
    int a;   // line of the old text (for ' ' and '-')
    int b;   // line of the new text (for ' ' and '+')
};

// Beyond this many cells the middle part is shown as one replacement (memory stays bounded).
constexpr qint64 MaxTableCells = 4'000'000;

QList<QByteArray> linesOf(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    if (text.endsWith('\n'))
        lines.removeLast();
    if (text.isEmpty())
        lines.clear();
    return lines;
}

// The edit script of the lines between the common head and tail: longest common subsequence.
void middleScript(const QList<QByteArray>& a, const QList<QByteArray>& b, int a0, int a1, int b0, int b1,
                  std::vector<Edit>& out)
{
    const int n = a1 - a0, m = b1 - b0;
    if (qint64(n + 1) * (m + 1) > MaxTableCells) {
        for (int i = a0; i < a1; ++i)
            out.push_back({'-', i, -1});
        for (int j = b0; j < b1; ++j)
            out.push_back({'+', -1, j});
        return;
    }
    // common[i][j]: length of the longest common subsequence of a[i..] and b[j..].
    std::vector<int> common(std::size_t(n + 1) * (m + 1), 0);
    auto at = [&](int i, int j) -> int& { return common[std::size_t(i) * (m + 1) + j]; };
    for (int i = n - 1; i >= 0; --i)
        for (int j = m - 1; j >= 0; --j)
            at(i, j) = a[a0 + i] == b[b0 + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    int i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[a0 + i] == b[b0 + j]) {
            out.push_back({' ', a0 + i++, b0 + j++});
        } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
            out.push_back({'-', a0 + i++, -1}); // removals first, as diff -u and git print them
        } else {
            out.push_back({'+', -1, b0 + j++});
        }
    }
}

std::vector<Edit> script(const QList<QByteArray>& a, const QList<QByteArray>& b)
{
    int head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    int tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    std::vector<Edit> edits;
    for (int i = 0; i < head; ++i)
        edits.push_back({' ', i, i});
    middleScript(a, b, head, a.size() - tail, head, b.size() - tail, edits);
    for (int k = tail; k > 0; --k)
        edits.push_back({' ', a.size() - k, b.size() - k});
    return edits;
}

QByteArray range(int start, int count)
{
    // Line numbers count from 1; an empty range names the line before it.
    return QByteArray::number(count == 0 ? start : start + 1) + (count == 1 ? QByteArray() : ',' + QByteArray::number(count));
}

} // namespace

QByteArray TextDiff::unified(const QByteArray& a, const QByteArray& b, const QString& nameA, const QString& nameB,
                             int context)
{
    if (a == b)
        return {};
    const QList<QByteArray> oldLines = linesOf(a), newLines = linesOf(b);
    const std::vector<Edit> edits = script(oldLines, newLines);
    QByteArray out = "--- " + nameA.toUtf8() + "\n+++ " + nameB.toUtf8() + '\n';
    std::size_t k = 0;
    while (k < edits.size()) {
        if (edits[k].op == ' ') {
            ++k;
            continue;
        }
        // A hunk: from `context` lines before this change to `context` lines after the last
        // change that lies within 2 * context unchanged lines of the one before.
        std::size_t start = k >= std::size_t(context) ? k - context : 0;
        std::size_t end = k;
        std::size_t quiet = 0;
        for (std::size_t scan = k; scan < edits.size(); ++scan) {
            if (edits[scan].op != ' ') {
                end = scan;
                quiet = 0;
            } else if (++quiet > std::size_t(2 * context)) {
                break;
            }
        }
        const std::size_t stop = std::min(edits.size(), end + 1 + context);
        int oldStart = -1, newStart = -1, oldCount = 0, newCount = 0;
        QByteArray body;
        for (std::size_t e = start; e < stop; ++e) {
            const Edit& edit = edits[e];
            if (edit.op != '+') {
                oldStart = oldStart < 0 ? edit.a : oldStart;
                ++oldCount;
            }
            if (edit.op != '-') {
                newStart = newStart < 0 ? edit.b : newStart;
                ++newCount;
            }
            body += edit.op + (edit.op == '+' ? newLines[edit.b] : oldLines[edit.a]) + '\n';
        }
        // An empty side starts after the lines before the hunk.
        auto before = [&](bool old) {
            int count = 0;
            for (std::size_t e = 0; e < start; ++e)
                count += old ? edits[e].op != '+' : edits[e].op != '-';
            return count;
        };
        out += "@@ -" + range(oldStart < 0 ? before(true) : oldStart, oldCount) + " +"
            + range(newStart < 0 ? before(false) : newStart, newCount) + " @@\n" + body;
        k = stop;
    }
    if (!a.isEmpty() && !a.endsWith('\n'))
        out += "\\ No newline at end of file (old)\n";
    if (!b.isEmpty() && !b.endsWith('\n'))
        out += "\\ No newline at end of file (new)\n";
    return out;
}
