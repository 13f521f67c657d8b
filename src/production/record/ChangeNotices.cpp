#include "ChangeNotices.h"

#include "foundation/ChangeWatch.h"
#include "foundation/Database.h"

#include <QList>
#include <QPair>
#include <QStringList>

namespace {
// The body of the function the triggers run, with every name qualified. Its argument says how
// the row finds its date-shift: its own columns ('line'), its lines' ('job': the line of
// "Job ID", and the line a distribution reworks into, "To Job ID"; a row on no line yet is
// announced for every date-shift), or none. An update is
// announced for the row as it was and as it is, so that a row moved to another date-shift
// leaves the first one's windows too. Written without colons and square brackets: the statement
// goes through the driver's placeholder parsing and the engine's spelling of names.
QString functionBody()
{
    return QStringLiteral(
               "\n"
               "DECLARE\n"
               "  items jsonb;\n"
               "  r jsonb;\n"
               "  how text;\n"
               "  field text;\n"
               "  shift text;\n"
               "  told boolean;\n"
               "BEGIN\n"
               "  IF TG_OP = 'DELETE' THEN SELECT pg_catalog.jsonb_build_array(OLD) INTO items;\n"
               "  ELSIF TG_OP = 'INSERT' THEN SELECT pg_catalog.jsonb_build_array(NEW) INTO items;\n"
               "  ELSE SELECT pg_catalog.jsonb_build_array(OLD, NEW) INTO items; END IF;\n"
               "  SELECT pg_catalog.array_to_string(TG_ARGV, '') INTO how;\n"
               "  FOR r IN SELECT e.value FROM pg_catalog.jsonb_array_elements(items) e LOOP\n"
               "    IF how = 'line' THEN\n"
               "      PERFORM pg_catalog.pg_notify('%1', TG_TABLE_NAME || '|' || (r ->> 'Date') || '|' || "
               "(r ->> 'Shift'));\n"
               "    ELSIF how = 'job' THEN\n"
               "      SELECT false INTO told;\n"
               "      FOR field IN VALUES ('Job ID'), ('To Job ID') LOOP\n"
               "        SELECT NULL INTO shift;\n"
               "        SELECT CAST(p.\"Date\" AS text) || '|' || CAST(p.\"Shift\" AS text) INTO shift\n"
               "          FROM public.\"Production Table\" p WHERE p.\"Job ID\" = CAST(r ->> field AS "
               "bigint);\n"
               "        IF shift IS NOT NULL THEN\n"
               "          PERFORM pg_catalog.pg_notify('%1', TG_TABLE_NAME || '|' || shift);\n"
               "          SELECT true INTO told;\n"
               "        END IF;\n"
               "      END LOOP;\n"
               "      IF NOT told THEN\n"
               "        PERFORM pg_catalog.pg_notify('%1', TG_TABLE_NAME || '|');\n"
               "      END IF;\n"
               "    ELSE\n"
               "      PERFORM pg_catalog.pg_notify('%1', TG_TABLE_NAME || '|');\n"
               "    END IF;\n"
               "  END LOOP;\n"
               "  RETURN NULL;\n"
               "END ")
        .arg(ChangeWatch::channel());
}

// The function with the search path pinned, so that no object a login may create earlier in its
// path is run in its place.
QString functionText()
{
    return QStringLiteral("CREATE OR REPLACE FUNCTION public.kelvara_notify_change() RETURNS trigger "
                          "LANGUAGE plpgsql SET search_path = pg_catalog, public AS $$%1$$")
        .arg(functionBody());
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
    if (!db.dialect().announcesChanges())
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
    if (!db.dialect().announcesChanges())
        return true;
    const qint64 present =
        db.scalar(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_trigger WHERE tgname = :name"),
                  {{QStringLiteral("name"), kTrigger}})
            .toLongLong();
    if (present != announcedTables().size())
        return false;
    // A database made by an earlier version runs an earlier text of the function.
    const QVariant body = db.scalar(
        QStringLiteral("SELECT p.prosrc FROM pg_catalog.pg_proc p JOIN pg_catalog.pg_namespace n ON "
                       "n.oid = p.pronamespace WHERE n.nspname = 'public' AND p.proname = "
                       "'kelvara_notify_change'"));
    return body.toString() == functionBody();
}

void ChangeNotices::ensure(Database &db)
{
    if (current(db))
        return;
    Transaction transaction(db);
    create(db);
    transaction.commit();
}
