#pragma once

#include <QList>
#include <QString>

class QToolButton;

// The two home menus (electronic load: 14 entries, power tester: 4) and the
// table that tells what each entry opens. Entries are recognised by their
// translated text, so both tables keep their source texts in the
// MainDialog translation context.
namespace HomeMenu {

struct Button
{
    const char *text;    // source text
    ushort glyph;        // icon-font glyph, or 0 for a picture
    const char *picture; // resource path when glyph is 0
    const char *color;   // background colour
};

enum class Action {
    ConstantMode, // readings page with a set value of the given kind
    CycleMode,    // readings page, charge-discharge cycles
    Upgrade,      // firmware upgrade page
    Settings,     // settings page of the device class
    TestFunction, // the test-function page
    ChartDisplay, // readings page laid out for a power tester
    History,      // the history of runs, for every family
    Program,      // the test program page (electronic loads)
};

struct Target
{
    const char *text;
    Action action;
    unsigned char pageCode; // 0: none is sent
    const char *caption;    // set-value caption, readings page only
    const char *unit;
};

const QList<Button> &loadMenu();
const QList<Button> &testerMenu();
// Entries both families have beyond their menus' buttons of the forms.
const QList<Button> &commonEntries();
// In the order the dispatch compares them; the first match wins.
const QList<Target> &targets();

// The translated text of an entry (context MainDialog).
QString translated(const char *text);
// The target whose translated text equals `text`, or null.
const Target *match(const QString &text);

// Icon, style sheet and text of a home-menu button.
QString styleSheet(const QString &color);
void decorate(QToolButton *button, const Button &entry);
void setText(QToolButton *button, const Button &entry);

} // namespace HomeMenu
