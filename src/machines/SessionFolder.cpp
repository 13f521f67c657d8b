#include "SessionFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>

namespace {
QString number(int session)
{
    return QStringLiteral("%1").arg(session, 4, 10, QLatin1Char('0'));
}

QString requestName(int session)
{
    return QStringLiteral("SESS%1.REQ").arg(number(session));
}

QString responseName(int session)
{
    return QStringLiteral("SESS%1.RSP").arg(number(session));
}

// The host's own files of a session: job, job log, moved response, and one output per command.
QString ownName(int session, const QString &suffix)
{
    return QStringLiteral("KLV%1%2").arg(number(session), suffix);
}

QString outputName(int session, qsizetype index)
{
    return ownName(session, QStringLiteral("%1.DAT").arg(QChar(char16_t(u'A' + index))));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

QString SessionFolder::path(const QString &name) const
{
    return QDir(m_folder).filePath(name);
}

QString SessionFolder::writeTemporary(const QByteArray &text) const
{
    // A name no machine polls for (it looks for SESS*.REQ and the job files the requests name).
    QTemporaryFile file(path(QStringLiteral("klv-XXXXXX.tmp")));
    file.setAutoRemove(false);
    if (!file.open() || file.write(text) != text.size() || !file.flush()) {
        file.remove();
        return {};
    }
    file.close();
    return file.fileName();
}

void SessionFolder::removeFiles(const QStringList &names) const
{
    for (const QString &name : names)
        QFile::remove(path(name));
}

std::optional<int> SessionFolder::claimSession() const
{
    for (int session = 0; session <= kLastSession; ++session) {
        if (QFileInfo::exists(path(requestName(session))) || QFileInfo::exists(path(responseName(session))))
            continue;
        // The job file is created only where none is (O_EXCL): the job of a number another
        // workstation claimed first stays its own, and this one tries the next number. A rename
        // cannot do this: where the name is taken, QFile::rename falls back to copying over it.
        QFile job(path(ownName(session, QStringLiteral(".JOB"))));
        if (job.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return session;
    }
    return std::nullopt;
}

bool SessionFolder::waitFor(const std::function<bool()> &done, const std::atomic_bool *cancel,
                            int limitMs) const
{
    QElapsedTimer clock;
    clock.start();
    // The time is taken before each look, so that a wait never ends without a look after its
    // limit: a workstation held up past the limit (a busy machine) still sees what came meanwhile.
    for (;;) {
        const bool late = clock.elapsed() >= limitMs;
        if (done())
            return true;
        if ((cancel && *cancel) || late)
            return false;
        QThread::msleep(m_wait.pollMs);
    }
}

SessionFolder::Result SessionFolder::run(const QList<Output> &outputs, const std::atomic_bool *cancel) const
{
    Result result;
    if (!QFileInfo(m_folder).isDir()) {
        result.outcome = Outcome::NoFolder;
        return result;
    }
    // The job's text names the files of its session number, known once claimed: the claim is
    // an empty job file, filled in place before any request names it (a machine reads only the
    // jobs its requests name).
    const std::optional<int> session = claimSession();
    if (!session) {
        result.outcome = Outcome::CannotWrite;
        return result;
    }
    result.session = *session;
    result.sessionFile = requestName(*session);
    const QString jobName = ownName(*session, QStringLiteral(".JOB"));
    QStringList ownFiles{jobName, ownName(*session, QStringLiteral(".LOG")),
                         ownName(*session, QStringLiteral(".ANS"))};
    QStringList commands;
    for (qsizetype index = 0; index < outputs.size(); ++index) {
        ownFiles << outputName(*session, index);
        commands << outputs[index].command.arg(outputName(*session, index));
    }
    // Files of an earlier request under this number go first; one that stays could be taken
    // for this request's answer.
    removeFiles(ownFiles.mid(1));
    bool written = true;
    for (const QString &name : ownFiles.mid(1))
        written = written && !QFileInfo::exists(path(name));
    {
        QFile job(path(jobName));
        const QByteArray text = Euromap::jobText(ownName(*session, {}), ownFiles.at(1), commands);
        written = written && job.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  job.write(text) == text.size() && job.flush();
    }
    const QString requestTemp = written ? writeTemporary(Euromap::requestText(jobName)) : QString();
    if (requestTemp.isEmpty() || !QFile::rename(requestTemp, path(result.sessionFile))) {
        QFile::remove(requestTemp);
        removeFiles(ownFiles);
        result.outcome = Outcome::CannotWrite;
        return result;
    }

    const QString response = path(responseName(*session));
    std::optional<Euromap::Response> answer;
    const bool answered = waitFor(
        [&] {
            answer = Euromap::parseResponse(readAll(response));
            return answer.has_value();
        },
        cancel, m_wait.timeoutMs);
    if (!answered) {
        // A request the machine has not taken yet is withdrawn; one it took leaves its RSP,
        // which keeps the number from being used again until someone clears it.
        QFile::remove(path(result.sessionFile));
        removeFiles(ownFiles);
        result.outcome = cancel && *cancel ? Outcome::Cancelled : Outcome::NoAnswer;
        return result;
    }
    // Moved before it is parsed, so the number is free for the next request once this one ends.
    const QString moved = path(ownFiles.at(2));
    if (QFile::rename(response, moved))
        answer = Euromap::parseResponse(readAll(moved)).value_or(*answer);
    else
        QFile::remove(response);
    result.response = *answer;
    result.outcome = Outcome::Answered;
    if (result.response.processed) {
        for (qsizetype index = 0; index < outputs.size(); ++index) {
            const QString file = path(outputName(*session, index));
            QByteArray text;
            // Whole, and unchanged over one look more: the machine has finished writing it.
            waitFor(
                [&] {
                    const QByteArray before = text;
                    text = readAll(file);
                    return !text.isEmpty() && text == before && outputs[index].whole(text);
                },
                cancel, std::min(m_wait.settleMs, m_wait.timeoutMs));
            result.files << (outputs[index].whole(text) ? text : QByteArray());
        }
    }
    removeFiles(ownFiles);
    return result;
}
