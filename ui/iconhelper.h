#pragma once

#include <QChar>
#include <QFont>
#include <QObject>
#include <QPixmap>
#include <QString>

class QAbstractButton;
class QLabel;

// The icon font (FontAwesome 4) and the buttons and pictures drawn with it.
// One per process, owned by the application object.
class IconHelper : public QObject
{
    Q_OBJECT
public:
    static IconHelper *Instance();

    // Puts `glyph` as the button's whole text in the icon font at `size` points.
    void setIcon(QAbstractButton *button, QChar glyph, int size = 10);
    void setIcon(QLabel *label, QChar glyph, int size = 10);
    // The glyph centred in a transparent width x height pixmap, in `color`
    // (a colour name or "#RRGGBB") at `size` points.
    QPixmap getPixmap(const QString &color, QChar glyph, int size, int width, int height) const;

    QFont iconFont() const { return m_iconFont; }

    // Registers a font file; the first family it brings, or an empty text
    // (and the error line in the debug log) when it brings none.
    static QString loadFontFamily(const QString &path);

    static constexpr const char *FontPath = ":/sys/rs/rs/font/fontawesome-webfont.ttf";

private:
    explicit IconHelper(QObject *parent);

    QFont m_iconFont;
};

// Code points of the glyphs the window uses.
namespace Glyph {
constexpr ushort Menu = 0xF150;
constexpr ushort Minimize = 0xF068;
constexpr ushort Maximize = 0xF2D0;
constexpr ushort Close = 0xF00D;
constexpr ushort Home = 0xF073;
constexpr ushort Return = 0xF122;
constexpr ushort Upgrade = 0xF01B;
constexpr ushort Settings = 0xF085;
constexpr ushort More = 0xF013;
constexpr ushort Chart = 0xF108;
constexpr ushort History = 0xF1DA;
constexpr ushort Program = 0xF0AE;
} // namespace Glyph
