#pragma once

#include "runrecord.h"

#include <QFrame>

class QLabel;
class QGridLayout;

// The summary of a run that just ended, over the readings page: it does not
// block anything and stays until dismissed (or the next run's summary
// replaces it). The same summary is kept with the run in the history.
class RunSummaryPanel : public QFrame
{
    Q_OBJECT
public:
    explicit RunSummaryPanel(QWidget *parent);

    void showSummary(const RunInfo &info, const RunSummary &summary, const QString &reason);
    // The texts of the rows shown, name then value (tests).
    QStringList rowTexts() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QLabel *m_title;
    QGridLayout *m_rows;
};
