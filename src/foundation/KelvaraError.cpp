#include "KelvaraError.h"

#include <limits>
#include <stdexcept>

QString ClassErrors::errorText(qint32)
{
    return QStringLiteral("An unknown error has occurred!");
}

void ClassErrors::raise(qint32 classErrorNumber, const QString &source)
{
    throw KelvaraError(ObjectErrorBase + classErrorNumber, errorText(classErrorNumber), source);
}

qint32 ClassIdGenerator::next()
{
    if (m_last == std::numeric_limits<qint32>::max())
        throw std::overflow_error("class debug identifier overflow");
    return ++m_last;
}
