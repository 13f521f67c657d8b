#pragma once

#include <QString>

class CKelvaraOptions;
class QTableView;

// Column widths of a grid, remembered per user under "ColWidths" / <section>-<column caption>.
// Restored at a window's load after its columns exist, saved at its unload.
namespace GridColumns {
void restore(CKelvaraOptions &options, const QString &section, QTableView *grid);
void save(CKelvaraOptions &options, const QString &section, const QTableView *grid);
} // namespace GridColumns
