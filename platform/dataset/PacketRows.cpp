#include "platform/dataset/PacketRows.h"

#include <algorithm>
#include <numeric>

namespace platform::packet {

namespace {

// Depth of each row in its chain of versions (0 for a first version) and the chain's
// first row. Computed without recursion; a link that would close a cycle is cut.
void chainDepths(QList<int>& prev, QList<int>& depth, QList<int>& root)
{
    const int n = int(prev.size());
    depth.fill(-1, n);
    root.fill(-1, n);
    QList<int> path;
    QList<char> onPath(n, 0);
    for (int start = 0; start < n; ++start) {
        if (depth[start] >= 0)
            continue;
        path.clear();
        int i = start;
        while (i >= 0 && depth[i] < 0 && !onPath[i]) {
            onPath[i] = 1;
            path.append(i);
            i = prev[i];
        }
        if (i >= 0 && onPath[i]) {  // cycle: cut the link that closes it
            prev[path.last()] = -1;
            i = -1;
        }
        int d = i >= 0 ? depth[i] : -1;
        int r = i >= 0 ? root[i] : -1;
        for (qsizetype k = path.size() - 1; k >= 0; --k) {
            const int row = path[k];
            depth[row] = ++d;
            root[row] = r >= 0 ? r : row;
            r = root[row];
            onPath[row] = 0;
        }
    }
}

}  // namespace

QList<QVariantList> resolveRows(StoredRows&& stored, const QList<qint64>& changeLog)
{
    const int n = int(stored.values.size());
    const bool allVisible = std::all_of(stored.states.cbegin(), stored.states.cend(), isVisibleRow);
    if (allVisible && (changeLog.isEmpty() || stored.unchanged.isEmpty()))
        return std::move(stored.values);  // NOT CHANGED without older versions is null already

    QList<int> prev(n, -1);
    for (qsizetype k = 0; k + 2 < changeLog.size(); k += 3) {
        const qint64 row = changeLog[k], before = changeLog[k + 1];
        if (row >= 1 && row <= n && before >= 1 && before <= n && before != row)
            prev[int(row - 1)] = int(before - 1);
    }
    QList<int> depth, root;
    chainDepths(prev, depth, root);

    // Fill NOT CHANGED slots from the previous version, shallowest rows first, so that
    // every previous version is already complete when it is copied from.
    QList<int> byDepth(n);
    std::iota(byDepth.begin(), byDepth.end(), 0);
    std::stable_sort(byDepth.begin(), byDepth.end(), [&](int a, int b) { return depth[a] < depth[b]; });
    for (int row : byDepth) {
        const auto it = stored.unchanged.constFind(row);
        if (it == stored.unchanged.cend() || prev[row] < 0)
            continue;
        const QVariantList& older = stored.values[prev[row]];
        QVariantList& values = stored.values[row];
        for (qsizetype f = 0; f < it->size() && f < values.size() && f < older.size(); ++f)
            if (it->testBit(f))
                values[f] = older[f];
    }

    QList<int> visible;
    for (int row = 0; row < n; ++row)
        if (isVisibleRow(stored.states[row]))
            visible.append(row);
    std::stable_sort(visible.begin(), visible.end(), [&](int a, int b) { return root[a] < root[b]; });
    QList<QVariantList> out;
    out.reserve(visible.size());
    for (int row : visible)
        out.append(std::move(stored.values[row]));
    return out;
}

}  // namespace platform::packet
