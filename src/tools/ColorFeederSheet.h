#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <optional>

class Database;

// One calibration sheet of the Color Table as read: its key, its job and its fields.
struct ColorSheet
{
    qint64 id = 0;
    QString jobNumber;
    QMap<QString, QVariant> values; // by field name, as stored
};

struct JobEntry
{
    QString number;
    QString description;
};

// The rules of the color feeder calibration window: the jobs, the feeder codes of a job, the
// sheets of a job and code, the feeder setting, and adding, saving and deleting sheets. The
// window shows the texts; this class reads and writes the Color Table.
class ColorFeederSheet
{
public:
    enum class SaveResult { Saved, NotANumber, ChangedElsewhere, Gone };

    explicit ColorFeederSheet(const Database &db) : m_db(db) {}

    static QString placeholderName() { return QStringLiteral("Type the Color Name here."); }
    static constexpr qint64 defaultFeederCode = 999;
    // The fields the form edits, in form order, and the caption a message names each by.
    static const QStringList &fields();
    // The last five of them: the material dispensed at each calibration reading, Cal1 to Cal5.
    static QStringList readingFields() { return fields().mid(6); }
    static QString caption(const QString &field);
    static bool isNumberField(const QString &field);
    // The stored value as the form shows it.
    static QString displayText(const QVariant &value);

    // The longest leading part of text that reads as a number; 0 when there is none.
    static double leadingNumber(const QString &text);
    // Shot weight x usage rate / average of the five readings, each read by the leading-number
    // rule; "Undefined" when the average is 0.
    static QString feederSetting(const QString &shotWeight, const QString &usageRate,
                                 const QStringList &readings);

    QList<JobEntry> jobs() const;
    QList<qint64> feederCodes(const QString &jobNumber) const;
    // The sheets of the job, of one feeder code when given.
    QList<ColorSheet> sheets(const QString &jobNumber, std::optional<qint64> code) const;
    std::optional<ColorSheet> sheet(qint64 id) const;

    // The sheet New leads to: the job's first sheet still named by the placeholder, else a new
    // one with that name and the given code (999 when none).
    qint64 addPlaceholder(const QString &jobNumber, std::optional<qint64> code) const;

    // Writes the fields whose text differs from the sheet as read, provided none of them changed
    // elsewhere meanwhile. A number box that is not a number is refused and named in badField.
    SaveResult save(const ColorSheet &original, const QMap<QString, QString> &texts, QString &badField) const;
    // Deletes the sheet; false when it was gone already.
    bool remove(qint64 id) const;

private:
    const Database &m_db;
};
