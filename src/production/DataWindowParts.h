#pragma once

#include <QString>

class QLabel;
class QTableView;
class QWidget;
class Session;

// The pieces the per-shift data windows (job list, production counts) share.
namespace DataWindowParts {
// The bold, enlarged caption above the grid that names the date-shift.
QLabel *makeCaptionLabel(const QString &objectName, QWidget *parent);
// The red note under the caption (protected or read-only date-shift); hidden until needed.
QLabel *makeNoteLabel(const QString &objectName, const QString &text, QWidget *parent);
// A single-cell selection grid that edits on typing, with rows sized to the font.
void setUpEntryGrid(QTableView *grid, int rowHeaderWidth);
// The end of a window's stay: the grid's column widths saved when the window was loaded, and the
// window counted out of the session's open data windows when it was counted in. Clears both flags.
void leave(Session &session, const QString &widthsSection, const QTableView *grid, bool &loaded,
           bool &counted);
} // namespace DataWindowParts
