#pragma once

#include "foundation/CKelvaraOptions.h"
#include "foundation/Clock.h"
#include "foundation/FileOps.h"
#include "foundation/Identity.h"
#include "foundation/Paths.h"
#include "foundation/Prompter.h"
#include "foundation/Session.h"
#include "reports/ReportCatalog.h"

#include <QSettings>

// A session for the windows the benchmark opens: every question answered OK, the folders and the
// settings file in `folder`.
class BenchSession : public Clock, public Prompter, public Identity
{
public:
    explicit BenchSession(const QString &folder)
        : m_paths(folder),
          m_session(
              {*this, *this, *this, m_paths, m_fileOps},
              std::make_unique<CKelvaraOptions>(
                  m_paths, ReportCatalog::reportFiles(),
                  std::make_unique<QSettings>(folder + QStringLiteral("/bench.ini"), QSettings::IniFormat)))
    {
    }

    QDateTime now() const override { return QDateTime::currentDateTime(); }
    MsgAnswer ask(const PromptMessage &) override { return MsgAnswer::Ok; }
    QString userName() const override { return QStringLiteral("bench"); }
    Session &session() { return m_session; }

private:
    FixedPaths m_paths;
    FileOps m_fileOps;
    Session m_session;
};
