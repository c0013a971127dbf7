#pragma once

#include "confirmations.h"
#include "dataexport.h"
#include "deviceinfoui.h"
#include "framelesshelper.h"
#include "historywriter.h"
#include "instrumentsession.h"
#include "measurementrecord.h"
#include "pages/windowpages.h"
#include "pollcycle.h"
#include "samplestore.h"

#include <QByteArray>
#include <QDialog>

class QTranslator;
class DeviceLink;
class RealTimeChart;
class ChartMenu;
class DataExport;
class FirmwareUpgrade;
class CDPopTips;
class MainFrame;
class HistoryPage;
class RunSummaryPanel;
class RunTracker;

namespace hid {
class Handle;
}

// The application's one main window: a frameless dialog with its own title
// bar, the device panel on the left and the page stack filling the rest. The
// frame and each page are classes of their own that own their forms; the
// window builds them, moves between the pages, applies the link's events and
// wires the chart, the exports and the upgrade to the parts that own them.
class MainDialog : public QDialog
{
    Q_OBJECT
public:
    // Indices of the page stack.
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
        PageHistory = 10,
        PageProgram = 11,
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

    // The size the window opens at: the size it was designed for, within the
    // screen area a window may take, but never below its minimum.
    static QSize initialSize(const QSize &designed, const QSize &minimum, const QSize &available);

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

    // Sets every text of the window again in the current language: the
    // frame's and every page's.
    void retranslate();
    QTranslator *translator() const { return m_translator; }
    // Qt's own Chinese, installed while the program speaks Chinese.
    QTranslator *qtTranslator() const { return m_qtTranslator; }

    // The parts the window wires together, for tests and tools.
    DeviceLink *deviceLink() const { return &m_session.link(); }
    RealTimeChart *realTimeChart() const { return m_chart; }
    ChartMenu *chartMenu() const { return m_chartMenu; }
    DataExport *dataExport() const { return m_dataExport; }
    FirmwareUpgrade *firmwareUpgrade() const { return m_upgrade; }
    const SampleStore &sampleStore() const { return m_store; }
    const InstrumentState &instrumentState() const { return m_session.state(); }
    const DeviceList &deviceList() const;
    PollCycle &pollCycle() { return m_session.pollCycle(); }
    // Warning boxes and the firmware open dialog, replaceable so tests need no
    // modal dialog (the export and the chart menu take the same hook).
    void setMessageBox(dialoghooks::MessageFn fn);
    void setOpenFileDialog(dialoghooks::SaveFileFn fn);
    // Questions asked before something is lost (closing with unexported
    // samples or a run, clearing the record, a factory reset); replaceable so
    // tests answer without a modal dialog.
    void setQuestionBox(dialoghooks::AskFn fn);
    // Samples of the record no CSV export has written yet.
    size_t unsavedSamples() const { return m_unsaved.count(m_store); }
    // The link thread's link is open.
    bool linkUp() const;

    // The readings page's run button and the instrument's prompt window.
    void setRunButtonTexts(bool running);
    CDPopTips *popTips();

    // Keeps every run in the history at `path` (RunStore::defaultPath() when
    // empty); main() calls it, windows in tests only when they want one.
    // False when it cannot be opened (the window then says so once).
    bool openHistory(const QString &path = QString());
    RunTracker *runTracker() const { return m_runs; }
    HistoryPage *historyPage() const { return m_historyPage; }
    RunSummaryPanel *runSummaryPanel() const { return m_summaryPanel; }

signals:
    // Emitted once, just before the window closes, so the link can stop first.
    void aboutToClose();
    // The record and the chart were emptied by the chart menu's "clear record".
    void recordCleared();

public slots:
    // The poll and read ticks (maindialog_link.cpp).
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
    // The chart menu's "clear record": empties the record and the chart,
    // asking first when samples were not exported. False when the user kept them.
    bool clearRecord();
    // After every read tick that decoded a report: the prompt, the readings
    // page, and the settings pages' live values and, when a parameter report
    // came, their controls.
    void updateDisplay();
    // 500 ms: the run button follows the instrument's running flag.
    void runButtonRefresh();

private slots:
    // The language menu's entries (maindialog_lang.cpp).
    void onS_Act1Clicked_Slot();
    void onS_Act2Clicked_Slot();
    // Kept by name for callers that invoke it; the button itself is the
    // readings page's.
    void on_disp_btn_RangCustom_clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The language the settings name; Chinese unless they say "English".
    void loadLanguage();
    // Installs (English) or removes (Chinese) the translator, then sets every
    // text again; does nothing when that language is already shown.
    void switchLanguage(bool english);
    // Qt's own translation follows the program's language.
    void applyQtTranslation(bool english);

    // Navigation (maindialog_nav.cpp).
    void connectNavigation();
    void openEntry(const QString &text);
    void openSettingsPage(const QString &title, bool fromShortcut);
    void returnToHome(bool meterTitle);
    void returnToLoadHome();
    void returnToTesterHome();

    void buildChart();
    void buildHistory();
    // The program page's run goes into the window's history.
    void connectProgram();
    void openHistoryPage();
    static QString historyProblemText(HistoryWriter::Problem p, const QString &detail);
    void buildUpgrade();
    void buildLink();
    // A sampling tick of the session: the chart and the record take a sample when allowed.
    void sample(quint32 count);
    void startBusScan();
    void showUpgradePageStatus(bool up, const QString &dev_str);
    void warn(const QString &title, const QString &text);
    // Closing may go on: nothing would be lost, or the user chose.
    bool confirmClose();

    FramelessHelper m_frame;
    QTranslator *m_translator;
    QTranslator *m_qtTranslator;
    bool m_closing = false;
    unsigned char deviceClass = 0;

    // The instrument (decoder state, poll cycle, bus scan, commands) and
    // every sample of the run.
    InstrumentSession &m_session;
    FreshMeasurement m_fresh;
    SampleStore m_store;

    MainFrame *m_mainFrame = nullptr;
    WindowPages m_pages;

    RealTimeChart *m_chart = nullptr;
    ChartMenu *m_chartMenu = nullptr;
    DataExport *m_dataExport = nullptr;
    FirmwareUpgrade *m_upgrade = nullptr;
    HistoryPage *m_historyPage = nullptr;
    RunSummaryPanel *m_summaryPanel = nullptr;
    RunTracker *m_runs = nullptr;
    dialoghooks::MessageFn m_message;
    dialoghooks::AskFn m_ask;
    UnsavedSamples m_unsaved;
};
