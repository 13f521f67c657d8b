#pragma once

#include "TestSupport.h"

// A small fixed plant for the report tests: three jobs on two days, two shifts a day, with
// transfers, holds and their disposition.
namespace ReportFixture {
void fill(const Database &db);
QString layoutPath(const QString &fileName);
} // namespace ReportFixture
