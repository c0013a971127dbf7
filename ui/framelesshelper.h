#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

class QMouseEvent;
class QWidget;

// Moves and resizes a window drawn without the platform's frame: a drag on the
// window's own area moves it, a drag on its outer two-pixel band resizes it
// from that edge or corner. The window forwards its mouse events here and then
// to its base class.
class FramelessHelper
{
public:
    // Region under the cursor; the numbers are the ones the window has always used.
    enum Region {
        Top = 0,
        Bottom = 1,
        Left = 2,
        Right = 3,
        TopLeft = 4,
        BottomLeft = 5,
        BottomRight = 6,
        TopRight = 7,
        Inside = 8,
    };

    explicit FramelessHelper(QWidget *window);

    // (L,T) and (R,B) are the window's first and last pixel in global coordinates.
    static Region regionAt(const QPoint &topLeft, const QPoint &bottomRight, const QPoint &cursor);
    static Qt::CursorShape cursorFor(Region region);
    // The rectangle after dragging `region` of `rect` to `cursor`, with the
    // window's minimum size guarding the top and left edges.
    static QRect resized(const QRect &rect, Region region, const QPoint &cursor,
                         const QSize &minimum);

    void mousePress(QMouseEvent *event);
    void mouseMove(QMouseEvent *event);
    void mouseRelease(QMouseEvent *event);
    // The cursor went from the band onto the window's contents.
    void leftEdge();

    Region region() const { return m_dir; }
    bool leftPressed() const { return m_isLeftPressDown; }

    // Maximize and restore by resizing only: the window stays movable and
    // resizable while it fills `available`.
    void toggleMaximized(const QRect &available);
    void toggleMaximized();
    bool isMaximized() const { return m_maximized; }

private:
    QWidget *m_window;
    bool m_isLeftPressDown = false;
    QPoint m_dragPosition;
    Region m_dir = Inside;

    bool m_restoreTaken = false;
    bool m_maximized = false;
    QRect m_restoreRect;
};
