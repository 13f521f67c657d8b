#include "ServerCompaction.h"

// Compact for level C, who owns no table: VACUUM runs only outside any transaction, so not in a
// function, but CLUSTER by the primary key rewrites a table without its dead rows as VACUUM FULL
// does, and runs in the owner's function. A table without a primary key (CompanyInfo, one row)
// is analyzed only. A row per table: its name, whether it was rewritten, its size before and after.
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
        .arg(schema, function());
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
