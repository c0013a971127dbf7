#pragma once

#include "deviceinfoui.h"

#include <QWidget>
#include <memory>

class QMovie;

namespace Ui {
class MainFrame;
}

// The window's frame: the title bar with its language menu and window
// buttons, the device panel on the left with the bus scan's progress, and
// the stack the pages are shown in. The window decides what each button does.
class MainFrame : public QWidget
{
    Q_OBJECT
public:
    explicit MainFrame(QWidget *parent = nullptr);
    ~MainFrame() override;

    // Adds `page` to the stack; returns its index.
    int addPage(QWidget *page);
    int currentPage() const;
    void setCurrentPage(int index);

    // The device list: entries for the instrument and its bus slaves.
    DeviceList &devices() { return m_devices; }
    const DeviceList &devices() const { return m_devices; }
    void clearDevices();
    void showDevices(const DeviceListPlan &plan);
    // The bus scan's animation and tooltip beside the search button.
    void showSearching();
    void hideSearching();
    // The note under the search button that a search found no instrument.
    void showNoneFound(bool none);

    // Sets every text of the frame again in the current language.
    void retranslate();

signals:
    void minimizeRequested();
    // The maximize button or a double click on the title bar.
    void maximizeRequested();
    void closeRequested();
    // An entry of the language menu.
    void languageChosen(bool english);
    void searchRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_btnMenu_Menu_clicked();
    void on_btnMenu_Min_clicked();
    void on_btnMenu_Max_clicked();
    void on_btnMenu_Close_clicked();
    void on_btn_search_clicked();

private:
    void setGlyphs();

    std::unique_ptr<Ui::MainFrame> ui;
    DeviceList m_devices;
    QMovie *m_searching = nullptr;
    bool m_noneFound = false;
};
