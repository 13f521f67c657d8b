#pragma once

// Where the cursor of the counts grid goes when the user moves it with the keys. Left, Right and
// Enter step only through the entry columns (Beginning Count while it is not locked, Ending
// Count, Mattec Count) and wrap from line to line, so a supervisor can type a shift's readings
// without touching the mouse.
class CountsCursor
{
public:
    enum class Direction { None, Left, Right };

    struct Cell
    {
        int row = 0;
        int column = 0;
        bool operator==(const Cell &) const = default;
    };

    // The grid positions of "Beginning Count", "Ending Count" and "Mattec Count".
    CountsCursor(int beginning, int ending, int mattec);

    void setBeginningLocked(bool locked) { m_beginningLocked = locked; }

    // The cell after one key press from `current`: the grid's own one-column move, then the rules.
    Cell step(Cell current, Direction direction, int rowCount, int columnCount) const;
    // The rules applied to a cell the grid has just moved to.
    Cell settle(Cell moved, Direction direction, int rowCount) const;

private:
    Cell settleLeft(Cell cell) const;
    Cell settleRight(Cell cell, int rowCount) const;
    int firstEntryColumn() const;

    int m_beginning;
    int m_ending;
    int m_mattec;
    bool m_beginningLocked = true;
};
