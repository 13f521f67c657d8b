#include "ChangeNotices.h"

#include "foundation/ChangeWatch.h"
#include "foundation/Database.h"

#include <QList>
#include <QPair>
#include <QStringList>

namespace {
// The function the triggers run, with the search path pinned and every name qualified, so that
// no object a login may create earlier in its path is run in its place. Its argument says how
// the row finds its date-shift: its own columns ('line'), its line's ('job'), or none.
QString functionText()
{
    // Written without colons: the statement goes through the driver's placeholder parsing.
    return QStringLiteral(
               "CREATE OR REPLACE FUNCTION public.kelvara_notify_change() RETURNS trigger LANGUAGE plpgsql "
               "SET search_path = pg_catalog, public AS $$\n"
               "DECLARE\n"
               "  r jsonb;\n"
               "  how text;\n"
               "  shift text;\n"
               "BEGIN\n"
               "  IF TG_OP = 'DELETE' THEN SELECT pg_catalog.to_jsonb(OLD) INTO r;\n"
               "  ELSE SELECT pg_catalog.to_jsonb(NEW) INTO r; END IF;\n"
               "  SELECT pg_catalog.array_to_string(TG_ARGV, '') INTO how;\n"
               "  IF how = 'line' THEN\n"
               "    SELECT (r ->> 'Date') || '|' || (r ->> 'Shift') INTO shift;\n"
               "  ELSIF how = 'job' THEN\n"
               "    SELECT CAST(p.\"Date\" AS text) || '|' || CAST(p.\"Shift\" AS text) INTO shift\n"
               "      FROM public.\"Production Table\" p WHERE p.\"Job ID\" = CAST(r ->> 'Job ID' AS "
               "bigint);\n"
               "  END IF;\n"
               "  PERFORM pg_catalog.pg_notify('%1', TG_TABLE_NAME || '|' || COALESCE(shift, "
               "''));\n"
               "  RETURN NULL;\n"
               "END $$")
        .arg(ChangeWatch::channel());
}

// Each announced table and how its rows find their date-shift.
const QList<QPair<QString, QString>> &announcedTables()
{
    static const QList<QPair<QString, QString>> tables{
        {QStringLiteral("Production Table"), QStringLiteral("line")},
        {QStringLiteral("Transfer Table"), QStringLiteral("job")},
        {QStringLiteral("Hold Table"), QStringLiteral("job")},
        {QStringLiteral("Hold Distribution"), QStringLiteral("job")},
        {QStringLiteral("Security Table"), QStringLiteral("none")},
        {QStringLiteral("Color Table"), QStringLiteral("none")},
    };
    return tables;
}

const QString kTrigger = QStringLiteral("kelvara_change");
} // namespace

void ChangeNotices::create(Database &db)
{
    if (!db.dialect().isServer())
        return;
    db.exec(functionText());
    for (const auto &[table, how] : announcedTables()) {
        const QString on = QStringLiteral("public.\"%1\"").arg(table);
        db.exec(QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(kTrigger, on));
        db.exec(QStringLiteral("CREATE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE ON %2 FOR EACH ROW "
                               "EXECUTE FUNCTION public.kelvara_notify_change('%3')")
                    .arg(kTrigger, on, how));
    }
}

bool ChangeNotices::current(const Database &db)
{
    if (!db.dialect().isServer())
        return true;
    const qint64 present =
        db.scalar(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_trigger WHERE tgname = :name"),
                  {{QStringLiteral("name"), kTrigger}})
            .toLongLong();
    return present == announcedTables().size();
}

void ChangeNotices::ensure(Database &db)
{
    if (current(db))
        return;
    Transaction transaction(db);
    create(db);
    transaction.commit();
}
