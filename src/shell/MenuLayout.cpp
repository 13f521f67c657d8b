#include "MenuLayout.h"

#include "reports/ReportCatalog.h"

namespace {
MenuItem item(const QString &menu, int index, const char *caption, const char *shortcut = "",
              bool designEnabled = true)
{
    return {MenuLayout::itemName(menu, index), QString::fromUtf8(caption), QString::fromLatin1(shortcut),
            designEnabled};
}

MenuItem separator(const QString &menu, int index)
{
    return {MenuLayout::itemName(menu, index), QString(), QString(), true};
}

Menu fileMenu()
{
    const QString m = QStringLiteral("mnuFile");
    return {m,
            QStringLiteral("&File"),
            {item(m, 1, "&Job List...", "Ctrl+J"), item(m, 2, "&Production Counts...", "Ctrl+P"),
             item(m, 3, "&Transfers...", "Ctrl+T"), item(m, 4, "Production on &Hold...", "Ctrl+H"),
             item(m, 5, "&Disposition of Hold...", "Ctrl+D"), item(m, 6, "P&rotect Data...", "Ctrl+R"),
             item(m, 7, "&View/Edit QA Check Sheets...", "", false), separator(m, 8),
             item(m, 9, "&Security Settings..."), separator(m, 10), item(m, 11, "E&xit", "Ctrl+X")}};
}

// The reports of the catalog at their positions; an item that opens no report is disabled.
Menu reportsMenu()
{
    const QString m = QStringLiteral("mnuReports");
    Menu menu{m, QStringLiteral("&Reports"), {}};
    for (const ReportDescriptor &report : ReportCatalog::all()) {
        if (report.type > 0)
            menu.items << MenuItem{MenuLayout::itemName(m, report.type), report.menuCaption, QString(),
                                   report.opensWindow};
    }
    return menu;
}

Menu toolsMenu()
{
    const QString m = QStringLiteral("mnuTools");
    return {m,
            QStringLiteral("&Tools"),
            {item(m, 1, "&Color Feeder Calibration..."), item(m, 2, "&Production Schedule..."),
             item(m, 3, "Mattec Setup S&heets...", "", false), item(m, 4, "&Machine Connections...")}};
}

Menu databaseMenu()
{
    const QString m = QStringLiteral("mnuDatabase");
    return {m,
            QStringLiteral("&Database"),
            {item(m, 1, "&Backup"), item(m, 2, "&Restore"), item(m, 3, "Re&pair"), item(m, 4, "&Compact")}};
}

Menu windowMenu()
{
    const QString m = QStringLiteral("mnuWindow");
    return {m,
            QStringLiteral("&Window"),
            {item(m, 1, "&Cascade"), item(m, 2, "&Tile"), item(m, 3, "&Arrange Icons")}};
}

// Columns of the rights table: File 1-7, 9, 11, Database 1, 2.
const QStringList &rightsColumns()
{
    static const QStringList columns = {
        QStringLiteral("mnuFileSub1"),     QStringLiteral("mnuFileSub2"),    QStringLiteral("mnuFileSub3"),
        QStringLiteral("mnuFileSub4"),     QStringLiteral("mnuFileSub5"),    QStringLiteral("mnuFileSub6"),
        QStringLiteral("mnuFileSub7"),     QStringLiteral("mnuFileSub9"),    QStringLiteral("mnuFileSub11"),
        QStringLiteral("mnuDatabaseSub1"), QStringLiteral("mnuDatabaseSub2")};
    return columns;
}
} // namespace

QString MenuLayout::itemName(const QString &menu, int index)
{
    return menu + QStringLiteral("Sub") + QString::number(index);
}

QList<Menu> MenuLayout::menus()
{
    return {fileMenu(), reportsMenu(), toolsMenu(), databaseMenu(), windowMenu()};
}

std::optional<QMap<QString, bool>> MenuLayout::rightsFor(const QString &level)
{
    // One row per level, in the order of rightsColumns().
    static const QMap<QString, QString> table = {
        {QStringLiteral("A"), QStringLiteral("11000000100")},
        {QStringLiteral("B"), QStringLiteral("10111010100")},
        {QStringLiteral("C"), QStringLiteral("11111111111")},
        {QStringLiteral("D"), QStringLiteral("00000000100")},
    };
    const auto row = table.constFind(level);
    if (row == table.constEnd())
        return std::nullopt;
    QMap<QString, bool> rights;
    for (int i = 0; i < rightsColumns().size(); ++i)
        rights.insert(rightsColumns()[i], row->at(i) == '1');
    return rights;
}
