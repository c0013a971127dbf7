#pragma once

#include "measurementrecord.h"

#include <QWidget>
#include <memory>

class CDPopTips;
class QLabel;
class ChartMenu;
class InstrumentSession;
class RealTimeChart;
class customcoordinates;

namespace Ui {
class DispPage;
}

// The readings page: the big readings and temperatures, the set value and
// limits of a discharge with its run button, the instrument's prompt window,
// and the chart with its group buttons, axis range panel and menu. The edits
// and the run button become commands of the session; the display update
// writes what the reports say.
class DispPage : public QWidget
{
    Q_OBJECT
public:
    explicit DispPage(InstrumentSession &session, QWidget *parent = nullptr);
    ~DispPage() override;

    // The chart shown in the page's chart area, and the menu its menu button opens.
    void attachChart(RealTimeChart *chart, ChartMenu *menu);
    QWidget *chartArea() const;

    // Opened from a load's mode entry: the title, the set value's caption
    // and unit, and the run button's words (short for the two cycle modes).
    void openMode(const QString &title, const QString &caption, const QString &unit, bool cycle);
    // Opened from a power tester's chart entry: the load's controls hide.
    void openChart(const QString &title);
    // The selected instrument, beside the title.
    void setDeviceTitle(const QString &title);
    // While the instrument is lost the readings show "--" under a line that
    // says so; the next connection takes the line away, the next report
    // brings the readings back.
    void showLinkLost(bool lost);
    bool linkLostShown() const;

    // The display update: readings, the work mode's title and caption, and
    // the edits the user is not in.
    void showRecord(const MeasurementRecord &r, quint8 deviceClass);

    // Run button text and tooltip for a run state, in the words of the work
    // mode (the two cycles, modes 7 and 8, use the short ones).
    void setRunButtonTexts(bool running);
    // The run button follows the instrument's running flag, except while
    // the pointer rests on it.
    void refreshRunButton();
    // The instrument's prompt window; made on first use, owned by the page.
    CDPopTips *popTips();
    // Shows or hides the axis range panel over the chart.
    void toggleRangePanel();

    void retranslate();

signals:
    void returnClicked();
    // The user pressed the run button: start (true) or stop.
    void runPressed(bool running);
    void upgradeClicked();
    void settingsClicked();

public slots:
    // A choice of the prompt window, sent as code 0x35.
    void CDPopTipsSendData_Slot(qint16 data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_disp_btnReturn_clicked();
    void on_disp_btnUpgrade_clicked();
    void on_disp_btnSysSet_clicked();
    // Value edits and the run button.
    void on_lineEdit_value_editingFinished();
    void on_lineEdit_value_zero_v_editingFinished();
    void on_lineEdit_value_full_v_editingFinished();
    void on_lineEdit_value_full_a_editingFinished();
    void on_lineEdit_value_lilitime_h_editingFinished();
    void on_lineEdit_value_limitime_m_editingFinished();
    void on_disp_Btn_Run_clicked();
    // The chart bar.
    void on_disp_btn_dp_dm_clicked();
    void on_disp_btn_cc1_cc2_clicked();
    void on_disp_btn_temp_clicked();
    void on_disp_btn_RangCustom_clicked();
    void on_disp_btn_menu_clicked();
    void on_disp_btn_title_clicked();
    void RangChang_slot();

private:
    void fitReadings();
    QList<QLabel *> readingLabels() const;
    void placeLinkLost();
    void setLoadControlsVisible(bool visible);

    std::unique_ptr<Ui::DispPage> ui;
    InstrumentSession &m_session;
    RealTimeChart *m_chart = nullptr;
    customcoordinates *m_ranges = nullptr;
    ChartMenu *m_menu = nullptr;
    CDPopTips *m_popTips = nullptr;
    QLabel *m_linkLost = nullptr;
    QString m_deviceTitle;
};
