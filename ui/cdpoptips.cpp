#include "cdpoptips.h"

#include "instrumentsession.h"
#include "measurementrecord.h"
#include "ui_cdpoptips.h"

#include <QEvent>
#include <QFont>
#include <QPainter>
#include <QStyleOption>

namespace {

constexpr int Btn3Top = 210;
constexpr int Btn3TopStretched = 188;

QString choiceStyle(const char *textColour)
{
    return QStringLiteral("QPushButton{color: %1;background-color: rgb(62, 62, 62);"
                          "border:2px groove gray;border-radius:6px;padding:2px 4px;"
                          "border-style: outset;}"
                          "QPushButton:hover{background-color: rgb(62, 62, 62);"
                          "color: rgb(220, 78, 255);border:2px groove green;}"
                          "QPushButton:pressed{background-color:rgb(0, 255, 0);"
                          "border-style: inset;}")
        .arg(QLatin1String(textColour));
}

} // namespace

CDPopTips::CDPopTips(QWidget *parent) : QWidget(parent), ui(new Ui::CDPopTips)
{
    // The form names the Windows font by its Chinese name; draw it with
    // whatever stands in for that font under its English name.
    const QString family = QStringLiteral("微软雅黑");
    if (QFont::substitutes(family).isEmpty())
        QFont::insertSubstitutions(family, QFont::substitutes(QStringLiteral("Microsoft Yahei")));
    ui->setupUi(this);
    // A window of its own even when a parent owns it.
    setWindowFlags(Qt::Window);
    setFixedSize(373, 241);
    for (QPushButton *b : {ui->Btn1, ui->Btn2, ui->Btn3})
        b->setStyleSheet(normalStyle());
    fitWarning();
}

void CDPopTips::fitWarning()
{
    // The warning is laid out for the Windows font; where the stand-in font
    // runs longer, the label grows into the gap above the first choice
    // rather than cut the warning short.
    QLabel *tips = ui->lab_Tips;
    const int limit = ui->Btn1->geometry().top() - 2 - tips->y();
    const int needed = tips->heightForWidth(tips->width());
    if (needed > tips->height())
        tips->resize(tips->width(), qMin(needed, limit));
}

CDPopTips::~CDPopTips()
{
    delete ui;
}

QString CDPopTips::normalStyle()
{
    return choiceStyle("rgb(27, 209, 158)");
}

QString CDPopTips::highlightStyle()
{
    return choiceStyle("rgb(220, 78, 255)");
}

void CDPopTips::setChoiceCount(int count)
{
    QRect g = ui->Btn3->geometry();
    if (count == 2) {
        ui->Btn2->hide();
        g.setTop(Btn3TopStretched);
    } else if (count == 3) {
        ui->Btn2->show();
        g.setTop(Btn3Top);
    } else {
        return;
    }
    ui->Btn3->setGeometry(g);
}

void CDPopTips::setHighlight(int count, int selection)
{
    QPushButton *chosen = nullptr;
    if (count == 2) {
        if (selection == 1)
            chosen = ui->Btn1;
        else if (selection == 2)
            chosen = ui->Btn3;
    } else if (count == 3) {
        if (selection == 1)
            chosen = ui->Btn1;
        else if (selection == 2)
            chosen = ui->Btn2;
        else if (selection == 3)
            chosen = ui->Btn3;
    }
    if (!chosen)
        return;
    for (QPushButton *b : {ui->Btn1, ui->Btn2, ui->Btn3}) {
        const QString style = b == chosen ? highlightStyle() : normalStyle();
        // Re-polishing on every report would make the buttons flicker.
        if (b->styleSheet() != style)
            b->setStyleSheet(style);
    }
}

void CDPopTips::setCountdown(int seconds)
{
    ui->lab_count->setText(QString::number(seconds));
}

bool CDPopTips::follow(const MeasurementRecord &r)
{
    if (!InstrumentSession::promptShowing(r)) {
        if (isVisible())
            hide();
        return false;
    }
    // Applied on every report, so a prompt that changes its choices while
    // shown is drawn as the instrument has it.
    setChoiceCount(r.promptChoiceCount);
    if (isHidden()) {
        // Over the window it belongs to, where the user is looking.
        if (QWidget *owner = parentWidget())
            move(owner->window()->frameGeometry().center() - rect().center());
        show();
        raise();
    }
    setHighlight(r.promptChoiceCount, r.promptSelection);
    setCountdown(r.promptCountdown);
    return true;
}

void CDPopTips::on_Btn1_clicked()
{
    emit CDPopTipsSendData_Signal(Cancel);
}

void CDPopTips::on_Btn2_clicked()
{
    emit CDPopTipsSendData_Signal(Continue);
}

void CDPopTips::on_Btn3_clicked()
{
    // With two choices the last button stands in the second place.
    emit CDPopTipsSendData_Signal(ui->Btn2->isHidden() ? Continue : ClearAndStart);
}

void CDPopTips::on_Btnok_clicked()
{
    emit CDPopTipsSendData_Signal(Confirm);
}

void CDPopTips::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        const QString count = ui->lab_count->text();
        ui->retranslateUi(this);
        ui->lab_count->setText(count);
        fitWarning();
    }
    QWidget::changeEvent(event);
}

void CDPopTips::paintEvent(QPaintEvent *)
{
    // A plain QWidget subclass draws its style-sheet border only this way.
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
