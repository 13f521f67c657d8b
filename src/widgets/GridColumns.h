#pragma once

#include <QString>

class CKelvaraOptions;
class QTableView;

// Column widths of a grid, remembered per user under "ColWidths" / <section>-<column caption>.
// Restored at a window's load after its columns exist, saved at its unload.
namespace GridColumns {
void restore(CKelvaraOptions &options, const QString &section, QTableView *grid);
void save(CKelvaraOptions &options, const QString &section, const QTableView *grid);
// Widens every column that is narrower than its heading drawn bold (the current column's heading
// is bold): a heading is never cut when its column becomes current. A wrapping heading needs its
// widest word.
void fitHeadings(QTableView *grid);
// The room a grid leaves at its right goes to the text column that is cut, up to what its texts
// need, whenever the grid is resized or re-read.
void giveSpareWidthTo(QTableView *grid, int column);
} // namespace GridColumns
