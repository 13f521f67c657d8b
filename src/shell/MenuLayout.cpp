#include "MenuLayout.h"

#include "reports/ReportCatalog.h"
#include "widgets/MenuCommands.h"

namespace {
namespace C = MenuCommands;

MenuItem item(const MenuCommand &command)
{
    return {command.objectName(), QString::fromUtf8(command.caption), QString::fromLatin1(command.shortcut),
            command.designEnabled};
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
            {item(C::JobList), item(C::ProductionCounts), item(C::Transfers), item(C::OnHold),
             item(C::Disposition), item(C::ProtectData), item(C::CheckSheets), separator(m, 8),
             item(C::Security), separator(m, 10), item(C::Exit)}};
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
    return {QStringLiteral("mnuTools"),
            QStringLiteral("&Tools"),
            {item(C::ColorFeeder), item(C::Schedule), item(C::SetupSheets), item(C::MachineConnections)}};
}

Menu databaseMenu()
{
    return {QStringLiteral("mnuDatabase"),
            QStringLiteral("&Database"),
            {item(C::Backup), item(C::Restore), item(C::Repair), item(C::Compact)}};
}

Menu windowMenu()
{
    return {QStringLiteral("mnuWindow"),
            QStringLiteral("&Window"),
            {item(C::Cascade), item(C::Tile), item(C::ArrangeIcons)}};
}

// Columns of the rights table.
const QStringList &rightsColumns()
{
    static const QStringList columns = [] {
        QStringList names;
        for (const MenuCommand &command :
             {C::JobList, C::ProductionCounts, C::Transfers, C::OnHold, C::Disposition, C::ProtectData,
              C::CheckSheets, C::Security, C::Exit, C::Backup, C::Restore})
            names << command.objectName();
        return names;
    }();
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
