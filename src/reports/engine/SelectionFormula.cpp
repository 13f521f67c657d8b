#include "SelectionFormula.h"

#include "ReportError.h"

#include <QDate>
#include <QDateTime>
#include <functional>

namespace {
enum class Tok { End, Field, Text, Number, Word, Op, LParen, RParen, Comma };

struct Token
{
    Tok kind = Tok::End;
    QString text;
    int pos = 0; // 1-based position of the token's first character
};

enum class Cmp { Eq, Ne, Lt, Le, Gt, Ge };

[[noreturn]] void fail(const QString &formula, int pos, const QString &what)
{
    Q_UNUSED(formula);
    throw ReportError(
        ReportError::Formula,
        QStringLiteral("Error in the selection formula at position %1: %2.").arg(pos).arg(what));
}

class Lexer
{
public:
    explicit Lexer(const QString &text) : m_text(text) {}

    QVector<Token> run()
    {
        QVector<Token> tokens;
        while (true) {
            skipBlanks();
            Token token;
            token.pos = m_at + 1;
            if (m_at >= m_text.size()) {
                tokens.append(token);
                return tokens;
            }
            const QChar c = m_text[m_at];
            if (c == '{')
                token = field();
            else if (c == '\'' || c == '"')
                token = quoted(c);
            else if (c.isDigit())
                token = number();
            else if (c.isLetter())
                token = word();
            else
                token = symbol();
            tokens.append(token);
        }
    }

private:
    void skipBlanks()
    {
        while (m_at < m_text.size() && m_text[m_at].isSpace())
            ++m_at;
    }

    Token field()
    {
        const int start = m_at;
        const int close = m_text.indexOf('}', m_at);
        if (close < 0)
            fail(m_text, start + 1, QStringLiteral("the field name has no closing \"}\""));
        m_at = close + 1;
        return {Tok::Field, m_text.mid(start + 1, close - start - 1), start + 1};
    }

    Token quoted(QChar quote)
    {
        const int start = m_at++;
        QString value;
        while (true) {
            if (m_at >= m_text.size())
                fail(m_text, start + 1, QStringLiteral("the text has no closing quote"));
            if (m_text[m_at] == quote) {
                if (m_at + 1 < m_text.size() && m_text[m_at + 1] == quote) { // doubled quote
                    value += quote;
                    m_at += 2;
                    continue;
                }
                ++m_at;
                return {Tok::Text, value, start + 1};
            }
            value += m_text[m_at++];
        }
    }

    Token number()
    {
        const int start = m_at;
        while (m_at < m_text.size() && (m_text[m_at].isDigit() || m_text[m_at] == '.'))
            ++m_at;
        return {Tok::Number, m_text.mid(start, m_at - start), start + 1};
    }

    Token word()
    {
        const int start = m_at;
        while (m_at < m_text.size() && m_text[m_at].isLetterOrNumber())
            ++m_at;
        return {Tok::Word, m_text.mid(start, m_at - start), start + 1};
    }

    Token symbol()
    {
        const int start = m_at;
        const QChar c = m_text[m_at++];
        const QChar next = m_at < m_text.size() ? m_text[m_at] : QChar();
        if (c == '(')
            return {Tok::LParen, QStringLiteral("("), start + 1};
        if (c == ')')
            return {Tok::RParen, QStringLiteral(")"), start + 1};
        if (c == ',')
            return {Tok::Comma, QStringLiteral(","), start + 1};
        if (c == '=')
            return {Tok::Op, QStringLiteral("="), start + 1};
        if (c == '<' || c == '>') {
            if (next == '=' || (c == '<' && next == '>')) {
                ++m_at;
                return {Tok::Op, QString(c) + next, start + 1};
            }
            return {Tok::Op, QString(c), start + 1};
        }
        fail(m_text, start + 1, QStringLiteral("the character \"%1\" is not understood").arg(c));
    }

    const QString &m_text;
    int m_at = 0;
};
} // namespace

struct SelectionFormula::Node
{
    enum Kind { Or, And, Compare, Field, Literal } kind;
    int pos = 0;
    Cmp cmp = Cmp::Eq;
    QString table, field; // Field: as written
    int column = -1;      // Field: bound position in the row
    QVariant value;       // Literal
    std::unique_ptr<Node> left, right;
};

namespace {
using Node = SelectionFormula::Node;

class Parser
{
public:
    Parser(const QString &text, QVector<Token> tokens) : m_text(text), m_tokens(std::move(tokens)) {}

    std::unique_ptr<Node> run()
    {
        auto root = orExpr();
        if (peek().kind != Tok::End)
            fail(m_text, peek().pos, QStringLiteral("\"%1\" is not expected here").arg(peek().text));
        if (root->kind == Node::Field ||
            (root->kind == Node::Literal && root->value.typeId() != QMetaType::Bool))
            fail(m_text, root->pos, QStringLiteral("a condition is expected"));
        return root;
    }

private:
    const Token &peek() const { return m_tokens[m_at]; }
    Token take() { return m_tokens[m_at++]; }
    bool isWord(const char *word) const
    {
        return peek().kind == Tok::Word && peek().text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    std::unique_ptr<Node> binary(Node::Kind kind, int pos, std::unique_ptr<Node> l, std::unique_ptr<Node> r)
    {
        condition(*l);
        condition(*r);
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->pos = pos;
        node->left = std::move(l);
        node->right = std::move(r);
        return node;
    }

    // And and Or join conditions: comparisons, True/False, or joined conditions.
    void condition(const Node &node) const
    {
        const bool isBool = node.kind == Node::Literal && node.value.typeId() == QMetaType::Bool;
        if (node.kind == Node::Field || (node.kind == Node::Literal && !isBool))
            fail(m_text, node.pos, QStringLiteral("a condition is expected"));
    }

    std::unique_ptr<Node> orExpr()
    {
        auto left = andExpr();
        while (isWord("Or")) {
            const int pos = take().pos;
            left = binary(Node::Or, pos, std::move(left), andExpr());
        }
        return left;
    }

    std::unique_ptr<Node> andExpr()
    {
        auto left = comparison();
        while (isWord("And")) {
            const int pos = take().pos;
            left = binary(Node::And, pos, std::move(left), comparison());
        }
        return left;
    }

    std::unique_ptr<Node> comparison()
    {
        auto left = operand();
        if (peek().kind != Tok::Op)
            return left;
        const Token op = take();
        auto node = std::make_unique<Node>();
        node->kind = Node::Compare;
        node->pos = op.pos;
        node->cmp = op.text == "="    ? Cmp::Eq
                    : op.text == "<>" ? Cmp::Ne
                    : op.text == "<"  ? Cmp::Lt
                    : op.text == "<=" ? Cmp::Le
                    : op.text == ">"  ? Cmp::Gt
                                      : Cmp::Ge;
        node->left = std::move(left);
        node->right = operand();
        if (node->left->kind > Node::Compare && node->right->kind > Node::Compare)
            return node;
        fail(m_text, op.pos, QStringLiteral("a comparison cannot compare conditions"));
    }

    std::unique_ptr<Node> operand()
    {
        const Token token = peek();
        auto node = std::make_unique<Node>();
        node->pos = token.pos;
        switch (token.kind) {
        case Tok::LParen: {
            take();
            auto inner = orExpr();
            if (peek().kind != Tok::RParen)
                fail(m_text, peek().pos, QStringLiteral("a closing parenthesis \")\" is expected"));
            take();
            return inner;
        }
        case Tok::Field:
            return fieldNode(take());
        case Tok::Text:
            node->kind = Node::Literal;
            node->value = take().text;
            return node;
        case Tok::Number: {
            bool ok = false;
            const double number = take().text.toDouble(&ok);
            if (!ok)
                fail(m_text, token.pos, QStringLiteral("\"%1\" is not a number").arg(token.text));
            node->kind = Node::Literal;
            node->value = number;
            return node;
        }
        case Tok::Word:
            return wordNode();
        case Tok::End:
            fail(m_text, token.pos, QStringLiteral("the formula ends where a value is expected"));
        default:
            fail(m_text, token.pos, QStringLiteral("\"%1\" is not expected here").arg(token.text));
        }
    }

    std::unique_ptr<Node> fieldNode(const Token &token)
    {
        const int dot = token.text.indexOf('.');
        if (dot <= 0 || dot == token.text.size() - 1)
            fail(m_text, token.pos, QStringLiteral("a field is written {Table.Field}"));
        auto node = std::make_unique<Node>();
        node->kind = Node::Field;
        node->pos = token.pos;
        node->table = token.text.left(dot).trimmed();
        node->field = token.text.mid(dot + 1).trimmed();
        return node;
    }

    std::unique_ptr<Node> wordNode()
    {
        auto node = std::make_unique<Node>();
        node->kind = Node::Literal;
        node->pos = peek().pos;
        if (isWord("True") || isWord("False")) {
            node->value = isWord("True");
            take();
            return node;
        }
        if (isWord("Date")) {
            take();
            node->value = dateArguments(node->pos);
            return node;
        }
        fail(m_text, node->pos, QStringLiteral("\"%1\" is not understood").arg(peek().text));
    }

    QDate dateArguments(int pos)
    {
        expect(Tok::LParen, QStringLiteral("\"(\" is expected after Date"));
        int parts[3];
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                expect(Tok::Comma, QStringLiteral("\",\" is expected between the parts of a date"));
            if (peek().kind != Tok::Number)
                fail(m_text, peek().pos,
                     QStringLiteral("a whole number is expected in Date(year,month,day)"));
            bool ok = false;
            parts[i] = take().text.toInt(&ok);
            if (!ok)
                fail(m_text, m_tokens[m_at - 1].pos,
                     QStringLiteral("a whole number is expected in Date(year,month,day)"));
        }
        expect(Tok::RParen, QStringLiteral("\")\" is expected after the day"));
        const QDate date(parts[0], parts[1], parts[2]);
        if (!date.isValid())
            fail(m_text, pos,
                 QStringLiteral("Date(%1,%2,%3) is not a valid date")
                     .arg(parts[0])
                     .arg(parts[1])
                     .arg(parts[2]));
        return date;
    }

    void expect(Tok kind, const QString &what)
    {
        if (peek().kind != kind)
            fail(m_text, peek().pos, what);
        take();
    }

    const QString &m_text;
    QVector<Token> m_tokens;
    int m_at = 0;
};

bool isNumeric(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// -1, 0 or 1; throws when the two values are of kinds that cannot be compared.
int compareValues(const QVariant &a, const QVariant &b, int pos)
{
    if (isNumeric(a) && isNumeric(b)) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.typeId() == QMetaType::QDate && b.typeId() == QMetaType::QDate)
        return a.toDate() < b.toDate() ? -1 : (b.toDate() < a.toDate() ? 1 : 0);
    const auto isWhen = [](const QVariant &v) {
        return v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime;
    };
    if (isWhen(a) && isWhen(b)) { // a date-time against a date: the date counts from midnight
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString) {
        const int c = QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    throw ReportError(
        ReportError::Formula,
        QStringLiteral("Error in the selection formula at position %1: a %2 cannot be compared with a %3.")
            .arg(pos)
            .arg(QString::fromLatin1(a.metaType().name()), QString::fromLatin1(b.metaType().name())));
}

QVariant valueOf(const Node &node, const QVector<QVariant> &row)
{
    return node.kind == Node::Field ? row.value(node.column) : node.value;
}

bool evaluate(const Node &node, const QVector<QVariant> &row)
{
    switch (node.kind) {
    case Node::Or:
        return evaluate(*node.left, row) || evaluate(*node.right, row);
    case Node::And:
        return evaluate(*node.left, row) && evaluate(*node.right, row);
    case Node::Literal:
        return node.value.toBool();
    case Node::Field:
        return false;
    case Node::Compare:
        break;
    }
    const QVariant a = valueOf(*node.left, row), b = valueOf(*node.right, row);
    if (a.isNull() || b.isNull())
        return false;
    const int c = compareValues(a, b, node.pos);
    switch (node.cmp) {
    case Cmp::Eq:
        return c == 0;
    case Cmp::Ne:
        return c != 0;
    case Cmp::Lt:
        return c < 0;
    case Cmp::Le:
        return c <= 0;
    case Cmp::Gt:
        return c > 0;
    case Cmp::Ge:
        return c >= 0;
    }
    return false;
}

void bindNode(Node &node, const QString &table, const QStringList &columns)
{
    if (node.kind == Node::Field) {
        if (node.table.compare(table, Qt::CaseInsensitive) != 0)
            throw ReportError(
                ReportError::Formula,
                QStringLiteral("Error in the selection formula at position %1: the table \"%2\" is not "
                               "the report's table \"%3\".")
                    .arg(node.pos)
                    .arg(node.table, table));
        for (int i = 0; i < columns.size(); ++i) {
            if (columns[i].compare(node.field, Qt::CaseInsensitive) == 0)
                node.column = i;
        }
        if (node.column < 0)
            throw ReportError(
                ReportError::Formula,
                QStringLiteral("Error in the selection formula at position %1: the report table has no "
                               "field \"%2\".")
                    .arg(node.pos)
                    .arg(node.field));
    }
    if (node.left)
        bindNode(*node.left, table, columns);
    if (node.right)
        bindNode(*node.right, table, columns);
}
} // namespace

SelectionFormula::SelectionFormula() = default;
SelectionFormula::~SelectionFormula() = default;
SelectionFormula::SelectionFormula(SelectionFormula &&) noexcept = default;
SelectionFormula &SelectionFormula::operator=(SelectionFormula &&) noexcept = default;

SelectionFormula SelectionFormula::parse(const QString &text)
{
    SelectionFormula formula;
    formula.m_text = text;
    if (text.trimmed().isEmpty())
        return formula;
    formula.m_root = Parser(text, Lexer(text).run()).run();
    return formula;
}

void SelectionFormula::bind(const QString &table, const QStringList &columns)
{
    if (m_root)
        bindNode(*m_root, table, columns);
}

QStringList SelectionFormula::fields() const
{
    QStringList names;
    const std::function<void(const Node *)> collect = [&](const Node *node) {
        if (!node)
            return;
        if (node->kind == Node::Field && !names.contains(node->field))
            names << node->field;
        collect(node->left.get());
        collect(node->right.get());
    };
    collect(m_root.get());
    return names;
}

bool SelectionFormula::matches(const QVector<QVariant> &row) const
{
    return !m_root || evaluate(*m_root, row);
}
