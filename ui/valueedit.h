#pragma once

#include <QString>
#include <functional>

class QLineEdit;
class QWidget;

// The value edits of the readings and settings pages: what the user typed
// becomes one command frame, or the information box when it is no number.
namespace ValueEdit {

enum class Kind {
    Float,   // single precision, in the frame's float field
    Hours,   // base-10 integer, time limit in hours
    Minutes, // base-10 integer, time limit in minutes
};

// The number in `text`, or false when it is not a number of that kind
// (empty, letters, a second point; a point at all for hours and minutes; a
// number too large for single precision, or not finite). No range is
// applied beyond that: the instrument decides what it accepts.
bool parse(Kind kind, const QString &text, double *value);

// The editingFinished handling shared by every value edit: only while the
// edit holds the keyboard focus (a user's Return, not the focus leaving
// afterwards) the text is parsed and handed to `send`, or the box shown
// over `window`; the focus is cleared in every case. Returns what `send` did.
bool commit(QWidget *window, QLineEdit *edit, Kind kind, const std::function<bool(double)> &send);
// commit() for the edits of a single-precision value and of an hour or minute
// count; `send` returns whether the command went out.
bool commitFloat(QWidget *window, QLineEdit *edit, const std::function<bool(float)> &send);
bool commitTime(QWidget *window, QLineEdit *edit, const std::function<bool(int)> &send);

// The box for text that is no number, with one OK button.
void showIllegalText(QWidget *parent);
QString illegalTextTitle();
QString illegalTextMessage();

// Whether the mouse pointer lies over `w` (mapped into its parent, inside its
// geometry): sliders and the run button act on it.
bool pointerOver(const QWidget *w);

} // namespace ValueEdit
