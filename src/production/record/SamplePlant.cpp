#include "SamplePlant.h"

#include "Schema.h"
#include "foundation/Database.h"
#include "foundation/RejectReasons.h"

#include <QDateTime>
#include <QSqlQuery>
#include <array>
#include <optional>
#include <random>

namespace {
constexpr int kMachines = 20;
constexpr int kDays = 14;
constexpr int kProtectedDays = 5;

struct Job
{
    const char *number;
    const char *description;
};

constexpr std::array<Job, 30> kJobs{{
    {"10-1042", "Bezel, front panel, black"}, {"10-1187", "Housing, lower, gray"},
    {"10-1220", "Housing, upper, gray"},      {"10-1305", "Knob, volume, 28 mm"},
    {"10-1311", "Knob, selector, 22 mm"},     {"11-2004", "Battery door, AA"},
    {"11-2019", "Battery door, AAA"},         {"11-2150", "Clip, cable, 6 mm"},
    {"12-3001", "Cap, bottle, 38 mm white"},  {"12-3002", "Cap, bottle, 38 mm blue"},
    {"12-3110", "Closure, flip top, 24 mm"},  {"12-3340", "Spout, pour, natural"},
    {"13-4410", "Bracket, mounting, PA66"},   {"13-4425", "Bracket, hinge, PA66 GF"},
    {"13-4500", "Spacer, 12 mm, nylon"},      {"14-5021", "Lens, indicator, clear PC"},
    {"14-5033", "Lens, indicator, amber PC"}, {"14-5100", "Light pipe, 4 way"},
    {"15-6002", "Tray, sorting, 12 cell"},    {"15-6010", "Lid, tray, 12 cell"},
    {"16-7205", "Grommet, TPE, 10 mm"},       {"16-7211", "Grommet, TPE, 16 mm"},
    {"17-8003", "Handle, drawer, ABS"},       {"17-8040", "End cap, rail, ABS"},
    {"18-9100", "Fan shroud, 80 mm"},         {"18-9120", "Fan shroud, 120 mm"},
    {"19-9500", "Gear, spur, 32 tooth POM"},  {"19-9510", "Gear, worm, POM"},
    {"20-0101", "Filter frame, old style"},   {"20-0102", "Filter frame, trial run"},
}};
constexpr int kActiveJobs = 28; // the last two are retired

struct Machine
{
    int job = 0;        // index into kJobs
    qint64 counter = 0; // the machine's counter reading
    int partsPerShift = 0;
};

struct Line
{
    qint64 id = 0;
    int job = 0;
    int dayIndex = 0;
    bool counted = true; // false for the shift still running
};

// QA check sheets as the Check Sheet field stores them: an embedded-object header whose length
// is the 16-bit number at byte 2, then the document.
QByteArray storedCheckSheet(const QByteArray &document)
{
    const QByteArray name("Check Sheet");
    QByteArray header("\x15\x1c\0\0\x02\0", 6);
    header.append(char(name.size() + 1)).append('\0').append(name).append('\0');
    header[2] = char(header.size() & 0xff);
    header[3] = char(header.size() >> 8);
    return header + document;
}

// A one-page PDF of text lines, written by hand so that no font or window system is needed.
QByteArray checkSheetPdf(const QString &title, const QStringList &lines)
{
    QByteArray text = "BT /F1 18 Tf 72 720 Td (" + title.toLatin1() + ") Tj /F1 12 Tf";
    for (const QString &line : lines)
        text += " 0 -24 Td (" + line.toLatin1() + ") Tj";
    text += " ET";
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 4 0 R >> >> "
        "/Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Length " + QByteArray::number(text.size()) + " >>\nstream\n" + text + "\nendstream",
    };
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray checkSheetHtml(const QString &job, const QString &description)
{
    QString html = QStringLiteral("<html><body><h2>QA Check Sheet %1</h2><p><b>%2</b></p>"
                                  "<table border=1 cellpadding=4><tr><th>Check</th><th>Frequency</th>"
                                  "<th>Limit</th></tr>")
                       .arg(job, description.toHtmlEscaped());
    for (const char *row :
         {"Short shots|every hour|none", "Flash at parting line|every hour|0.2 mm",
          "Color against master|start of shift|match", "Weight of one shot|every 2 hours|+/- 1 %"}) {
        const QStringList cells = QString::fromLatin1(row).split('|');
        html +=
            QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>").arg(cells[0], cells[1], cells[2]);
    }
    return (html + QStringLiteral("</table></body></html>")).toUtf8();
}

void addCheckSheets(Database &db)
{
    const QByteArray pdf = checkSheetPdf(QStringLiteral("QA Check Sheet 10-1042 Bezel, front panel, black"),
                                         {QStringLiteral("1. Surface free of sink marks and splay"),
                                          QStringLiteral("2. Gate vestige below 0.3 mm"),
                                          QStringLiteral("3. Snap hooks whole, no stress whitening"),
                                          QStringLiteral("4. Gloss matches master plaque")});
    const QByteArray text("QA CHECK SHEET 12-3001  Cap, bottle, 38 mm white\r\n\r\n"
                          "1. Thread start clean, no flash\r\n2. Liner seated all round\r\n"
                          "3. Torque test 5 caps per hour: 12 to 18 in-lb\r\n");
    const QList<QPair<QString, QByteArray>> sheets = {
        {QStringLiteral("10-1042"), pdf},
        {QStringLiteral("10-1187"),
         checkSheetHtml(QStringLiteral("10-1187"), QStringLiteral("Housing, lower, gray"))},
        {QStringLiteral("12-3001"), text},
    };
    for (const auto &[job, document] : sheets)
        db.exec(QStringLiteral(
                    "UPDATE \"Job Lookup Table\" SET \"Check Sheet\" = :sheet WHERE \"Job Number\" = :job"),
                {{QStringLiteral("sheet"), storedCheckSheet(document)}, {QStringLiteral("job"), job}});
}

class Builder
{
public:
    Builder(Database &db, const QDate &lastDate, quint32 seed)
        : m_db(db), m_lastDate(lastDate), m_random(seed)
    {
    }

    void run()
    {
        addJobs();
        setUpMachines();
        const QDate first = m_lastDate.addDays(-(kDays - 1));
        for (int day = 0; day < kDays; ++day) {
            for (int shift = 1; shift <= 3; ++shift)
                addShift(first.addDays(day), shift, day);
        }
        addDispositions();
        addOpenDispositions();
        balanceMonitorCounts();
        addColorSheets();
        addCheckSheets(m_db);
        for (int day = 0; day < kProtectedDays; ++day) {
            for (int shift = 1; shift <= 3; ++shift) {
                m_db.execSaved(QStringLiteral("Set Protection"),
                               {{QStringLiteral("dt"), sqlDate(first.addDays(day))},
                                {QStringLiteral("sh"), shift},
                                {QStringLiteral("Valu"), -1}});
            }
        }
        m_db.exec(QStringLiteral("UPDATE \"CompanyInfo\" SET \"CompanyName\" = 'Quorvel Plastics'"));
    }

private:
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_random); }

    void addJobs()
    {
        for (int i = 0; i < int(kJobs.size()); ++i) {
            m_db.exec(
                QStringLiteral(
                    "INSERT INTO \"Job Lookup Table\" (\"Job Number\", \"Job Description\", \"Active\") "
                    "VALUES (:n, :d, :a)"),
                {{QStringLiteral("n"), QString::fromLatin1(kJobs[i].number)},
                 {QStringLiteral("d"), QString::fromLatin1(kJobs[i].description)},
                 {QStringLiteral("a"), i < kActiveJobs ? 1 : 0}});
        }
    }

    void setUpMachines()
    {
        for (int m = 0; m < kMachines; ++m) {
            m_machines[m].job = m % kActiveJobs;
            m_machines[m].counter = qint64(between(100, 900)) * 1000;
            m_machines[m].partsPerShift = between(6, 40) * 100;
        }
    }

    // A machine that is down this shift has no line; now and then a machine changes job.
    void addShift(const QDate &date, int shift, int day)
    {
        const bool inProgress = date == m_lastDate && shift == 3;
        for (int m = 0; m < kMachines; ++m) {
            Machine &machine = m_machines[m];
            if (shift == 1 && chance(0.08))
                machine.job = (machine.job + between(1, kActiveJobs - 1)) % kActiveJobs;
            if (!inProgress && m >= 17 && chance(0.3))
                continue; // the newest presses run only when there is work for them
            addLine(date, shift, day, m + 1, machine, inProgress);
        }
    }

    void addLine(const QDate &date, int shift, int day, int machineNumber, Machine &machine, bool inProgress)
    {
        const qint64 beginning = machine.counter;
        const qint64 produced = inProgress ? 0 : machine.partsPerShift * between(85, 105) / 100;
        const qint64 ending = inProgress ? 0 : beginning + produced;
        const int transfers = inProgress ? 0 : between(0, 2);
        const qint64 held = !inProgress && chance(0.12) ? between(2, 30) * 10 : 0;
        const qint64 rejects = inProgress ? 0 : produced * between(0, 25) / 1000;
        qint64 transferred = 0;
        std::array<qint64, 2> tickets{};
        for (int t = 0; t < transfers; ++t)
            transferred += tickets[size_t(t)] = between(1, 20) * 10;
        const qint64 net = ending + transferred - beginning;
        // The rework a line receives is known only later; balanceMonitorCounts takes it out.
        const qint64 matec = inProgress ? 0 : net + held + rejects;

        const QString job = QString::fromLatin1(kJobs[size_t(machine.job)].number);
        QSqlQuery insert = m_db.exec(
            QStringLiteral(
                "INSERT INTO \"Production Table\" (\"Date\", \"Shift\", \"Machine Number\", \"Job Number\", "
                "\"Job Description\", \"Beginning Count\", \"Ending Count\", \"Matec Count\") "
                "VALUES (:d, :s, :m, :j, :jd, :b, :e, :mc)"),
            {{QStringLiteral("d"), sqlDate(date)},
             {QStringLiteral("s"), shift},
             {QStringLiteral("m"), machineNumber},
             {QStringLiteral("j"), job},
             {QStringLiteral("jd"), QString::fromLatin1(kJobs[size_t(machine.job)].description)},
             {QStringLiteral("b"), beginning},
             {QStringLiteral("e"), ending},
             {QStringLiteral("mc"), matec}});
        const qint64 jobId = m_db.lastInsertId(insert);
        if (!inProgress)
            machine.counter = ending;

        for (int t = 0; t < transfers; ++t)
            addTransfer(jobId, tickets[size_t(t)]);
        if (held > 0) {
            addHold(jobId, held);
            m_heldLines.append({jobId, machine.job, day, true});
        }
        m_lines.append({jobId, machine.job, day, !inProgress});
        if (rejects > 0)
            splitRejects(jobId, rejects);
    }

    void addTransfer(qint64 jobId, qint64 quantity)
    {
        m_db.exec(
            QStringLiteral(
                "INSERT INTO \"Transfer Table\" (\"Job ID\", \"Transfer Number\", \"Transfer Quantity\") "
                "VALUES (:j, :n, :q)"),
            {{QStringLiteral("j"), jobId},
             {QStringLiteral("n"), ++m_transferNumber},
             {QStringLiteral("q"), quantity}});
    }

    void addHold(qint64 jobId, qint64 quantity)
    {
        // Now and then a paper ticket is spoiled or lost: the numbering then has a gap.
        m_holdNumber += chance(0.1) ? between(2, 3) : 1;
        m_db.exec(QStringLiteral(
                      "INSERT INTO \"Hold Table\" (\"Job ID\", \"Hold Ticket Number\", \"Hold Quantity\", "
                      "\"Hold Remaining\") VALUES (:j, :n, :q, :q)"),
                  {{QStringLiteral("j"), jobId},
                   {QStringLiteral("n"), m_holdNumber},
                   {QStringLiteral("q"), quantity}});
    }

    void splitRejects(qint64 jobId, qint64 rejects)
    {
        RejectReasons::Counts reasons{};
        qint64 left = rejects;
        while (left > 0) {
            const qint64 part = std::min<qint64>(left, between(1, 40));
            reasons[size_t(between(0, 9))] += part;
            left -= part;
        }
        QVariantMap params{{QStringLiteral("id"), jobId}, {QStringLiteral("total"), rejects}};
        QString sets;
        for (int r = 0; r < RejectReasons::kCount; ++r) {
            sets += QStringLiteral(", %1 = :r%2").arg(RejectReasons::column(r + 1)).arg(r + 1);
            params.insert(QStringLiteral("r%1").arg(r + 1), reasons[size_t(r)]);
        }
        m_db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Rejects\" = :total") + sets +
                      QStringLiteral(" WHERE \"Job ID\" = :id"),
                  params);
    }

    // Hold tickets older than three days are disposed of: part reworked onto a later line of the
    // same job, part rejected by a reason; a few stay partly open.
    void addDispositions()
    {
        for (const Line &held : m_heldLines) {
            if (held.dayIndex > kDays - 4)
                continue;
            const std::optional<HoldTicket> ticket = holdTicketOf(held);
            if (!ticket)
                continue;
            const qint64 ticketId = ticket->id, quantity = ticket->quantity;
            const qint64 target = laterLineOfJob(held);
            const qint64 reworked = target ? quantity * between(40, 90) / 100 : 0;
            const qint64 rejected = chance(0.2) ? (quantity - reworked) / 2 : quantity - reworked;
            const QDateTime when(m_lastDate.addDays(held.dayIndex - kDays + 3),
                                 QTime(between(7, 22), between(0, 59)));
            if (reworked > 0)
                addDistribution(ticketId, target, reworked, 0, 0, when);
            if (rejected > 0)
                addDistribution(ticketId, QVariant(), 0, rejected, between(1, 10), when);
            m_db.exec(
                QStringLiteral(
                    "UPDATE \"Hold Table\" SET \"Hold Remaining\" = :r WHERE \"Hold Ticket ID\" = :t"),
                {{QStringLiteral("r"), quantity - reworked - rejected}, {QStringLiteral("t"), ticketId}});
        }
        m_db.execSaved(QStringLiteral("Update Disposal Status"));
    }

    // What the disposition window shows on a first start: recent tickets partly disposed of
    // (rework into a later line of the job, rejects by reason), and every reject found on a hold
    // ticket booked into the reason totals of the ticket's line, as the window books them.
    void addOpenDispositions()
    {
        for (const Line &held : m_heldLines) {
            if (held.dayIndex <= kDays - 4 || held.dayIndex >= kDays - 1 || !chance(0.5))
                continue;
            const std::optional<HoldTicket> ticket = holdTicketOf(held);
            if (!ticket)
                continue;
            const qint64 ticketId = ticket->id, quantity = ticket->quantity;
            const qint64 target = laterLineOfJob(held);
            const qint64 reworked = target ? quantity * between(20, 50) / 100 : 0;
            const qint64 rejected = quantity * between(5, 25) / 100;
            const QDateTime when(m_lastDate, QTime(between(6, 11), between(0, 59)));
            if (reworked > 0)
                addDistribution(ticketId, target, reworked, 0, 0, when);
            if (rejected > 0)
                addDistribution(ticketId, QVariant(), 0, rejected, between(1, 10), when);
            m_db.exec(QStringLiteral("UPDATE \"Hold Table\" SET \"Hold Remaining\" = \"Hold Quantity\" - :d "
                                     "WHERE \"Hold Ticket ID\" = :t"),
                      {{QStringLiteral("d"), reworked + rejected}, {QStringLiteral("t"), ticketId}});
        }
        for (int reason = 1; reason <= RejectReasons::kCount; ++reason) {
            const QString booked = QStringLiteral("COALESCE((SELECT SUM(d.\"Rejects\") FROM \"Hold "
                                                  "Distribution\" d JOIN \"Hold Table\" h ON "
                                                  "h.\"Hold Ticket ID\" = d.\"Hold Ticket ID\" WHERE h.\"Job "
                                                  "ID\" = \"Production Table\".\"Job ID\" "
                                                  "AND "
                                                  "d.\"Reject Reason\" = %1), 0)")
                                       .arg(reason);
            m_db.exec(
                // The monitor counted those shots too, so computed and stored rejects still agree.
                QStringLiteral("UPDATE \"Production Table\" SET %1 = %1 + %2, "
                               "\"Rejects\" = \"Rejects\" + %2, \"Matec Count\" = \"Matec Count\" + %2")
                    .arg(RejectReasons::column(reason), booked));
        }
    }

    // The monitor counts every shot, so it includes the parts that came back from rework; with it
    // the computed rejects, (Mattec + From Rework - To Hold) - net finished goods, equal the
    // rejects recorded by reason.
    void balanceMonitorCounts()
    {
        m_db.exec(QStringLiteral(
            "UPDATE \"Production Table\" SET \"From Rework\" = COALESCE((SELECT "
            "SUM(d.\"Reworked Quantity\") FROM \"Hold Distribution\" d WHERE d.\"To Job ID\" = "
            "\"Production Table\".\"Job ID\"), 0)"));
        m_db.exec(QStringLiteral(
            "UPDATE \"Production Table\" SET \"Matec Count\" = \"Matec Count\" - \"From Rework\" "
            "WHERE \"From Rework\" <> 0"));
    }

    struct HoldTicket
    {
        qint64 id = 0, quantity = 0;
    };
    std::optional<HoldTicket> holdTicketOf(const Line &held)
    {
        QSqlQuery ticket = m_db.exec(
            QStringLiteral(
                "SELECT \"Hold Ticket ID\", \"Hold Quantity\" FROM \"Hold Table\" WHERE \"Job ID\" = :j"),
            {{QStringLiteral("j"), held.id}});
        if (!ticket.next())
            return std::nullopt;
        return HoldTicket{ticket.value(0).toLongLong(), ticket.value(1).toLongLong()};
    }

    qint64 laterLineOfJob(const Line &held) const
    {
        for (const Line &line : m_lines) {
            if (line.counted && line.id > held.id && line.job == held.job && line.dayIndex > held.dayIndex)
                return line.id;
        }
        return 0;
    }

    void addDistribution(qint64 ticketId, const QVariant &toJobId, qint64 reworked, qint64 rejects,
                         int reason, const QDateTime &when)
    {
        m_db.exec(
            QStringLiteral(
                "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"Job ID\", \"To Job ID\", "
                "\"Hold Ticket Number\", \"Reworked Quantity\", \"Rejects\", \"Reject Reason\", \"Printed\", "
                "\"When Added\") SELECT :t, h.\"Job ID\", :to, h.\"Hold Ticket Number\", :w, :r, :rr, 0, "
                ":when FROM \"Hold Table\" h WHERE h.\"Hold Ticket ID\" = :t"),
            {{QStringLiteral("t"), ticketId},
             {QStringLiteral("to"), toJobId},
             {QStringLiteral("w"), reworked},
             {QStringLiteral("r"), rejects},
             {QStringLiteral("rr"), reason},
             {QStringLiteral("when"), when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}});
    }

    void addColorSheets()
    {
        static const char *const colors[][3] = {{"Jet Black", "Clariant", "BK-1120"},
                                                {"Dove Gray", "Ampacet", "GR-4471"},
                                                {"Signal Blue", "PolyOne", "BL-2290"},
                                                {"Amber", "Clariant", "AM-0310"},
                                                {"Titanium White", "Ampacet", "WH-1000"}};
        for (int i = 0; i < 12; ++i) {
            const auto &color = colors[i % 5];
            QVariantMap params{{QStringLiteral("j"), QString::fromLatin1(kJobs[size_t(i * 2)].number)},
                               {QStringLiteral("f"), 1 + i % 3},
                               {QStringLiteral("cn"), QString::fromLatin1(color[0])},
                               {QStringLiteral("cv"), QString::fromLatin1(color[1])},
                               {QStringLiteral("cnum"), QString::fromLatin1(color[2])},
                               {QStringLiteral("sw"), between(80, 900) / 10.0},
                               {QStringLiteral("ur"), between(10, 40) / 10.0}};
            for (int c = 1; c <= 5; ++c)
                params.insert(QStringLiteral("c%1").arg(c), between(180, 220) / 10.0);
            m_db.exec(
                QStringLiteral(
                    "INSERT INTO \"Color Table\" (\"Job Number\", \"Color Feeder Code\", \"Color Name\", "
                    "\"Color Vendor\", \"Color Number\", \"Shot Weight\", \"Usage Rate\", \"Cal1\", "
                    "\"Cal2\", "
                    "\"Cal3\", \"Cal4\", \"Cal5\") VALUES (:j, :f, :cn, :cv, :cnum, :sw, :ur, :c1, :c2, "
                    ":c3, :c4, :c5)"),
                params);
        }
    }

    Database &m_db;
    QDate m_lastDate;
    std::mt19937 m_random;
    std::array<Machine, kMachines> m_machines{};
    QList<Line> m_lines;
    QList<Line> m_heldLines;
    qint64 m_transferNumber = 40000;
    qint64 m_holdNumber = 7000;
};
} // namespace

void SamplePlant::fill(Database &db, const QDate &lastDate, quint32 seed)
{
    Transaction transaction(db);
    Builder(db, lastDate, seed).run();
    // the parts on the two customers' daily reports
    for (const auto &[customer, job] : {std::pair{"Corvix", "10-1220"},
                                        {"Corvix", "10-1305"},
                                        {"Corvix", "14-5021"},
                                        {"Velmar", "12-3001"},
                                        {"Velmar", "12-3110"},
                                        {"Velmar", "15-6010"}})
        db.exec(QStringLiteral(
                    "INSERT INTO \"Customer Report Parts\" (\"Customer\", \"Job Number\") VALUES (:c, :j)"),
                {{QStringLiteral("c"), QString::fromLatin1(customer)},
                 {QStringLiteral("j"), QString::fromLatin1(job)}});
    Schema::authorize(db, QStringLiteral("ASUPER"), QStringLiteral("Alex Supervisor"), QStringLiteral("A"));
    Schema::authorize(db, QStringLiteral("BINSPECT"), QStringLiteral("Bea Inspector"), QStringLiteral("B"));
    Schema::authorize(db, QStringLiteral("DREPORTS"), QStringLiteral("Dana Reports"), QStringLiteral("D"));
    transaction.commit();
}

void SamplePlant::createDatabase(const QString &path, const QString &loginName, bool sample,
                                 const QDate &lastDate, const QList<QPair<QString, QString>> &moreQueries)
{
    Database db = Database::createFile(path);
    Schema::create(db, moreQueries);
    Schema::authorize(db, QStringLiteral("SUPERVISOR"), QStringLiteral("Plant Supervisor"),
                      QStringLiteral("C"));
    if (!loginName.isEmpty() && loginName.compare(QStringLiteral("SUPERVISOR"), Qt::CaseInsensitive) != 0)
        Schema::authorize(db, loginName, loginName, QStringLiteral("C"));
    if (sample)
        SamplePlant::fill(db, lastDate);
}
