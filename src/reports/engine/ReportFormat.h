#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QVariant>
#include <functional>

// How report values are written: number formats in the style "###,###,##0" (a 0 shows as "0")
// and "###,###,###" (a 0 shows as nothing), date formats in Qt's notation ("MM/dd/yyyy",
// "dddd, MMMM d, yyyy"), and "Yes/No" for yes/no fields. The words of dates follow the default
// locale.
namespace ReportFormat {
QString value(const QVariant &value, const QString &format);
QString number(double value, const QString &format);

// Fills a template: "{Name}" or "{Name:format}" is replaced by lookup(Name) written in the format;
// "{Name|text}" gives the text when the value is empty. A name the lookup does not know is empty.
QString fill(const QString &text, const std::function<QVariant(const QString &)> &lookup);

// The formula values given to a report, "Name='value'" each, as a name -> value map.
QMap<QString, QString> formulaValues(const QStringList &entries);
} // namespace ReportFormat
