#pragma once

#include <QByteArray>
#include <QString>

class MainDialog;
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

// The frame for `text`, or an empty array when the text is not a number of
// that kind (empty, letters, a second point; a point at all for hours and
// minutes; a number too large for single precision, or not finite). No range
// is applied beyond that: the instrument decides what it accepts.
QByteArray frame(quint8 address, quint8 code, Kind kind, const QString &text);

// The editingFinished handling shared by every value edit: only while the
// edit holds the keyboard focus (a user's Return, not the focus leaving
// afterwards) the text is parsed and sent, or the box shown; the focus is
// cleared in every case. Returns true when a frame went out.
bool commit(MainDialog &window, QLineEdit *edit, quint8 code, Kind kind);

// The box for text that is no number, with one OK button.
void showIllegalText(QWidget *parent);
QString illegalTextTitle();
QString illegalTextMessage();

// Whether the mouse pointer lies over `w` (mapped into its parent, inside its
// geometry): sliders and the run button act on it.
bool pointerOver(const QWidget *w);

} // namespace ValueEdit
