#pragma once

#include <QString>

class QLabel;
class QTableView;
class QWidget;

// The pieces the per-shift data windows (job list, production counts) share.
namespace DataWindowParts {
// The bold, enlarged caption above the grid that names the date-shift.
QLabel *makeCaptionLabel(const QString &objectName, QWidget *parent);
// The red note under the caption (protected or read-only date-shift); hidden until needed.
QLabel *makeNoteLabel(const QString &objectName, const QString &text, QWidget *parent);
// A single-cell selection grid that edits on typing and on a click of the selected cell (at
// once, so no key typed right after the click is lost), with rows sized to the font.
void setUpEntryGrid(QTableView *grid, int rowHeaderWidth);
} // namespace DataWindowParts
