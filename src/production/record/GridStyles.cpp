#include "GridStyles.h"

#include <QBrush>
#include <QColor>

QVariant GridStyles::foreground(Style style)
{
    switch (style) {
    case Style::Negative:
        return QBrush(QColor(0x9c, 0x00, 0x06));
    case Style::Zero:
        return QBrush(QColor(0x00, 0x61, 0x00));
    case Style::FromMachine:
        return QBrush(QColor(0x1f, 0x3a, 0x93));
    case Style::None:
        break;
    }
    return {};
}

QVariant GridStyles::background(Style style)
{
    switch (style) {
    case Style::Negative:
        return QBrush(QColor(0xff, 0xc7, 0xce));
    case Style::Zero:
        return QBrush(QColor(0xc6, 0xef, 0xce));
    case Style::FromMachine:
        return QBrush(QColor(0xdd, 0xeb, 0xf7));
    case Style::None:
        break;
    }
    return {};
}

GridStyles::Style GridStyles::of(const QString &text, bool positiveIsNegative)
{
    if (text.startsWith(QLatin1Char('-')))
        return Style::Negative;
    if (text.startsWith(QLatin1Char('0')))
        return Style::Zero;
    if (positiveIsNegative && !text.isEmpty() && text.at(0) >= QLatin1Char('1') &&
        text.at(0) <= QLatin1Char('9'))
        return Style::Negative;
    return Style::None;
}

QVariant GridStyles::look(int role, const LineCell &cell, const QString &text)
{
    switch (role) {
    case Qt::TextAlignmentRole:
        return QVariant((cell.textColumn ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        if (cell.styled)
            return foreground(of(text, cell.positiveIsNegative));
        return cell.readOnly ? QVariant(QBrush(Qt::darkGray)) : QVariant();
    case Qt::BackgroundRole:
        return cell.styled ? background(of(text, cell.positiveIsNegative)) : QVariant();
    default:
        return {};
    }
}
