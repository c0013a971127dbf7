#pragma once

#include "iconhelper.h"

#include <QAbstractButton>

// The icon-font glyphs of the pages' top-left buttons.
namespace PageGlyphs {

// Back to the home menu, on every page but the home menus.
inline void setReturn(QAbstractButton *button)
{
    IconHelper::Instance()->setIcon(button, QChar(Glyph::Return), 16);
}

// The home menus' own button.
inline void setHome(QAbstractButton *button)
{
    IconHelper::Instance()->setIcon(button, QChar(Glyph::Home), 16);
}

} // namespace PageGlyphs
