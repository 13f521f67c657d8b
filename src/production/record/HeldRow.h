#pragma once

#include <QList>
#include <algorithm>

// A window reads its rows again while the user types into one of them. In fresh (the rows read
// again), the row whose key is held takes the values the window shows, so that its save still
// compares with what the user saw and finds a change made elsewhere meanwhile. True when the row
// was stored with other values. Key 0 (a row not stored yet) and a row gone on either side hold
// nothing back.
// The row of rows whose key is key, or -1.
template <class Row, class Key> int rowWithKey(const QList<Row> &rows, Key Row::*field, Key key)
{
    const auto found =
        std::find_if(rows.cbegin(), rows.cend(), [&](const Row &row) { return row.*field == key; });
    return found == rows.cend() ? -1 : int(found - rows.cbegin());
}

// Each row's key, in row order.
template <class Row, class Key> QList<Key> keysOf(const QList<Row> &rows, Key Row::*field)
{
    QList<Key> keys;
    keys.reserve(rows.size());
    for (const Row &row : rows)
        keys << row.*field;
    return keys;
}

template <class Row, class Key>
bool holdBackRow(QList<Row> &fresh, const QList<Row> &shown, Key Row::*key, Key held)
{
    const auto same = [key, held](const Row &row) { return row.*key == held; };
    const auto read = std::find_if(shown.cbegin(), shown.cend(), same);
    const auto now = std::find_if(fresh.begin(), fresh.end(), same);
    if (held == Key{} || read == shown.cend() || now == fresh.end() || *read == *now)
        return false;
    *now = *read;
    return true;
}
