#include "curvesettingspanel.h"

#include "curveappearance.h"
#include "realtimechart.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>

namespace {

const char *const OkStyle =
    "QPushButton{background-color: rgb(126, 236, 236);color: black;border:2px groove "
    "gray;border-radius:10px;padding:2px 4px;border-style: outset;} "
    "QPushButton:hover{background-color:rgb(126, 255, 206); color: black;} "
    "QPushButton:pressed{background-color:rgb(0, 255, 0);border-style: inset;}";

using Slot = void (CurveSettingsPanel::*)();
using IndexSlot = void (CurveSettingsPanel::*)(int);

const Slot colourSlots[8] = {&CurveSettingsPanel::onBtn_1_Slot, &CurveSettingsPanel::onBtn_2_Slot,
                             &CurveSettingsPanel::onBtn_3_Slot, &CurveSettingsPanel::onBtn_4_Slot,
                             &CurveSettingsPanel::onBtn_5_Slot, &CurveSettingsPanel::onBtn_6_Slot,
                             &CurveSettingsPanel::onBtn_7_Slot, &CurveSettingsPanel::onBtn_8_Slot};
const IndexSlot widthSlots[8] = {
    &CurveSettingsPanel::onCBox_1_Slot, &CurveSettingsPanel::onCBox_2_Slot,
    &CurveSettingsPanel::onCBox_3_Slot, &CurveSettingsPanel::onCBox_4_Slot,
    &CurveSettingsPanel::onCBox_5_Slot, &CurveSettingsPanel::onCBox_6_Slot,
    &CurveSettingsPanel::onCBox_7_Slot, &CurveSettingsPanel::onCBox_8_Slot};

const QStringList widthTexts = {QStringLiteral("0.5"), QStringLiteral("1.0"),
                                QStringLiteral("1.5"), QStringLiteral("2.0"),
                                QStringLiteral("2.5"), QStringLiteral("3.0")};

} // namespace

CurveSettingsPanel::CurveSettingsPanel(RealTimeChart *chart, QWidget *area)
    : QTableView(area), m_chart(chart), m_model(new QStandardItemModel(10, 3, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    QStringList vertical;
    for (int r = 0; r < 10; ++r)
        vertical << QStringLiteral(" ");
    m_model->setVerticalHeaderLabels(vertical);
    for (int c = 0; c < Curves::Count; ++c)
        m_model->setItem(c, 0, new QStandardItem(QLatin1String(Curves::info(c).panelLabel)));
    m_model->setItem(8, 0, new QStandardItem);
    setModel(m_model);

    setSpan(9, 0, 1, 3);
    auto *okHolder = new QWidget(this);
    auto *okLayout = new QHBoxLayout(okHolder);
    okLayout->setSpacing(0);
    okLayout->setContentsMargins(80, 2, 80, 2);
    m_okButton = new QPushButton(okHolder);
    m_okButton->setStyleSheet(QLatin1String(OkStyle));
    okLayout->addWidget(m_okButton);
    setIndexWidget(m_model->index(9, 0), okHolder);
    connect(m_okButton, &QPushButton::clicked, this, &CurveSettingsPanel::onBtn_close_Slot);

    for (int c = 0; c < Curves::Count; ++c) {
        m_colourButtons[c] = new QPushButton(this);
        m_colourButtons[c]->setStyleSheet(buttonStyle(CurveAppearance::storedColour(c)));
        setIndexWidget(m_model->index(c, 1), m_colourButtons[c]);
        connect(m_colourButtons[c], &QPushButton::clicked, this, colourSlots[c]);

        m_widthBoxes[c] = new QComboBox(this);
        m_widthBoxes[c]->addItems(widthTexts);
        const int current = widthTexts.indexOf(CurveAppearance::storedWidthText(c));
        m_widthBoxes[c]->setCurrentIndex(current < 0 ? 0 : current);
        setIndexWidget(m_model->index(c, 2), m_widthBoxes[c]);
        connect(m_widthBoxes[c], QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                widthSlots[c]);
    }

    m_themeBox = new QComboBox(this);
    m_themeBox->addItems(CurveAppearance::themeNames());
    m_themeBox->setCurrentIndex(CurveAppearance::storedTheme());
    setIndexWidget(m_model->index(8, 1), m_themeBox);
    connect(m_themeBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CurveSettingsPanel::onCBox_9_Slot);

    setTexts();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(100);
    resize(320, 330);
}

void CurveSettingsPanel::setTexts()
{
    m_model->setHorizontalHeaderLabels({QStringLiteral(" "), tr("曲线颜色"), tr("曲线宽度")});
    m_model->item(8, 0)->setText(tr("背景颜色风格："));
    m_okButton->setText(tr("确定"));
    resizeColumnsToContents();
}

void CurveSettingsPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        setTexts();
    QTableView::changeEvent(event);
}

void CurveSettingsPanel::placeOver(QWidget *area)
{
    if (!area)
        return;
    // At least the usual 320 x 330, but large enough that every row and column
    // shows without scrolling, and never larger than the chart area.
    int w = verticalHeader()->width() + 2 * frameWidth();
    for (int c = 0; c < m_model->columnCount(); ++c)
        w += columnWidth(c);
    int h = horizontalHeader()->height() + 2 * frameWidth();
    for (int r = 0; r < m_model->rowCount(); ++r)
        h += rowHeight(r);
    resize(qMin(qMax(320, w), area->width()), qMin(qMax(330, h), area->height()));
    // Left and above the centre as usual, but kept inside the area so no
    // row is cut off at its edge.
    const int x = (area->width() - width()) / 2 - 100;
    const int y = (area->height() - height()) / 2 - 100;
    move(qBound(0, x, qMax(0, area->width() - width())),
         qBound(0, y, qMax(0, area->height() - height())));
}

QString CurveSettingsPanel::buttonStyle(const QColor &colour)
{
    return QStringLiteral("background:rgb(%1,%2,%3)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue());
}

void CurveSettingsPanel::chooseColour(int curve)
{
    const QColor current = m_chart->appearance().colour(curve);
    QColor chosen = m_chart->pickColour(current, window());
    // A cancelled dialog keeps the colour the curve has.
    if (!chosen.isValid())
        chosen = current;
    m_colourButtons[curve]->setStyleSheet(buttonStyle(chosen));
    m_chart->setCurveColour(curve, chosen);
}

void CurveSettingsPanel::chooseWidth(int curve, int index)
{
    if (index < 0 || index >= widthTexts.size())
        return;
    m_chart->setCurveWidth(curve, 0.5 * (index + 1));
}

void CurveSettingsPanel::onCBox_9_Slot(int index)
{
    m_chart->setTheme(index);
}

void CurveSettingsPanel::onBtn_close_Slot()
{
    close();
}
