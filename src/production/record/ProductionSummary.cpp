#include "ProductionSummary.h"

#include "foundation/KelvaraError.h"

#include <limits>

ProductionSummary::ProductionSummary(QString key, ClassIdGenerator &ids)
    : m_key(std::move(key)), m_classDebugId(ids.next())
{
}

qint32 ProductionSummary::checked(const QVariant &value, const char *member)
{
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
        ClassErrors::raise(ClassErrors::DataClassError,
                           QStringLiteral("ProductionSummary:%1 Property Let").arg(QLatin1String(member)));
    return qint32(number);
}

void ProductionSummary::setTransfers(const QVariant &v)
{
    m_transfers = checked(v, "Transfers");
}
void ProductionSummary::setFromRework(const QVariant &v)
{
    m_fromRework = checked(v, "FromRework");
}
void ProductionSummary::setToHold(const QVariant &v)
{
    m_toHold = checked(v, "ToHold");
}
void ProductionSummary::setRejects(const QVariant &v)
{
    m_rejects = checked(v, "Rejects");
}
void ProductionSummary::setNetFinishedGoods(const QVariant &v)
{
    m_netFinishedGoods = checked(v, "NetFinishedGoods");
}
