#pragma once

#include <QString>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableView;
class QWidget;

// The pieces the data windows share.
namespace DataWindowParts {
// A button that Enter in the window's grids does not press (no auto-default), at least
// minimumWidth wide.
QPushButton *makeButton(const QString &objectName, const QString &caption, QWidget *parent,
                        int minimumWidth = 0);
// The window's "&OK" that closes it (cmdOKButton).
QPushButton *makeOkButton(QWidget *window);
// The row under the grids: `left` (when given) at its left, the OK button in the middle; the
// caller may add more at its right.
QHBoxLayout *makeOkRow(QPushButton *ok, QWidget *left = nullptr);
// The bold, enlarged caption above the grid that names the date-shift.
QLabel *makeCaptionLabel(const QString &objectName, QWidget *parent);
// The red note under the caption (protected or read-only date-shift); hidden until needed.
QLabel *makeNoteLabel(const QString &objectName, const QString &text, QWidget *parent);
// A single-cell selection grid that edits on typing and on a click of the selected cell (at
// once, so no key typed right after the click is lost), with rows sized to the font.
void setUpEntryGrid(QTableView *grid, int rowHeaderWidth);
} // namespace DataWindowParts
