#pragma once

#include <QJsonObject>
#include <QString>
#include <cstdio>

// Where the tool writes: results on standard output (text lines, or one JSON
// object per line with --json), messages and the refreshed status line on
// standard error. Tests pass their own files.
class CliOutput
{
public:
    CliOutput(FILE *out, FILE *err, bool errIsTerminal);

    void setJson(bool json) { m_json = json; }
    bool json() const { return m_json; }
    bool errIsTerminal() const { return m_errTerminal; }

    // A result line on standard output.
    void line(const QString &text);
    // A JSON object on one line of standard output.
    void object(const QJsonObject &o);
    // A message on standard error (ends the status line first).
    void message(const QString &text);
    // The status line, refreshed in place; only on a terminal.
    void status(const QString &text);
    // Ends the status line so the next output starts on a line of its own.
    void endStatus();

    // The text with every control character (C0, DEL, C1: ESC, CR, LF ...)
    // replaced by '?': strings from an instrument must not drive the terminal.
    static QString printable(const QString &text);

private:
    FILE *m_out;
    FILE *m_err;
    bool m_errTerminal;
    bool m_json = false;
    bool m_statusShown = false;
};
