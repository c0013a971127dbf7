#include "scpiparser.h"

#include "scpistatus.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace Scpi {

namespace {

enum class Param { None, Number, Boolean, Word, OptionalWord };

struct Definition
{
    Command command;
    const char *pattern; // "[SOURce:]CURRent[:LEVel]": upper case is the short form
    bool settable;
    bool queryable;
    Param setParam;
    Param queryParam;
    const char *unit;  // of a Number: "A", "V", "OHM", "W"
    const char *words; // of a Word, "|"-separated, in the order of `choice`
};

const Definition Definitions[] = {
    {Command::Identify, "*IDN", false, true, Param::None, Param::None, nullptr, nullptr},
    {Command::Reset, "*RST", true, false, Param::None, Param::None, nullptr, nullptr},
    {Command::Clear, "*CLS", true, false, Param::None, Param::None, nullptr, nullptr},
    {Command::OperationComplete, "*OPC", true, true, Param::None, Param::None, nullptr, nullptr},
    {Command::Wait, "*WAI", true, false, Param::None, Param::None, nullptr, nullptr},
    {Command::EventStatus, "*ESR", false, true, Param::None, Param::None, nullptr, nullptr},
    {Command::SystemError, "SYSTem:ERRor[:NEXT]", false, true, Param::None, Param::None, nullptr,
     nullptr},
    {Command::SystemErrorCount, "SYSTem:ERRor:COUNt", false, true, Param::None, Param::None,
     nullptr, nullptr},
    {Command::SystemVersion, "SYSTem:VERSion", false, true, Param::None, Param::None, nullptr,
     nullptr},
    {Command::MeasureVoltage, "MEASure[:SCALar]:VOLTage[:DC]", false, true, Param::None,
     Param::None, nullptr, nullptr},
    {Command::MeasureCurrent, "MEASure[:SCALar]:CURRent[:DC]", false, true, Param::None,
     Param::None, nullptr, nullptr},
    {Command::MeasurePower, "MEASure[:SCALar]:POWer[:DC]", false, true, Param::None, Param::None,
     nullptr, nullptr},
    {Command::MeasureResistance, "MEASure[:SCALar]:RESistance", false, true, Param::None,
     Param::None, nullptr, nullptr},
    {Command::MeasureTemperature, "MEASure[:SCALar]:TEMPerature", false, true, Param::None,
     Param::OptionalWord, nullptr, "NTC|MOS|CPU"},
    {Command::MeasureAll, "MEASure[:SCALar]:ALL", false, true, Param::None, Param::None, nullptr,
     nullptr},
    {Command::FetchCapacity, "FETCh[:SCALar]:CAPacity", false, true, Param::None, Param::None,
     nullptr, nullptr},
    {Command::FetchEnergy, "FETCh[:SCALar]:ENERgy", false, true, Param::None, Param::None, nullptr,
     nullptr},
    {Command::Function, "[SOURce:]FUNCtion", true, true, Param::Word, Param::None, nullptr,
     "CURRent|VOLTage|RESistance|POWer"},
    {Command::Current, "[SOURce:]CURRent[:LEVel]", true, true, Param::Number, Param::None, "A",
     nullptr},
    {Command::Voltage, "[SOURce:]VOLTage[:LEVel]", true, true, Param::Number, Param::None, "V",
     nullptr},
    {Command::Resistance, "[SOURce:]RESistance[:LEVel]", true, true, Param::Number, Param::None,
     "OHM", nullptr},
    {Command::Power, "[SOURce:]POWer[:LEVel]", true, true, Param::Number, Param::None, "W",
     nullptr},
    {Command::Cutoff, "[SOURce:]VOLTage:CUToff", true, true, Param::Number, Param::None, "V",
     nullptr},
    {Command::Input, "INPut[:STATe]", true, true, Param::Boolean, Param::None, nullptr, nullptr},
};

struct Node
{
    QByteArray shortForm; // "CURR"
    QByteArray longForm;  // "CURRENT"
    bool optional;
};

// "CURRent" matches "CURR" and "CURRENT" in any case, nothing between.
bool mnemonicMatches(const QByteArray &upper, const QByteArray &word)
{
    QByteArray shortForm, longForm = word.toUpper();
    for (char c : word)
        if (!(c >= 'a' && c <= 'z'))
            shortForm += c;
    return upper == shortForm || upper == longForm;
}

QList<Node> compile(const char *pattern)
{
    QList<Node> nodes;
    bool optional = false;
    QByteArray word;
    auto flush = [&] {
        if (word.isEmpty())
            return;
        Node n;
        for (char c : word)
            if (!(c >= 'a' && c <= 'z'))
                n.shortForm += c;
        n.longForm = word.toUpper();
        n.optional = optional;
        nodes << n;
        word.clear();
    };
    for (const char *p = pattern; *p; ++p) {
        if (*p == '[') {
            flush();
            optional = true;
        } else if (*p == ']') {
            flush();
            optional = false;
        } else if (*p == ':') {
            flush();
        } else {
            word += *p;
        }
    }
    flush();
    return nodes;
}

bool matchFrom(const QList<Node> &pattern, int p, const QList<QByteArray> &input, int i)
{
    if (i == input.size()) {
        for (; p < pattern.size(); ++p)
            if (!pattern.at(p).optional)
                return false;
        return true;
    }
    if (p == pattern.size())
        return false;
    const Node &n = pattern.at(p);
    if ((input.at(i) == n.shortForm || input.at(i) == n.longForm) &&
        matchFrom(pattern, p + 1, input, i + 1))
        return true;
    return n.optional && matchFrom(pattern, p + 1, input, i);
}

const QList<QList<Node>> &compiledPatterns()
{
    static const QList<QList<Node>> patterns = [] {
        QList<QList<Node>> all;
        for (const Definition &d : Definitions)
            all << compile(d.pattern);
        return all;
    }();
    return patterns;
}

const Definition *lookUp(const QList<QByteArray> &mnemonics)
{
    const QList<QList<Node>> &patterns = compiledPatterns();
    for (int k = 0; k < patterns.size(); ++k)
        if (matchFrom(patterns.at(k), 0, mnemonics, 0))
            return &Definitions[k];
    return nullptr;
}

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

// One parameter as written.
struct Token
{
    enum Kind { Number, Word, String } kind = Word;
    double number = 0;
    QByteArray suffix; // upper case
    QByteArray word;   // upper case
};

class Lexer
{
public:
    explicit Lexer(const QByteArray &line) : m_s(line) {}

    bool atEnd() const { return m_i >= m_s.size(); }
    char peek() const { return atEnd() ? '\0' : m_s.at(m_i); }
    void skipSpace()
    {
        while (!atEnd() && isSpace(m_s.at(m_i)))
            ++m_i;
    }
    bool take(char c)
    {
        if (peek() != c)
            return false;
        ++m_i;
        return true;
    }
    // [A-Za-z][A-Za-z0-9_]*, upper case; empty when there is none.
    QByteArray mnemonic()
    {
        QByteArray m;
        if (!isLetter(peek()))
            return m;
        while (!atEnd() && (isLetter(peek()) || isDigit(peek()) || peek() == '_'))
            m += char(std::toupper(uchar(m_s.at(m_i++))));
        return m;
    }
    // A decimal number with an optional exponent and suffix; false for anything else.
    bool number(Token *t)
    {
        const int start = m_i;
        if (peek() == '+' || peek() == '-')
            ++m_i;
        int digits = 0;
        while (isDigit(peek()))
            ++m_i, ++digits;
        if (take('.'))
            while (isDigit(peek()))
                ++m_i, ++digits;
        if (digits == 0) {
            m_i = start;
            return false;
        }
        const int mantissaEnd = m_i;
        skipSpace();
        if (peek() == 'e' || peek() == 'E') {
            const int e = m_i++;
            skipSpace();
            if (peek() == '+' || peek() == '-')
                ++m_i;
            int expDigits = 0;
            while (isDigit(peek()))
                ++m_i, ++expDigits;
            if (expDigits == 0) {
                // Not an exponent: perhaps a suffix that starts with E.
                m_i = e;
            }
        } else {
            m_i = mantissaEnd;
        }
        QByteArray text = m_s.mid(start, m_i - start);
        text.replace(' ', "").replace('\t', "");
        char *end = nullptr;
        t->number = std::strtod(text.constData(), &end);
        if (end != text.constData() + text.size())
            return false;
        t->kind = Token::Number;
        const int beforeSpace = m_i;
        skipSpace();
        if (isLetter(peek())) {
            while (!atEnd() && (isLetter(peek()) || peek() == '/'))
                t->suffix += char(std::toupper(uchar(m_s.at(m_i++))));
        } else {
            m_i = beforeSpace;
        }
        return true;
    }
    // '…' or "…" with the quote doubled inside.
    bool string(Token *t)
    {
        const char q = peek();
        if (q != '\'' && q != '"')
            return false;
        ++m_i;
        while (!atEnd()) {
            const char c = m_s.at(m_i++);
            if (c == q) {
                if (peek() != q) {
                    t->kind = Token::String;
                    return true;
                }
                ++m_i;
            }
            t->word += c;
        }
        return false;
    }

private:
    const QByteArray &m_s;
    int m_i = 0;
};

Item error(int code, const QByteArray &info = QByteArray())
{
    Item e;
    e.error = code;
    e.info = info;
    return e;
}

// The index of the word among "CURRent|VOLTage|…", or -1.
int wordIndex(const char *words, const QByteArray &upper)
{
    const QList<QByteArray> list = QByteArray(words).split('|');
    for (int k = 0; k < list.size(); ++k)
        if (mnemonicMatches(upper, list.at(k)))
            return k;
    return -1;
}

QByteArray shortWords(const char *words)
{
    QList<QByteArray> out;
    for (const QByteArray &w : QByteArray(words).split('|')) {
        QByteArray s;
        for (char c : w)
            if (!(c >= 'a' && c <= 'z'))
                s += c;
        out << s;
    }
    return out.join('|');
}

// The factor a suffix stands for on a number in `unit`, 0 for a wrong one.
// Multipliers as IEEE 488.2 spells them: M is milli, MA mega, and MOHM the
// customary megohm.
double suffixFactor(const QByteArray &suffix, const QByteArray &unit)
{
    if (suffix.isEmpty() || suffix == unit)
        return 1;
    if (unit == "OHM" && suffix == "MOHM")
        return 1e6;
    if (!suffix.endsWith(unit))
        return 0;
    const QByteArray prefix = suffix.left(suffix.size() - unit.size());
    if (prefix == "MA")
        return 1e6;
    if (prefix == "K")
        return 1e3;
    if (prefix == "M")
        return 1e-3;
    if (prefix == "U")
        return 1e-6;
    return 0;
}

// Checks the parameters against what the command takes and fills `out`.
int checkParams(const Definition &d, bool query, const QList<Token> &params, ParsedCommand *out,
                QByteArray *info)
{
    const Param want = query ? d.queryParam : d.setParam;
    if (want == Param::None) {
        if (!params.isEmpty()) {
            *info = "parameter not allowed";
            return ScpiError::Command;
        }
        return 0;
    }
    if (params.size() > 1) {
        *info = "one parameter expected";
        return ScpiError::Command;
    }
    if (params.isEmpty()) {
        if (want == Param::OptionalWord) {
            out->choice = 0;
            return 0;
        }
        *info = "missing parameter";
        return ScpiError::Command;
    }
    const Token &t = params.first();
    switch (want) {
    case Param::None:
        break;
    case Param::Number: {
        if (t.kind != Token::Number) {
            *info = "a number expected";
            return ScpiError::Command;
        }
        const double factor = suffixFactor(t.suffix, d.unit);
        if (factor == 0) {
            *info = "unit " + QByteArray(d.unit) + " expected";
            return ScpiError::Command;
        }
        out->number = t.number * factor;
        if (!std::isfinite(out->number)) {
            *info = "number too large";
            return ScpiError::DataOutOfRange;
        }
        return 0;
    }
    case Param::Boolean:
        if (t.kind == Token::Number && t.suffix.isEmpty()) {
            out->choice = std::lround(t.number) != 0 ? 1 : 0;
            return 0;
        }
        if (t.kind == Token::Word && (t.word == "ON" || t.word == "OFF")) {
            out->choice = t.word == "ON" ? 1 : 0;
            return 0;
        }
        *info = "ON, OFF, 1 or 0 expected";
        return ScpiError::Command;
    case Param::Word:
    case Param::OptionalWord: {
        const int k = t.kind == Token::Word ? wordIndex(d.words, t.word) : -1;
        if (k < 0) {
            *info = shortWords(d.words) + " expected";
            return ScpiError::Command;
        }
        out->choice = k;
        return 0;
    }
    }
    return 0;
}

} // namespace

bool isLocal(Command c)
{
    switch (c) {
    case Command::Clear:
    case Command::OperationComplete:
    case Command::Wait:
    case Command::EventStatus:
    case Command::SystemError:
    case Command::SystemErrorCount:
    case Command::SystemVersion:
        return true;
    default:
        return false;
    }
}

QList<Item> parseLine(const QByteArray &line)
{
    QList<Item> items;
    Lexer lx(line);
    QList<QByteArray> path; // the previous command's header but its last node
    for (;;) {
        lx.skipSpace();
        if (lx.atEnd())
            break;
        if (lx.take(';'))
            continue; // an empty command between two separators is nothing
        // The header.
        const bool common = lx.take('*');
        const bool fromRoot = !common && lx.take(':');
        QList<QByteArray> mnemonics;
        for (;;) {
            const QByteArray m = lx.mnemonic();
            if (m.isEmpty())
                return items << error(ScpiError::Syntax, "header expected");
            mnemonics << m;
            if (common || !lx.take(':'))
                break;
        }
        const bool query = lx.take('?');
        const QByteArray written =
            (common ? QByteArray("*") : QByteArray()) + mnemonics.join(':') + (query ? "?" : "");
        if (!lx.atEnd() && lx.peek() != ';' && !isSpace(lx.peek()))
            return items << error(ScpiError::Syntax, "unexpected character after " + written);

        // Its parameters.
        QList<Token> params;
        lx.skipSpace();
        while (!lx.atEnd() && lx.peek() != ';') {
            Token t;
            if (lx.peek() == '\'' || lx.peek() == '"') {
                if (!lx.string(&t))
                    return items << error(ScpiError::Syntax, "unterminated string");
            } else if (isLetter(lx.peek())) {
                t.word = lx.mnemonic();
            } else if (!lx.number(&t)) {
                return items << error(ScpiError::Syntax, "bad parameter of " + written);
            }
            params << t;
            lx.skipSpace();
            if (lx.take(',')) {
                lx.skipSpace();
                if (lx.atEnd() || lx.peek() == ';')
                    return items << error(ScpiError::Syntax, "parameter expected after comma");
                continue;
            }
            if (!lx.atEnd() && lx.peek() != ';')
                return items << error(ScpiError::Syntax, "bad parameter of " + written);
        }

        // What it names.
        const Definition *d = nullptr;
        if (common) {
            mnemonics.first().prepend('*');
            d = lookUp(mnemonics);
        } else {
            if (!fromRoot && !path.isEmpty())
                d = lookUp(path + mnemonics);
            if (d)
                mnemonics = path + mnemonics;
            else
                d = lookUp(mnemonics);
        }
        // The command is whole, so the line goes on after one that is wrong.
        if (!d) {
            items << error(ScpiError::UndefinedHeader, written);
            continue;
        }
        if (query ? !d->queryable : !d->settable) {
            items << error(ScpiError::Command,
                           query ? written + " is no query" : written + " is a query only");
            continue;
        }
        Item item;
        item.command.command = d->command;
        item.command.query = query;
        QByteArray info;
        if (const int code = checkParams(*d, query, params, &item.command, &info)) {
            items << error(code, written + ": " + info);
            continue;
        }
        items << item;
        if (!common)
            path = mnemonics.mid(0, mnemonics.size() - 1);
    }
    return items;
}

} // namespace Scpi
