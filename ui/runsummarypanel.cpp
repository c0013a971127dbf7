#include "runsummarypanel.h"

#include "historytexts.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

RunSummaryPanel::RunSummaryPanel(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("disp_run_summary"));
    setFrameShape(QFrame::StyledPanel);
    setStyleSheet(
        QStringLiteral("#disp_run_summary{background:rgba(20,30,40,235);"
                       "border:1px solid #16A085;border-radius:6px;}"
                       "#disp_run_summary QLabel{color:#EEEEEE;background:transparent;}"));
    auto *outer = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    m_title = new QLabel(this);
    m_title->setStyleSheet(QStringLiteral("font-weight:bold;"));
    auto *close = new QPushButton(QStringLiteral("×"), this);
    close->setObjectName(QStringLiteral("disp_run_summary_close"));
    close->setFixedSize(24, 24);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    top->addWidget(m_title, 1);
    top->addWidget(close);
    outer->addLayout(top);
    m_rows = new QGridLayout;
    outer->addLayout(m_rows);
    parent->installEventFilter(this);
    hide();
}

void RunSummaryPanel::showSummary(const RunInfo &info, const RunSummary &summary,
                                  const QString &reason)
{
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_title->setText(tr("本次测试结束") + QStringLiteral(": ") + HistoryTexts::modeText(info) +
                     (info.label.isEmpty() ? QString() : QStringLiteral(" — ") + info.label));
    int row = 0;
    for (const auto &r : HistoryTexts::summaryRows(summary, reason)) {
        m_rows->addWidget(new QLabel(r.first, this), row, 0);
        auto *value = new QLabel(r.second, this);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_rows->addWidget(value, row++, 1);
    }
    adjustSize();
    place();
    show();
    raise();
}

QStringList RunSummaryPanel::rowTexts() const
{
    QStringList out;
    for (int i = 0; i < m_rows->count(); ++i)
        if (auto *l = qobject_cast<QLabel *>(m_rows->itemAt(i)->widget()))
            out << l->text();
    return out;
}

bool RunSummaryPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        place();
    return QFrame::eventFilter(watched, event);
}

void RunSummaryPanel::place()
{
    // The lower right corner of the page, over the chart, clear of the readings.
    const QWidget *page = parentWidget();
    move(qMax(0, page->width() - width() - 24), qMax(0, page->height() - height() - 60));
}
