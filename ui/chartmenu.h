#pragma once

#include "dataexport.h"

#include <QObject>
#include <QPoint>

class QMenu;
class QPushButton;
class QWidget;

// The chart menu of the display page and the chart image export. The entries
// only announce what was chosen; the window connects the signals to its slots
// and tells the chart the display mode.
class ChartMenu : public QObject
{
    Q_OBJECT
public:
    enum DisplayMode { AccumulatingDisplay = 1, ScrollingDisplay = 2 };

    // window: parent of the menu and of every dialog.
    explicit ChartMenu(QWidget *window);

    void setSaveFileDialog(dialoghooks::SaveFileFn fn) { m_saveFile = std::move(fn); }
    void setMessageBox(dialoghooks::MessageFn fn) { m_message = std::move(fn); }

    // A new menu with its entries in the current language, owned by the
    // caller (parented to the window).
    QMenu *buildMenu();

    // Builds the menu, drops the button's menu arrow and runs the menu at pos
    // (the mouse position by default) until an entry is chosen or it closes.
    void exec(QPushButton *button, const QPoint &pos = QPoint(-1, -1));

    // Renders view as shown, asks for a file name and saves a PNG. Returns
    // false when cancelled or when the image could not be saved (then warned).
    bool exportImage(QWidget *view);

signals:
    void exportDataRequested();
    void exportImageRequested();
    void curveSettingsRequested();
    void displayModeChanged(int mode);
    void clearRecordRequested();

private:
    QWidget *m_window;
    dialoghooks::SaveFileFn m_saveFile;
    dialoghooks::MessageFn m_message;
};
