#pragma once

#include "Euromap.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>

// How long a host waits for a machine and how often it looks.
struct WaitSettings
{
    int timeoutMs = 120000;
    int pollMs = 50;
    // How long files a machine reported done may still take to appear whole.
    int settleMs = 3000;
};

// One job run over a machine's session folder, as a host does it: the job file and the session
// request are written under temporary names and renamed, so that the machine never reads half a
// file; the session number is one no REQ or RSP in the folder holds, claimed by renaming the job
// file onto a name of that number (which fails when another workstation took it first); the
// response is read once whole (an empty or half-written one is "not yet") and moved away before
// it is parsed; the files the job writes are this request's own and are removed before it
// starts, so that an earlier request's file is never taken for its answer.
class SessionFolder
{
public:
    SessionFolder(QString folder, WaitSettings wait) : m_folder(std::move(folder)), m_wait(wait) {}

    // One command of the job and the file it writes: %1 in the command is that file's name.
    // whole tells a file written up to its end from one the machine is still writing.
    struct Output
    {
        QString command;
        std::function<bool(const QByteArray &)> whole;
    };

    enum class Outcome { Answered, NoFolder, CannotWrite, NoAnswer, Cancelled };
    struct Result
    {
        Outcome outcome = Outcome::NoAnswer;
        Euromap::Response response;
        QString sessionFile; // SESSnnnn.REQ
        int session = -1;
        // After PROCESSED: each output file as read (empty when it never came whole).
        QList<QByteArray> files;
    };
    Result run(const QList<Output> &outputs, const std::atomic_bool *cancel = nullptr) const;

    QString folder() const { return m_folder; }
    // The highest session number a host uses.
    static constexpr int kLastSession = 9999;

private:
    std::optional<int> claimSession() const;
    // Polls done until it is true; false when the time ran out or the run was cancelled.
    bool waitFor(const std::function<bool()> &done, const std::atomic_bool *cancel, int limitMs) const;
    QString path(const QString &name) const;
    QString writeTemporary(const QByteArray &text) const;
    void removeFiles(const QStringList &names) const;

    QString m_folder;
    WaitSettings m_wait;
};
