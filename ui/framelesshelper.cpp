#include "framelesshelper.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

FramelessHelper::FramelessHelper(QWidget *window) : m_window(window) {}

FramelessHelper::Region FramelessHelper::regionAt(const QPoint &topLeft, const QPoint &bottomRight,
                                                  const QPoint &cursor)
{
    const int x = cursor.x();
    const int y = cursor.y();
    const bool left = x >= topLeft.x() && x <= topLeft.x() + 1;
    const bool right = x >= bottomRight.x() - 1 && x <= bottomRight.x();
    const bool top = y >= topLeft.y() && y <= topLeft.y() + 1;
    const bool bottom = y >= bottomRight.y() - 1 && y <= bottomRight.y();
    if (left && top)
        return TopLeft;
    if (left && bottom)
        return BottomLeft;
    if (right && bottom)
        return BottomRight;
    if (right && top)
        return TopRight;
    if (left)
        return Left;
    if (right)
        return Right;
    if (top)
        return Top;
    if (bottom)
        return Bottom;
    return Inside;
}

Qt::CursorShape FramelessHelper::cursorFor(Region region)
{
    switch (region) {
    case Top:
    case Bottom:
        return Qt::SizeVerCursor;
    case Left:
    case Right:
        return Qt::SizeHorCursor;
    case TopLeft:
    case BottomRight:
        return Qt::SizeFDiagCursor;
    case BottomLeft:
    case TopRight:
        return Qt::SizeBDiagCursor;
    case Inside:
        break;
    }
    return Qt::ArrowCursor;
}

QRect FramelessHelper::resized(const QRect &rect, Region region, const QPoint &cursor,
                               const QSize &minimum)
{
    QRect r = rect;
    const int x = cursor.x();
    const int y = cursor.y();
    auto guardedTop = [&] {
        if (rect.bottom() - y > minimum.height())
            r.setTop(y);
    };
    auto guardedLeft = [&] {
        if (rect.right() - x > minimum.width())
            r.setLeft(x);
    };
    switch (region) {
    case Top:
        guardedTop();
        break;
    case Bottom:
        r.setBottom(y - 1);
        break;
    case Left:
        guardedLeft();
        break;
    case Right:
        r.setRight(x - 1);
        break;
    case TopLeft:
        guardedLeft();
        guardedTop();
        break;
    case BottomLeft:
        r.setLeft(x);
        r.setBottom(y - 1);
        break;
    case BottomRight:
        r.setRight(x - 1);
        r.setBottom(y - 1);
        break;
    case TopRight:
        r.setRight(x - 1);
        r.setTop(y);
        break;
    case Inside:
        break;
    }
    return r;
}

void FramelessHelper::mousePress(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_isLeftPressDown = true;
    if (m_dir == Inside)
        m_dragPosition = event->globalPos() - m_window->frameGeometry().topLeft();
}

void FramelessHelper::mouseMove(QMouseEvent *event)
{
    const QPoint global = event->globalPos();
    const QPoint topLeft = m_window->mapToGlobal(m_window->rect().topLeft());
    const QPoint bottomRight = m_window->mapToGlobal(m_window->rect().bottomRight());
    if (!m_isLeftPressDown) {
        m_dir = regionAt(topLeft, bottomRight, global);
        m_window->setCursor(cursorFor(m_dir));
        return;
    }
    if (m_dir == Inside) {
        m_window->move(global - m_dragPosition);
        return;
    }
    m_window->setGeometry(
        resized(QRect(topLeft, bottomRight), m_dir, global, m_window->minimumSize()));
}

void FramelessHelper::mouseRelease(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_isLeftPressDown = false;
    if (m_dir != Inside) {
        m_window->releaseMouse();
        m_window->setCursor(Qt::ArrowCursor);
    }
}

void FramelessHelper::leftEdge()
{
    // Children without mouse tracking swallow plain moves, so the window never
    // sees the cursor arrive inside; without this the resize cursor would stick.
    if (m_isLeftPressDown || m_dir == Inside)
        return;
    m_dir = Inside;
    m_window->setCursor(Qt::ArrowCursor);
}

void FramelessHelper::toggleMaximized(const QRect &available)
{
    if (!m_restoreTaken) {
        m_restoreRect = m_window->geometry();
        m_restoreTaken = true;
    }
    if (m_maximized) {
        m_window->setGeometry(m_restoreRect);
    } else {
        m_restoreRect = m_window->geometry();
        m_window->setGeometry(available);
    }
    m_maximized = !m_maximized;
}

void FramelessHelper::toggleMaximized()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    toggleMaximized(screen ? screen->availableGeometry() : m_window->geometry());
}
