#include "CountEntry.h"

#include <limits>

namespace {
enum class Op { None, Multiply, Add, Subtract };

// Intermediate results are kept exact in 128 bits; anything beyond this bound is far outside a
// count field, so the entry is refused as too large without risk of overflow.
using Wide = __int128;
constexpr Wide kBound = Wide(1) << 100;

Op operatorOf(QChar c)
{
    switch (c.unicode()) {
    case '*':
    case '@':
        return Op::Multiply;
    case '+':
        return Op::Add;
    case '-':
        return Op::Subtract;
    default:
        return Op::None;
    }
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Digits, blanks, separators and operators only, and no blank splitting a number ("5 3"): such an
// entry is a typing slip, not a count.
bool looksLikeCount(const QString &entry)
{
    QChar lastNonBlank;
    bool blankSinceLast = false;
    for (QChar c : entry) {
        if (c == QLatin1Char(' ')) {
            blankSinceLast = true;
            continue;
        }
        if (!isAsciiDigit(c) && operatorOf(c) == Op::None && c != QLatin1Char(',') && c != QLatin1Char('.'))
            return false;
        if (isAsciiDigit(c) && blankSinceLast && isAsciiDigit(lastNonBlank))
            return false;
        lastNonBlank = c;
        blankSinceLast = false;
    }
    return true;
}

// The left-to-right evaluation with exact integers; overflow is set when a figure leaves the
// bound, after which the value means nothing.
class Evaluation
{
public:
    void digit(QChar c)
    {
        m_number = m_number * 10 + (c.unicode() - '0');
        m_hasNumber = true;
        check(m_number);
        m_operatorJustSeen = false;
    }

    void op(Op op)
    {
        if (m_operatorJustSeen && !m_hasNumber && m_started) {
            if (op == Op::Subtract)
                m_negate = !m_negate;
            return;
        }
        if (m_pending != Op::None)
            closeNumber();
        // A number closed above leaves no operator pending; take this one.
        if (m_pending == Op::None) {
            m_pending = op;
            closeNumber();
        }
        m_operatorJustSeen = true;
    }

    void closeNumber()
    {
        const Wide value = m_hasNumber ? (m_negate ? -m_number : m_number) : 0;
        if (!m_started) {
            m_total = value;
            m_started = true;
        } else if (m_hasNumber) {
            m_total = apply(value);
            m_pending = Op::None;
        }
        check(m_total);
        m_number = 0;
        m_hasNumber = false;
        m_negate = false;
    }

    Wide total() const { return m_total; }
    bool overflow() const { return m_overflow; }

private:
    Wide apply(Wide number)
    {
        Wide result = number;
        bool overflow = false;
        switch (m_pending) {
        case Op::Multiply:
            overflow = __builtin_mul_overflow(m_total, number, &result);
            break;
        case Op::Add:
            overflow = __builtin_add_overflow(m_total, number, &result);
            break;
        case Op::Subtract:
            overflow = __builtin_sub_overflow(m_total, number, &result);
            break;
        case Op::None:
            break;
        }
        m_overflow = m_overflow || overflow;
        return result;
    }

    // Every figure is kept within the bound, so the next digit or sum cannot wrap; a product is
    // checked by the builtin above.
    void check(Wide &value)
    {
        if (m_overflow || value > kBound || value < -kBound) {
            m_overflow = true;
            value = 0;
        }
    }

    Wide m_total = 0;
    Wide m_number = 0;
    Op m_pending = Op::None;
    bool m_hasNumber = false;
    bool m_started = false;
    bool m_negate = false; // a "-" typed right after another operator
    bool m_operatorJustSeen = false;
    bool m_overflow = false;
};
} // namespace

QString CountEntry::notACountMessage(const QString &entry)
{
    return QStringLiteral("\u201C%1\u201D is not a count. Type digits, with + - * between numbers "
                          "(for example 1200+350).")
        .arg(entry.trimmed());
}

QString CountEntry::tooLargeMessage(const QString &entry)
{
    return QStringLiteral("The entry \u201C%1\u201D gives a number too large for a count (the largest "
                          "is 2,147,483,647). Please check what you typed.")
        .arg(entry.trimmed());
}

CountEntry::Result CountEntry::EvaluateCountEntry(const QString &entry)
{
    if (!looksLikeCount(entry))
        return {Result::Status::NotACount, 0, notACountMessage(entry)};
    Evaluation evaluation;
    for (QChar c : entry) {
        if (isAsciiDigit(c))
            evaluation.digit(c);
        else if (const Op op = operatorOf(c); op != Op::None)
            evaluation.op(op);
        if (evaluation.overflow())
            break;
    }
    if (!evaluation.overflow())
        evaluation.closeNumber();
    const Wide total = evaluation.total();
    if (evaluation.overflow() || total > std::numeric_limits<qint32>::max())
        return {Result::Status::TooLarge, 0, tooLargeMessage(entry)};
    // A negative result is returned as it is (within the bound it fits 64 bits when above the
    // smallest 64-bit value); the caller has its own message for a negative count.
    if (total < std::numeric_limits<qint64>::min())
        return {Result::Status::Number, std::numeric_limits<qint64>::min(), {}};
    return {Result::Status::Number, qint64(total), {}};
}
