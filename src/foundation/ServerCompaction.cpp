#include "ServerCompaction.h"

#include "ServerLocks.h"

// Compact for level C, who owns no table: VACUUM runs only outside any transaction, so not in a
// function, but CLUSTER by the primary key rewrites a table without its dead rows as VACUUM FULL
// does, and runs in the owner's function. A table without a primary key (CompanyInfo, one row)
// is analyzed only. A row per table: its name, whether it was rewritten, its size before and after.
// It refuses while another copy of the program is in (holds the presence lock shared), as the
// program's exclusive access check would, so that no login locks every table from psql under
// the others' work.
QString ServerCompaction::createStatement(const QString &schema)
{
    return QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.%2() RETURNS TABLE (\"Table\" text, \"Rewritten\" boolean, "
               "\"Before\" bigint, \"After\" bigint)\n"
               "LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, %1 AS $$\n"
               "DECLARE\n"
               "  target regclass;\n"
               "  primary_key regclass;\n"
               "BEGIN\n"
               "  IF EXISTS (SELECT 1 FROM pg_locks WHERE locktype = 'advisory' AND granted AND objsubid = "
               "1\n"
               "             AND classid::bigint = %3 AND objid::bigint = %4 AND mode = 'ShareLock'\n"
               "             AND database = (SELECT oid FROM pg_database WHERE datname = "
               "current_database()))\n"
               "  THEN\n"
               "    RAISE EXCEPTION 'Another workstation is in the database: Compact needs everyone else "
               "out.';\n"
               "  END IF;\n"
               "  FOR target IN SELECT c.oid FROM pg_class c WHERE c.relnamespace = '%1'::regnamespace\n"
               "      AND c.relkind = 'r' ORDER BY c.relname LOOP\n"
               "    \"Table\" := (SELECT relname FROM pg_class WHERE oid = target);\n"
               "    \"Before\" := pg_total_relation_size(target);\n"
               "    primary_key := (SELECT indexrelid FROM pg_index WHERE indrelid = target AND "
               "indisprimary);\n"
               "    \"Rewritten\" := primary_key IS NOT NULL;\n"
               "    IF \"Rewritten\" THEN\n"
               "      EXECUTE format('CLUSTER %s USING %I', target, (SELECT relname FROM pg_class\n"
               "                                                     WHERE oid = primary_key));\n"
               "    END IF;\n"
               "    EXECUTE format('ANALYZE %s', target);\n"
               "    \"After\" := pg_total_relation_size(target);\n"
               "    RETURN NEXT;\n"
               "  END LOOP;\n"
               "END\n"
               "$$")
        .arg(schema, function())
        .arg(ServerLocks::presenceKey >> 32)
        .arg(ServerLocks::presenceKey & 0xFFFFFFFF);
}

QString ServerCompaction::function()
{
    return QStringLiteral("kelvara_compact");
}

QString ServerCompaction::signature()
{
    return function() + QStringLiteral("()");
}

QString ServerCompaction::call()
{
    return QStringLiteral("SELECT \"Table\", \"Rewritten\", \"Before\", \"After\" FROM ") + signature();
}
