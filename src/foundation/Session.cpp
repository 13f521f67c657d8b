#include "Session.h"

#include "ErrorLog.h"
#include "HistoryChain.h"

#include <cstdlib>

Session::Session(const Seams &seams, std::unique_ptr<CKelvaraOptions> options)
    : m_seams(seams), m_options(std::move(options)), m_endProgram([](int code) { std::exit(code); })
{
    // The history a file's triggers write takes its time and login from here, as the rest does.
    HistoryChain::useSeams(m_seams.clock, m_seams.identity);
}

Session::~Session()
{
    HistoryChain::dropSeams(m_seams.clock);
}

void Session::setCurrentDateShift(const DateShift &dateShift)
{
    currentDate = dateShift.date;
    currentShift = dateShift.shift;
}

void Session::clearCurrentDateShift()
{
    currentDate = QDate();
    currentShift = 0;
}

void Session::dataFormOpened()
{
    ++m_openDataForms;
    emit openDataFormsChanged(m_openDataForms);
}

void Session::dataFormClosed()
{
    if (m_openDataForms > 0)
        --m_openDataForms;
    emit openDataFormsChanged(m_openDataForms);
}

void Session::resetDataForms()
{
    m_openDataForms = 0;
    emit openDataFormsChanged(0);
}

bool Session::writeErrorLog(const QString &message) const
{
    return ErrorLog(paths(), clock()).write(networkUserName, message);
}

QString Session::errorLogPath() const
{
    return ErrorLog(paths(), clock()).path();
}

void Session::showSeriousError(const QString &message, const QString &logDetail)
{
    const QString text = QStringLiteral("An error has occurred.  The operation you just "
                                        "attempted MAY NOT have completed due to it.\n"
                                        "The error message is this: ") +
                         message + QStringLiteral("\nPress OK to continue, or Cancel to end the program.");
    // The dialog comes before the log, so the user sees the failure even when the log fails.
    const MsgAnswer answer =
        prompter().ask({text, QStringLiteral("Serious Error"), MsgIcon::Critical, MsgButtons::OkCancel});
    writeErrorLog(logDetail.isEmpty() ? message : message + QStringLiteral(" [") + logDetail + ']');
    if (answer == MsgAnswer::Cancel)
        endProgram(1);
}

void Session::endProgram(int exitCode)
{
    m_programEnding = true;
    m_endProgram(exitCode);
}

bool Session::repairDatabase(QObject *requester)
{
    if (!m_repair || m_programEnding)
        return false;
    if (m_closeWindows && !m_closeWindows(requester))
        return false;
    m_repair();
    // Answering No to the repair question ends the program; there is then nothing to retry.
    return !m_programEnding;
}

bool Session::checkExclusiveAccess(bool offerCancel)
{
    return m_exclusiveAccess ? m_exclusiveAccess(offerCancel) : true;
}

void Session::endExclusiveAccess(const std::function<void()> &meanwhile)
{
    if (m_endExclusiveAccess)
        m_endExclusiveAccess(meanwhile);
    else if (meanwhile)
        meanwhile();
}

void Session::chooseDateShift()
{
    if (m_chooseDateShift)
        m_chooseDateShift();
}
