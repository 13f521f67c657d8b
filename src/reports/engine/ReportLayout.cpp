#include "ReportLayout.h"

#include "ReportError.h"
#include "foundation/Paths.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
[[noreturn]] void invalid(const QString &source, const QString &what)
{
    throw ReportError(ReportError::LayoutFile,
                      QStringLiteral("The report file \"%1\" is not a valid report: %2.").arg(source, what));
}

QStringList strings(const QJsonValue &value)
{
    QStringList result;
    for (const QJsonValue &item : value.toArray())
        result.append(item.toString());
    return result;
}

ReportColumn::Align alignment(const QString &text, const QString &source)
{
    if (text.isEmpty() || text == QLatin1String("left"))
        return ReportColumn::Left;
    if (text == QLatin1String("right"))
        return ReportColumn::Right;
    if (text == QLatin1String("center"))
        return ReportColumn::Center;
    invalid(source, QStringLiteral("unknown alignment \"%1\"").arg(text));
}

ReportColumn column(const QJsonObject &object, const QString &source)
{
    ReportColumn column;
    column.field = object.value(QLatin1String("field")).toString();
    if (column.field.isEmpty())
        invalid(source, QStringLiteral("a column has no field"));
    column.caption = object.value(QLatin1String("caption")).toString(column.field);
    column.width = object.value(QLatin1String("width")).toInt(10);
    if (column.width < 1)
        invalid(source, QStringLiteral("the column \"%1\" has no width").arg(column.field));
    column.align = alignment(object.value(QLatin1String("align")).toString(), source);
    column.format = object.value(QLatin1String("format")).toString();
    column.total = object.value(QLatin1String("total")).toBool();
    return column;
}

ReportGroup group(const QJsonObject &object, const QString &source)
{
    ReportGroup group;
    group.field = object.value(QLatin1String("field")).toString();
    if (group.field.isEmpty())
        invalid(source, QStringLiteral("a group has no field"));
    group.header = object.value(QLatin1String("header")).toString('{' + group.field + '}');
    group.footer = object.value(QLatin1String("footer")).toString();
    group.newPage = object.value(QLatin1String("newPage")).toBool();
    return group;
}

ReportChart chartOf(const QJsonObject &object, const QString &source)
{
    ReportChart chart;
    if (object.isEmpty())
        return chart;
    if (object.value(QLatin1String("kind")).toString(QStringLiteral("pareto")) != QLatin1String("pareto"))
        invalid(source, QStringLiteral("the chart is not a Pareto chart"));
    chart.title = object.value(QLatin1String("title")).toString();
    for (const QJsonValue &item : object.value(QLatin1String("bars")).toArray()) {
        const QJsonObject bar = item.toObject();
        const QString field = bar.value(QLatin1String("field")).toString();
        if (field.isEmpty())
            invalid(source, QStringLiteral("a bar of the chart has no field"));
        chart.bars.append({field, bar.value(QLatin1String("caption")).toString(field)});
    }
    if (chart.bars.isEmpty())
        invalid(source, QStringLiteral("the chart has no bars"));
    return chart;
}
} // namespace

ReportLayout ReportLayout::load(const QString &path)
{
    if (path.isEmpty())
        throw ReportError(ReportError::LayoutFile,
                          QStringLiteral("No report file has been chosen for this report."));
    // A shipped layout not beside the program is looked for where the program is installed.
    const QString located = Paths::locateLayout(path);
    if (located.isEmpty())
        throw ReportError(ReportError::LayoutFile, Paths::layoutMissingText(path));
    QFile file(located);
    if (!file.open(QIODevice::ReadOnly))
        throw ReportError(
            ReportError::LayoutFile,
            QStringLiteral("The report file \"%1\" cannot be opened: %2.").arg(located, file.errorString()));
    return fromJson(file.readAll(), located);
}

int ReportLayout::totalsCaptionSpan() const
{
    int span = 0;
    while (span < columns.size() && !columns[span].total)
        ++span;
    return span;
}

ReportLayout ReportLayout::fromJson(const QByteArray &json, const QString &source)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        invalid(source, QStringLiteral("%1 at offset %2").arg(error.errorString()).arg(error.offset));
    const QJsonObject root = document.object();
    ReportLayout layout;
    layout.title = root.value(QLatin1String("title")).toString();
    layout.table = root.value(QLatin1String("table")).toString();
    if (layout.table.isEmpty())
        invalid(source, QStringLiteral("it names no report table"));
    layout.landscape = root.value(QLatin1String("orientation")).toString() == QLatin1String("landscape");
    layout.heading = strings(root.value(QLatin1String("heading")));
    layout.sort = strings(root.value(QLatin1String("sort")));
    for (const QJsonValue &item : root.value(QLatin1String("groups")).toArray())
        layout.groups.append(group(item.toObject(), source));
    for (const QJsonValue &item : root.value(QLatin1String("columns")).toArray())
        layout.columns.append(column(item.toObject(), source));
    if (layout.columns.isEmpty())
        invalid(source, QStringLiteral("it has no columns"));
    layout.details = root.value(QLatin1String("details")).toBool(true);
    layout.grandTotal = root.value(QLatin1String("grandTotal")).toString();
    bool captions = !layout.grandTotal.isEmpty();
    for (const ReportGroup &group : layout.groups)
        captions = captions || !group.footer.isEmpty();
    if (captions && layout.columns.first().total)
        invalid(source,
                QStringLiteral("its first column is totalled, which leaves its totals lines no room for "
                               "their captions"));
    layout.chart = chartOf(root.value(QLatin1String("chart")).toObject(), source);
    if (root.contains(QLatin1String("noData")))
        layout.noData = root.value(QLatin1String("noData")).toString();
    return layout;
}
