#pragma once

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A program of the tests run as another workstation: in a process of its own, with its own
// working folder, HOME, TMPDIR and XDG folders under root. It talks in lines on stdin and stdout;
// closing stdin ends it.
class OtherProcess
{
public:
    OtherProcess(const QString &program, const QStringList &arguments, const QString &root)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "TMPDIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                 "XDG_RUNTIME_DIR", "work"}) {
            const QString folder = QDir(root).filePath(QString::fromLatin1(name));
            QDir().mkpath(folder);
            QFile::setPermissions(folder,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            if (QLatin1String(name) != QLatin1String("work"))
                environment.insert(QString::fromLatin1(name), folder);
        }
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(QDir(root).filePath(QStringLiteral("work")));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
    }
    ~OtherProcess() { finish(); }

    // The next line it prints (trimmed); empty when none comes within the time.
    QString readLine(int msecs = 10000)
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(msecs))
                return {};
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    QString ask(const QByteArray &line)
    {
        m_process.write(line + '\n');
        return readLine();
    }
    void write(const QByteArray &line) { m_process.write(line + '\n'); }
    // Closes its stdin and waits for it to end; its exit code, -1 when it did not end well.
    int finish()
    {
        if (m_process.state() == QProcess::NotRunning)
            return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(20000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
};
