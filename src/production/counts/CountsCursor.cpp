#include "CountsCursor.h"

#include <algorithm>

CountsCursor::CountsCursor(int beginning, int ending, int mattec)
    : m_beginning(beginning), m_ending(ending), m_mattec(mattec)
{
}

int CountsCursor::firstEntryColumn() const
{
    return m_beginningLocked ? m_ending : m_beginning;
}

CountsCursor::Cell CountsCursor::step(Cell current, Direction direction, int rowCount, int columnCount) const
{
    if (direction == Direction::None)
        return current;
    const int offset = direction == Direction::Left ? -1 : 1;
    Cell moved{current.row, std::clamp(current.column + offset, 0, std::max(columnCount - 1, 0))};
    return settle(moved, direction, rowCount);
}

CountsCursor::Cell CountsCursor::settle(Cell moved, Direction direction, int rowCount) const
{
    switch (direction) {
    case Direction::Left:
        return settleLeft(moved);
    case Direction::Right:
        return settleRight(moved, rowCount);
    case Direction::None:
        break;
    }
    return moved;
}

CountsCursor::Cell CountsCursor::settleLeft(Cell cell) const
{
    // Left of the first entry column: the Mattec Count of the line above (the first line has none).
    auto wrapUp = [this](Cell c) {
        c.column = m_mattec;
        if (c.row > 0)
            --c.row;
        return c;
    };
    if (cell.column < m_beginning)
        cell = wrapUp(cell);
    if (cell.column < m_ending)
        cell = m_beginningLocked ? wrapUp(cell) : Cell{cell.row, m_beginning};
    if (cell.column > m_ending && cell.column < m_mattec)
        cell.column = m_ending;
    return cell;
}

CountsCursor::Cell CountsCursor::settleRight(Cell cell, int rowCount) const
{
    if (cell.column < m_beginning || (m_beginningLocked && cell.column == m_beginning))
        cell.column = firstEntryColumn();
    if (cell.column == m_beginning + 1)
        cell.column = m_ending;
    if (cell.column > m_ending && cell.column < m_mattec)
        cell.column = m_mattec;
    if (cell.column > m_mattec) {
        // Past the last entry column: the first entry column of the next line (the last line
        // starts over on itself).
        if (cell.row < rowCount - 1)
            ++cell.row;
        cell.column = firstEntryColumn();
    }
    return cell;
}
