#pragma once

#include <QString>

class QApplication;

namespace Startup {

// Loads the style sheet at `path` and makes the colour at characters 20..26
// the application palette. Returns false (changing nothing) when it cannot open.
bool applyStyleSheet(QApplication &app, const QString &path = QStringLiteral(":/qss/psblack.css"));

// Codec, style sheet and font, in the order start-up needs them.
void applyLook(QApplication &app);

} // namespace Startup
