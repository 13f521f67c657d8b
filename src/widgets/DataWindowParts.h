#pragma once

#include <QString>

class QAbstractItemModel;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableView;
class QWidget;

// The pieces the data windows share.
namespace DataWindowParts {
// The start of a window of the main frame: its object name and title; closing it deletes it.
void startWindow(QWidget *window, const QString &objectName, const QString &title);
// A button that Enter in the window's grids does not press (no auto-default), at least
// minimumWidth wide.
QPushButton *makeButton(const QString &objectName, const QString &caption, QWidget *parent,
                        int minimumWidth = 0);
// A button as makeButton whose click closes window.
QPushButton *makeCloseButton(const QString &objectName, const QString &caption, QWidget *window,
                             QWidget *parent, int minimumWidth = 0);
// The window's "&OK" that closes it (cmdOKButton).
QPushButton *makeOkButton(QWidget *window);
// The row under the grids: `left` (when given) at its left, the OK button in the middle; the
// caller may add more at its right.
QHBoxLayout *makeOkRow(QPushButton *ok, QWidget *left = nullptr);
// A grid named objectName over model.
QTableView *makeGrid(const QString &objectName, QAbstractItemModel *model, QWidget *parent);
// A pick list: a grid named objectName over model whose rows are picked whole, one at a time,
// never typed into, without row headers, its last column taking the spare width.
QTableView *makePickList(const QString &objectName, QAbstractItemModel *model, QWidget *parent);
// The bold, enlarged caption above the grid that names the date-shift.
QLabel *makeCaptionLabel(const QString &objectName, QWidget *parent);
// The Update, Add and Delete buttons above an entry grid, at the right of their row: named
// "cmd<Verb><nameNoun>", captioned "&<Verb> <captionNoun>" (see makeRowButtons).
struct RowButtons
{
    QPushButton *update = nullptr;
    QPushButton *add = nullptr;
    QPushButton *remove = nullptr;
    QHBoxLayout *row = nullptr;

    // Add while the rows may be changed; Delete and Update also need a row.
    void enable(bool editable, bool anyRow) const;
};
RowButtons makeRowButtons(const QString &nameNoun, const QString &captionNoun, int minimumWidth,
                          QWidget *parent);
// The red note under the caption (protected or read-only date-shift); hidden until needed.
QLabel *makeNoteLabel(const QString &objectName, const QString &text, QWidget *parent);
// The grid of lines above an entry grid: a line is picked whole, one at a time, and never typed
// into; rows sized to the font, a narrow row header.
void setUpLineGrid(QTableView *grid);
// A single-cell selection grid that edits on typing and on a click of the selected cell (at
// once, so no key typed right after the click is lost), with rows sized to the font.
void setUpEntryGrid(QTableView *grid, int rowHeaderWidth);
} // namespace DataWindowParts
