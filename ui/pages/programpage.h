#pragma once

#include "dataexport.h"
#include "programrunner.h"
#include "testprogram.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class HistoryWriter;
class InstrumentSession;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

// The test program page of an electronic load: a table of steps to edit (add,
// remove, move, and each step's fields, checked as the file is), templates,
// loading and saving a program file, and running it with the program runner:
// run, pause, abort, going on past a pause step or after the instrument came
// back; the current step highlighted with its elapsed time and progress, and
// each step's results as it ends.
class ProgramPage : public QWidget
{
    Q_OBJECT
public:
    explicit ProgramPage(InstrumentSession &session, QWidget *parent = nullptr);
    ~ProgramPage() override;

    // The history the program's run goes into, or none.
    void setHistory(HistoryWriter *history);
    // Boxes and file dialogs, replaceable so tests need no modal dialog.
    void setMessageBox(dialoghooks::MessageFn fn) { m_message = std::move(fn); }
    void setOpenFileDialog(dialoghooks::SaveFileFn fn) { m_openFile = std::move(fn); }
    void setSaveFileDialog(dialoghooks::SaveFileFn fn) { m_saveFile = std::move(fn); }

    // Opened from the home menu: the entry's text titles the page.
    void open(const QString &title);
    void retranslate();
    // The window closes: a running program is aborted and the stop of the
    // load awaited (a few seconds at most).
    void shutdown();

    const TestProgram &program() const { return m_program; }
    void setProgram(const TestProgram &program);
    ProgramRunner &runner() { return *m_runner; }

signals:
    void returnClicked();
    // Around a program's run, for the window's own record of runs.
    void programStarting();
    void programEnded();

private:
    struct Field
    {
        QLabel *label;
        QWidget *edit;
    };
    enum FieldId {
        Name,
        Mode,
        Value,
        Cutoff,
        Duration,
        Capacity,
        Energy,
        UntilV,
        I1,
        I2,
        T1,
        T2,
        Times,
        UntilRestBelow,
        UntilCutoff,
        Message,
        FieldCount
    };

    void build();
    QWidget *buildEditor();
    QWidget *buildRunPanel();
    void setTexts();

    // The steps' table from the program; rows keep each step's path.
    void refreshSteps();
    QVector<int> selectedPath() const;
    void selectPath(const QVector<int> &path);
    QVector<ProgramStep> *listOf(const QVector<int> &path);
    ProgramStep *stepAt(const QVector<int> &path);
    void showEditor();
    void applyEditor();
    void addStep(bool inside);
    void removeStep();
    void moveStep(int delta);
    // The whole program checked; the first problem under the table.
    bool checkProgram();

    void useTemplate();
    void openFile();
    void saveFile();

    void run();
    void pauseOrResume();
    void abortProgram();
    void goOn();
    void showState();
    void showProgress();
    void highlight(const QString &step);
    void addResult(const StepResult &result);
    void warn(const QString &text);

    InstrumentSession &m_session;
    std::unique_ptr<ProgramRunner> m_runner;
    TestProgram m_program;
    QVector<QVector<int>> m_rows;
    QString m_highlighted;
    QTimer m_progressTimer;
    dialoghooks::MessageFn m_message;
    dialoghooks::SaveFileFn m_openFile;
    dialoghooks::SaveFileFn m_saveFile;

    QPushButton *m_btnReturn = nullptr;
    QLabel *m_tip = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_nameLabel = nullptr;
    QLineEdit *m_name = nullptr;
    QComboBox *m_template = nullptr;
    QPushButton *m_btnTemplate = nullptr;
    QPushButton *m_btnOpen = nullptr;
    QPushButton *m_btnSave = nullptr;
    QTableWidget *m_steps = nullptr;
    QComboBox *m_addKind = nullptr;
    QPushButton *m_btnAdd = nullptr;
    QPushButton *m_btnAddInside = nullptr;
    QPushButton *m_btnRemove = nullptr;
    QPushButton *m_btnUp = nullptr;
    QPushButton *m_btnDown = nullptr;
    QLabel *m_editorTitle = nullptr;
    Field m_fields[FieldCount] = {};
    QPushButton *m_btnApply = nullptr;
    QLabel *m_issue = nullptr;

    QPushButton *m_btnRun = nullptr;
    QPushButton *m_btnPause = nullptr;
    QPushButton *m_btnAbort = nullptr;
    QPushButton *m_btnGoOn = nullptr;
    QLabel *m_state = nullptr;
    QLabel *m_stepInfo = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_resultsTitle = nullptr;
    QTableWidget *m_results = nullptr;
};
