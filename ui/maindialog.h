#pragma once

#include "framelesshelper.h"
#include "homemenu.h"

#include "dataexport.h"
#include "deviceinfoui.h"
#include "instrumentsession.h"
#include "measurementrecord.h"
#include "pollcycle.h"
#include "samplestore.h"

#include <QByteArray>
#include <QDialog>
#include <QStringList>

class MainDialogUi;
class QAbstractButton;
class QLineEdit;
class QTranslator;
class DeviceLink;
class RealTimeChart;
class customcoordinates;
class ChartMenu;
class DataExport;
class FirmwareUpgrade;
class CDPopTips;
class QMovie;

namespace hid {
class Handle;
}

// The application's one main window: a frameless dialog with its own title
// bar, the device panel on the left and the page stack filling the rest. It is
// the hub the pages' controls reach by their slot names; each slot hands its
// work to the part of the program that owns it.
class MainDialog : public QDialog
{
    Q_OBJECT
public:
    // Indices of disp_stackedWidget.
    enum Page {
        PageHome = 0,
        PageUpgrade = 1,
        PageDisp = 2,
        PageSettings = 3,
        PageFour = 4,
        PageFive = 5,
        PageSix = 6,
        PageRx41Home = 7,
        PageStart = 8,
        PageRx41Settings = 9,
    };

    // The window shows and drives `session`, which main() makes and which
    // outlives the window; the window starts it (the first connection
    // attempt) once its own connections are made, and closing it stops it.
    explicit MainDialog(InstrumentSession &session, QWidget *parent = nullptr);
    ~MainDialog() override;

    InstrumentSession &session() const { return m_session; }
    // The session's handle on the instrument; null while closed. Every
    // command goes out on it.
    void setMainHandle(hid::Handle *handle) { m_session.setHandle(handle); }
    hid::Handle *mainHandle() const { return m_session.handle(); }

    // Bus address put into every command frame.
    unsigned char busAddress() const { return m_session.address(); }
    void setBusAddress(unsigned char address) { m_session.setAddress(address); }

    // What a finished bus scan makes of the master's model word while
    // `currentPage` shows: a known family sets the class and leaves the start
    // page for its home menu; an unknown one changes nothing.
    struct Identification
    {
        bool recognised = false;
        quint8 deviceClass = 0; // unchanged when not recognised
        int page = 0;           // unchanged unless the start page was showing
    };
    static Identification identify(const QString &modelWord, quint8 currentClass, int currentPage);

    // 0 none, 1 electronic load, 4 power tester.
    unsigned char getDeviceClass() const { return deviceClass; }
    void setDeviceClass(unsigned char deviceClassValue) { deviceClass = deviceClassValue; }

    int currentPage() const;
    void setCurrentPage(int page);

    // Writes `length` bytes of `data` as one zero-filled 64-byte report on
    // the main handle.
    void send_data(const unsigned char *data, int length);
    // The long form of `code` with a zero value field, when the handle is open.
    void send_command(unsigned char code);
    // Any built frame, when the handle is open; false when nothing was sent.
    bool sendFrame(const QByteArray &frame);

    // Sets every text of the window again in the current language: form
    // texts, home-menu texts, the device list header and the glyphs.
    void retranslate();
    QTranslator *translator() const { return m_translator; }

signals:
    // Emitted once, just before the window closes, so the link can stop first.
    void aboutToClose();

public slots:
    void buttonClicked();

private slots:
    void on_disp_btnUpgrade_clicked();
    void on_disp_btnSysSet_clicked();
    void on_disp_btnReturn_clicked();
    void on_upgrade_btnReturn_clicked();
    void on_settings_btnReturn_clicked();
    void on_four_btnReturn_clicked();
    void on_five_btnReturn_clicked();
    void on_six_btnReturn_clicked();
    void on_RX41_settings_btnReturn_clicked();
    void on_btnMenu_Min_clicked();
    void on_btnMenu_Max_clicked();
    void on_btnMenu_Close_clicked();
    void on_disp_btn_title_clicked();

    // ---- Link, polling, bus scan, chart, export, upgrade (integration; maindialog_link.cpp,
    // maindialog_scan.cpp, maindialog_chart.cpp, maindialog_upgrade.cpp) ----
public:
    // The parts the window wires together, for tests and tools.
    DeviceLink *deviceLink() const { return &m_session.link(); }
    RealTimeChart *realTimeChart() const { return m_chart; }
    ChartMenu *chartMenu() const { return m_chartMenu; }
    DataExport *dataExport() const { return m_dataExport; }
    FirmwareUpgrade *firmwareUpgrade() const { return m_upgrade; }
    const SampleStore &sampleStore() const { return m_store; }
    const InstrumentState &instrumentState() const { return m_session.state(); }
    const DeviceList &deviceList() const { return m_devices; }
    PollCycle &pollCycle() { return m_session.pollCycle(); }
    // Warning boxes and the firmware open dialog, replaceable so tests need no
    // modal dialog (the export and the chart menu take the same hook).
    void setMessageBox(dialoghooks::MessageFn fn);
    void setOpenFileDialog(dialoghooks::SaveFileFn fn) { m_openFile = std::move(fn); }
    // The link thread's link is open.
    bool linkUp() const;

public slots:
    // The three 500 ms ticks (maindialog_link.cpp).
    void pollTick();
    void readTick();
    // Link events, as the connection logic reports them.
    void usbconnect();
    void usbdisconnect();
    void usbsenderror();
    // Bus scan (maindialog_scan.cpp).
    void ThreadSendData_Slot(qint16 addr);
    void ThreadRecvData_Slot();
    void ThreadShowData_Slot();
    void TickShow_Slot(DeviceInfoUI *device_ptr);
    // Chart menu entries (maindialog_chart.cpp).
    void onAct1Clicked_Slot();
    void onAct2Clicked_Slot();
    void onAct3Clicked_Slot();
    void RangChang_slot();

private slots:
    void on_btn_search_clicked();
    void on_disp_btn_dp_dm_clicked();
    void on_disp_btn_cc1_cc2_clicked();
    void on_disp_btn_temp_clicked();
    void on_disp_btn_RangCustom_clicked();
    void on_disp_btn_menu_clicked();
    // Firmware upgrade page (maindialog_upgrade.cpp).
    void on_upgrade_pushButton_openfile_clicked();
    void on_upgrade_pushButton_start_clicked();
    // ---- end link block ----

    // ---- Readings, discharge control, settings pages (maindialog_disp.cpp,
    // maindialog_control.cpp, maindialog_settings.cpp) ----
public:
    // Run button text and tooltip for a run state, in the words of the work
    // mode (the two cycles, modes 7 and 8, use the short ones).
    void setRunButtonTexts(bool running);
    // The instrument's prompt window; made on first use, owned by the window.
    CDPopTips *popTips();

private:
    // A value edit's Return: the number goes to the session's setter, or the
    // invalid-text box shows.
    bool commitFloat(QLineEdit *edit, const std::function<InstrumentSession::Change(float)> &set);
    bool commitTime(QLineEdit *edit, const std::function<InstrumentSession::Change(int)> &set);

public:

public slots:
    // After every read tick that decoded a report: the prompt, the readings,
    // the work mode, the edits, the settings pages' live values and, when a
    // parameter report came, the settings pages' controls.
    void updateDisplay();
    // 500 ms: the run button follows the instrument's running flag, except
    // while the pointer rests on it.
    void runButtonRefresh();
    // A choice of the prompt window, sent as code 0x35.
    void CDPopTipsSendData_Slot(qint16 data);

private slots:
    // Readings page: value edits and the run button.
    void on_lineEdit_value_editingFinished();
    void on_lineEdit_value_zero_v_editingFinished();
    void on_lineEdit_value_full_v_editingFinished();
    void on_lineEdit_value_full_a_editingFinished();
    void on_lineEdit_value_lilitime_h_editingFinished();
    void on_lineEdit_value_limitime_m_editingFinished();
    void on_disp_Btn_Run_clicked();
    // Electronic load settings page.
    void on_settings_btn_CN1_clicked();
    void on_settings_btn_CN2_clicked();
    void on_settings_btn_EN1_clicked();
    void on_settings_btn_EN2_clicked();
    void on_settings_btn_clearcurrent_clicked();
    void on_settings_btn_factory_reset_clicked();
    void on_settings_btn_datazero_clicked();
    void on_settings_slider_worklight_valueChanged(int value);
    void on_settings_slider_standlight_valueChanged(int value);
    void on_settings_slider_standtime_valueChanged(int value);
    void on_settings_slider_voltcali_valueChanged(int value);
    void on_settings_slider_currcali_valueChanged(int value);
    void on_settings_slider_tempcali_valueChanged(int value);
    void on_settings_edit_timeh_editingFinished();
    void on_settings_edit_timem_editingFinished();
    void on_settings_edit_voltzero_editingFinished();
    void on_settings_edit_voltfull_editingFinished();
    void on_settings_edit_currfull_editingFinished();
    void on_settings_edit_currover_editingFinished();
    void on_settings_edit_poweover_editingFinished();
    void on_settings_edit_ntcover_editingFinished();
    void on_settings_edit_mosover_editingFinished();
    // Power tester settings page.
    void on_RX41_settings_btn_CN_clicked();
    void on_RX41_settings_btn_EN_clicked();
    void on_RX41_settings_btn_clearcurrent_clicked();
    void on_RX41_settings_btn_datazero_clicked();
    void on_RX41_settings_btn_factory_reset_clicked();
    void on_RX41_settings_slider_worklight_valueChanged(int value);
    void on_RX41_settings_slider_standlight_valueChanged(int value);
    void on_RX41_settings_slider_standtime_valueChanged(int value);
    void on_RX41_settings_slider_voltcali_valueChanged(int value);
    void on_RX41_settings_slider_currcali_valueChanged(int value);
    void on_RX41_settings_slider_tempcali_valueChanged(int value);
    void on_RX41_settings_edit_overvolt_editingFinished();
    void on_RX41_settings_edit_lowvolt_editingFinished();
    void on_RX41_settings_edit_overpower_editingFinished();
    void on_RX41_settings_edit_ntcover_editingFinished();
    void on_RX41_setting_comboBox_currentIndexChanged(int index);
    // ---- end readings block ----

    // ---- Language (maindialog_lang.cpp) ----
    void on_btnMenu_Menu_clicked();
    void onS_Act1Clicked_Slot();
    void onS_Act2Clicked_Slot();

protected:
    void changeEvent(QEvent *event) override;

private:
    // Installs (English) or removes (Chinese) the translator, then sets every
    // text again; does nothing when that language is already shown.
    void switchLanguage(bool english);
    // ---- end language block ----

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void initForm();
    void setGlyphs();
    void buildHomeMenus();
    void fitReadings();

    // Navigation (maindialog_nav.cpp).
    void openTarget(const HomeMenu::Target &target, const QString &text);
    void openSettingsPage(const QString &title, bool fromShortcut);
    void returnToHome(bool meterTitle, bool sendCode);
    void prepareProgressBar();
    void setDischargeControlsVisible(bool visible);
    void setReturnGlyph(QAbstractButton *button);
    QList<QWidget *> dischargeControls() const;

    MainDialogUi *ui;
    FramelessHelper m_frame;
    QTranslator *m_translator;
    bool m_closing = false;

    unsigned char deviceClass = 0;

    // The instrument (decoder state, poll cycle, bus scan, commands), the
    // device list and every sample of the run.
    InstrumentSession &m_session;
    FreshMeasurement m_fresh;
    DeviceList m_devices;
    SampleStore m_store;

    // ---- Link, polling, bus scan, chart, export, upgrade members ----
    RealTimeChart *m_chart = nullptr;
    customcoordinates *m_custom = nullptr;
    ChartMenu *m_chartMenu = nullptr;
    DataExport *m_dataExport = nullptr;
    FirmwareUpgrade *m_upgrade = nullptr;
    QMovie *m_searching = nullptr;
    dialoghooks::MessageFn m_message;
    dialoghooks::SaveFileFn m_openFile;
    QByteArray firmwareData;

    void buildChart();
    void buildUpgrade();
    void buildLink();
    // A sampling tick of the session: the chart and the record take a sample when allowed.
    void sample(quint32 count);
    void startBusScan();
    void showDeviceName(const QString &dev_str);
    void showUpgradePageStatus(bool up, const QString &dev_str);
    void clearDeviceList();
    void warn(const QString &title, const QString &text);
    QWidget *chartArea() const;
    // ---- end link members ----

    // ---- Readings, discharge control, settings members ----
    CDPopTips *m_popTips = nullptr;
    // ---- end readings members ----

    // ---- Language members ----
    // ---- end language members ----
};
