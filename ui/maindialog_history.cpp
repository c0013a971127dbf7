// The history of runs in the window: every run the record takes is kept as
// it is taken (RunTracker), its summary shows over the readings page when it
// ends, and the history page lists, opens, compares and exports the runs.
#include "historytexts.h"
#include "maindialog.h"
#include "mainframe.h"
#include "pages/disppage.h"
#include "pages/historypage.h"
#include "pages/programpage.h"
#include "runsummarypanel.h"
#include "runtracker.h"

void MainDialog::buildHistory()
{
    m_historyPage = new HistoryPage;
    const int index = m_mainFrame->addPage(m_historyPage);
    Q_ASSERT(index == PageHistory);
    Q_UNUSED(index)
    m_historyPage->setMessageBox(m_message);
    connect(m_historyPage, &HistoryPage::returnClicked, this, [this] {
        if (deviceClass == 4)
            returnToTesterHome();
        else
            returnToHome(true);
    });
    m_summaryPanel = new RunSummaryPanel(m_pages.disp);
    connect(m_pages.disp, &DispPage::runPressed, this, [this](bool running) {
        if (m_runs && !running)
            m_runs->userStopped();
    });
    // The chart menu's clear ends the run the record held.
    connect(this, &MainDialog::recordCleared, this, [this] {
        if (m_runs)
            m_runs->recordCleared();
    });
}

void MainDialog::connectProgram()
{
    connect(m_pages.program, &ProgramPage::programStarting, this, [this] {
        if (m_runs)
            m_runs->setProgramRunning(true);
    });
    connect(m_pages.program, &ProgramPage::programEnded, this, [this] {
        if (m_runs)
            m_runs->setProgramRunning(false);
        m_historyPage->refresh();
    });
}

bool MainDialog::openHistory(const QString &path)
{
    if (!m_runs) {
        m_runs = new RunTracker(m_session, this);
        m_pages.program->setHistory(&m_runs->writer());
        connect(m_runs, &RunTracker::runEnded, m_summaryPanel, &RunSummaryPanel::showSummary);
        connect(m_runs, &RunTracker::runEnded, m_historyPage, &HistoryPage::refresh);
        connect(m_runs, &RunTracker::problem, this,
                [this](HistoryWriter::Problem p, const QString &detail) {
                    warn(tr("提示"), historyProblemText(p, detail));
                });
    }
    const bool ok = m_runs->open(path);
    m_historyPage->setDatabase(m_runs->path());
    return ok;
}

QString MainDialog::historyProblemText(HistoryWriter::Problem p, const QString &detail)
{
    switch (p) {
    case HistoryWriter::Problem::MovedAside:
        return tr("历史记录文件已损坏，已移至 %1，并新建了历史记录。").arg(detail);
    case HistoryWriter::Problem::CannotOpen:
        return tr("无法打开历史记录（%1）。本次测试只保存在内存中，仍可导出。").arg(detail);
    case HistoryWriter::Problem::WriteFailed:
        break;
    }
    return tr("无法写入历史记录（%1）。本次测试只保存在内存中，仍可导出。").arg(detail);
}

void MainDialog::openHistoryPage()
{
    m_historyPage->refresh();
    setCurrentPage(PageHistory);
}
