#include "DataWindowParts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QTableView>

namespace {
// A click on the cell that is already selected starts its edit. The grid on its own waits a
// double-click interval before it opens the editor, and the keys typed meanwhile are lost (the
// first digits of a count typed right after the click). The editor is opened as the button is
// released instead, so every key that follows goes into it.
class ClickToEdit : public QObject
{
public:
    explicit ClickToEdit(QTableView *grid) : QObject(grid), m_grid(grid) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            m_pressed = selectedCellUnder(static_cast<QMouseEvent *>(event));
        else if (event->type() == QEvent::MouseButtonRelease)
            openEditor(static_cast<QMouseEvent *>(event));
        return QObject::eventFilter(watched, event);
    }

private:
    QModelIndex selectedCellUnder(const QMouseEvent *mouse) const
    {
        if (mouse->button() != Qt::LeftButton || mouse->modifiers() != Qt::NoModifier)
            return {};
        const QModelIndex index = m_grid->indexAt(mouse->position().toPoint());
        const bool selected =
            index.isValid() && index == m_grid->currentIndex() && m_grid->selectionModel()->isSelected(index);
        return selected ? index : QModelIndex();
    }

    void openEditor(const QMouseEvent *mouse)
    {
        const QPersistentModelIndex pressed = m_pressed;
        m_pressed = QPersistentModelIndex();
        if (!pressed.isValid() || mouse->button() != Qt::LeftButton ||
            m_grid->indexAt(mouse->position().toPoint()) != pressed ||
            !(m_grid->editTriggers() & QAbstractItemView::SelectedClicked) || m_grid->indexWidget(pressed))
            return;
        m_grid->edit(pressed);
    }

    QTableView *m_grid;
    QPersistentModelIndex m_pressed;
};
} // namespace

void DataWindowParts::startWindow(QWidget *window, const QString &objectName, const QString &title)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(objectName);
    window->setWindowTitle(title);
}

QTableView *DataWindowParts::makeGrid(const QString &objectName, QAbstractItemModel *model, QWidget *parent)
{
    auto *grid = new QTableView(parent);
    grid->setObjectName(objectName);
    grid->setModel(model);
    return grid;
}

QTableView *DataWindowParts::makePickList(const QString &objectName, QAbstractItemModel *model,
                                          QWidget *parent)
{
    QTableView *list = makeGrid(objectName, model, parent);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    // Its headings stay plain (a bold heading of the selected row's columns would be cut where
    // the last column is narrow).
    list->horizontalHeader()->setHighlightSections(false);
    list->setWordWrap(false);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    return list;
}

QLabel *DataWindowParts::makeCaptionLabel(const QString &objectName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    label->setFont(font);
    return label;
}

QLabel *DataWindowParts::makeNoteLabel(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setStyleSheet(QStringLiteral("color: #9c0006;"));
    label->hide();
    return label;
}

void DataWindowParts::setUpLineGrid(QTableView *grid)
{
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    grid->verticalHeader()->setMinimumWidth(16);
}

void DataWindowParts::setUpEntryGrid(QTableView *grid, int rowHeaderWidth)
{
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    grid->viewport()->installEventFilter(new ClickToEdit(grid));
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 10);
    grid->verticalHeader()->setMinimumWidth(rowHeaderWidth);
}

QPushButton *DataWindowParts::makeButton(const QString &objectName, const QString &caption, QWidget *parent,
                                         int minimumWidth)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    if (minimumWidth > 0)
        button->setMinimumWidth(minimumWidth);
    return button;
}

DataWindowParts::RowButtons DataWindowParts::makeRowButtons(const QString &nameNoun,
                                                            const QString &captionNoun, int minimumWidth,
                                                            QWidget *parent)
{
    const auto make = [&](const QString &verb) {
        return makeButton(QStringLiteral("cmd%1%2").arg(verb, nameNoun),
                          QStringLiteral("&%1 %2").arg(verb, captionNoun), parent, minimumWidth);
    };
    RowButtons buttons;
    buttons.update = make(QStringLiteral("Update"));
    buttons.add = make(QStringLiteral("Add"));
    buttons.remove = make(QStringLiteral("Delete"));
    buttons.row = new QHBoxLayout;
    buttons.row->addStretch();
    buttons.row->addWidget(buttons.update);
    buttons.row->addWidget(buttons.add);
    buttons.row->addWidget(buttons.remove);
    return buttons;
}

void DataWindowParts::RowButtons::enable(bool editable, bool anyRow) const
{
    add->setEnabled(editable);
    remove->setEnabled(editable && anyRow);
    update->setEnabled(editable && anyRow);
}

QPushButton *DataWindowParts::makeCloseButton(const QString &objectName, const QString &caption,
                                              QWidget *window, QWidget *parent, int minimumWidth)
{
    QPushButton *button = makeButton(objectName, caption, parent, minimumWidth);
    QObject::connect(button, &QPushButton::clicked, window, &QWidget::close);
    return button;
}

QPushButton *DataWindowParts::makeOkButton(QWidget *window)
{
    return makeCloseButton(QStringLiteral("cmdOKButton"), QObject::tr("&OK"), window, window, 100);
}

QHBoxLayout *DataWindowParts::makeOkRow(QPushButton *ok, QWidget *left)
{
    auto *row = new QHBoxLayout;
    if (left)
        row->addWidget(left);
    row->addStretch(1);
    row->addWidget(ok);
    row->addStretch(1);
    return row;
}
