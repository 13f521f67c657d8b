#include "ConnectionsSheet.h"

#include "MachineStore.h"

#include <QRegularExpression>

#include <algorithm>

namespace {
// EUROMAP 63 parameter names: letters, digits and '_'; a vendor's own start with '@'.
bool isParameterName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^@?[A-Za-z][A-Za-z0-9_]*$"));
    return pattern.match(name).hasMatch();
}
} // namespace

QString ConnectionsSheet::caption(Field field)
{
    switch (field) {
    case Machine:
        return QStringLiteral("Machine");
    case Folder:
        return QStringLiteral("Session Folder");
    case Counter:
        return QStringLiteral("Counter");
    case Cavities:
        return QStringLiteral("Cavities");
    case Enabled:
        return QStringLiteral("Enabled");
    case FieldCount:
        break;
    }
    return {};
}

QString ConnectionsSheet::text(const MachineLink &link, Field field)
{
    switch (field) {
    case Machine:
        return QString::number(link.machine);
    case Folder:
        return link.folder;
    case Counter:
        return link.counter;
    case Cavities:
        return QString::number(link.cavities);
    case Enabled:
        return link.enabled ? QStringLiteral("Yes") : QStringLiteral("No");
    case FieldCount:
        break;
    }
    return {};
}

int ConnectionsSheet::rowOf(int machine) const
{
    for (int row = 0; row < count(); ++row) {
        if (m_links.at(row).machine == machine)
            return row;
    }
    return -1;
}

QString ConnectionsSheet::enter(MachineStore &store, int row, Field field, const QString &typed)
{
    if (!m_editable)
        return QStringLiteral("Only a level C login may change the machine connections.");
    MachineLink link = m_links.at(row);
    const QString value = typed.trimmed();
    bool ok = true;
    switch (field) {
    case Folder:
        if (value.isEmpty())
            return QStringLiteral("A connection needs its machine's session folder.");
        link.folder = value;
        break;
    case Counter:
        if (!isParameterName(value))
            return QStringLiteral(
                       "\"%1\" is not a counter's name: for example ActCntPrt (parts) or ActCntCyc "
                       "(cycles, times the cavities).")
                .arg(value);
        link.counter = value;
        break;
    case Cavities:
        link.cavities = value.toInt(&ok);
        if (!ok || link.cavities < 1 || link.cavities > 1000)
            return QStringLiteral("The cavities are a whole number from 1 to 1000.");
        break;
    case Enabled:
        link.enabled = value == QLatin1String("Yes") || value == QLatin1String("1") ||
                       value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        break;
    case Machine:
    case FieldCount:
        return QStringLiteral("A machine's number is given when it is added.");
    }
    store.save(link);
    m_links[row] = link;
    return {};
}

QString ConnectionsSheet::add(MachineStore &store, const QString &typedNumber, const QString &folder)
{
    if (!m_editable)
        return QStringLiteral("Only a level C login may change the machine connections.");
    bool ok = false;
    const int machine = typedNumber.trimmed().toInt(&ok);
    if (!ok || machine < 0)
        return QStringLiteral("A machine number is a whole number.");
    if (rowOf(machine) >= 0)
        return QStringLiteral("Machine %1 has a connection already.").arg(machine);
    if (folder.trimmed().isEmpty())
        return QStringLiteral("A connection needs its machine's session folder.");
    MachineLink link;
    link.machine = machine;
    link.folder = folder.trimmed();
    store.save(link);
    m_links << link;
    std::sort(m_links.begin(), m_links.end(),
              [](const MachineLink &a, const MachineLink &b) { return a.machine < b.machine; });
    return {};
}

void ConnectionsSheet::remove(MachineStore &store, int row)
{
    if (!m_editable || row < 0 || row >= count())
        return;
    store.remove(m_links.at(row).machine);
    m_links.removeAt(row);
}
