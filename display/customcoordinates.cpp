#include "customcoordinates.h"

#include "setting.h"

#include <QDoubleValidator>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int PanelWidth = 367;
constexpr int PanelHeight = 341;

// Every range keeps two decimals but the MOS temperature's, which keeps one.
int rangeDecimals(int curve)
{
    return curve == Curves::MosTemp ? 1 : 2;
}

QString valueText(float value, int decimals)
{
    return QString::number(double(value), 'f', decimals);
}

} // namespace

customcoordinates::customcoordinates(QWidget *parent) : QWidget(parent)
{
    buildForm();
    load();
    QMetaObject::connectSlotsByName(this);
}

QString customcoordinates::onStyle()
{
    return QStringLiteral(
        "QPushButton{background-color:rgb(62, 62, 62); color: rgb(217, 102, 255);border:2px groove "
        "green;border-radius:10px;padding:2px 4px;border-style: outset;} "
        "QPushButton:hover{background-color:rgb(62, 62, 62); color: rgb(217, 102, 255);border:2px "
        "groove green;border-radius:10px;padding:2px 4px;border-style: "
        "outset;}QPushButton:pressed{background-color:rgb(0, 255, 0);border-style: inset;}");
}

QString customcoordinates::offStyle()
{
    return QStringLiteral(
        "QPushButton{background-color: rgb(62, 62, 62);border-radius: 5px;color: rgb(255, 255, "
        "255);border:2px groove gray;border-radius:10px;padding:2px 4px;border-style: outset;} "
        "QPushButton:hover{background-color:rgb(62, 62, 62); color: rgb(217, 102, 255);border:2px "
        "groove green;border-radius:10px;padding:2px 4px;border-style: "
        "outset;}QPushButton:pressed{background-color:rgb(0, 255, 0);border-style: inset;}");
}

void customcoordinates::buildForm()
{
    setObjectName(QStringLiteral("customcoordinates"));
    setFixedSize(PanelWidth, PanelHeight);
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral("background-color: rgb(109, 109, 109);"));

    const int headerX[4] = {10, 80, 185, 290};
    for (int i = 0; i < 4; ++i) {
        m_header[i] = new QLabel(this);
        m_header[i]->move(headerX[i], 20);
    }
    for (int c = 0; c < Curves::Count; ++c) {
        const Curves::Info &info = Curves::info(c);
        const QString stem = QLatin1String(info.rangeName);
        const int y = 60 + 30 * c;

        auto *label = new QLabel(QLatin1String(info.rangeLabel), this);
        label->move(30, y);

        m_minBox[c] = new QLineEdit(this);
        m_minBox[c]->setObjectName(QStringLiteral("edit_%1_Min").arg(stem));
        m_minBox[c]->setGeometry(100, y, 60, 20);
        m_maxBox[c] = new QLineEdit(this);
        m_maxBox[c]->setObjectName(QStringLiteral("edit_%1_Max").arg(stem));
        m_maxBox[c]->setGeometry(200, y, 60, 20);
        for (QLineEdit *box : {m_minBox[c], m_maxBox[c]}) {
            auto *v = new QDoubleValidator(info.rangeBottom, info.rangeTop, rangeDecimals(c), box);
            v->setNotation(QDoubleValidator::StandardNotation);
            v->setLocale(QLocale::c());
            box->setValidator(v);
        }

        m_switch[c] = new QPushButton(this);
        m_switch[c]->setObjectName(QStringLiteral("btn_%1").arg(stem));
        m_switch[c]->setGeometry(290, y, 51, 23);
    }
    m_okButton = new QPushButton(this);
    m_okButton->setObjectName(QStringLiteral("btn_CLOS_SET"));
    m_okButton->setGeometry(150, 310, 100, 23);
    retranslate();
}

void customcoordinates::retranslate()
{
    m_header[0]->setText(tr("数据轴"));
    m_header[1]->setText(tr("最小值"));
    m_header[2]->setText(tr("最大值"));
    m_header[3]->setText(tr("当前状态"));
    for (QLabel *l : m_header)
        l->adjustSize();
    m_okButton->setText(tr("确定"));
    for (int c = 0; c < Curves::Count; ++c)
        showSwitch(c);
}

void customcoordinates::load()
{
    Setting s;
    for (int c = 0; c < Curves::Count; ++c) {
        const Curves::Info &info = Curves::info(c);
        bool ok = false;
        const int on = s.read(QLatin1String(info.rangeOnKey)).toInt(&ok, 10);
        m_open[c] = ok && on != 0 ? 1 : 0;
        const float lo = s.read(QLatin1String(info.rangeMinKey)).toFloat(&ok);
        m_value[2 * c] = ok ? lo : 0;
        const float hi = s.read(QLatin1String(info.rangeMaxKey)).toFloat(&ok);
        m_value[2 * c + 1] = ok ? hi : 0;
        m_minBox[c]->setText(valueText(m_value[2 * c], rangeDecimals(c)));
        m_maxBox[c]->setText(valueText(m_value[2 * c + 1], rangeDecimals(c)));
        showSwitch(c);
    }
}

void customcoordinates::showSwitch(int curve)
{
    m_switch[curve]->setText(isOpen(curve) ? tr("启用") : tr("关闭"));
    m_switch[curve]->setStyleSheet(isOpen(curve) ? onStyle() : offStyle());
}

void customcoordinates::minEdited(int curve)
{
    edited(curve, false);
}

void customcoordinates::maxEdited(int curve)
{
    edited(curve, true);
}

void customcoordinates::edited(int curve, bool isMax)
{
    const Curves::Info &info = Curves::info(curve);
    QLineEdit *box = isMax ? m_maxBox[curve] : m_minBox[curve];
    bool ok = false;
    const float v = QLocale::c().toFloat(box->text(), &ok);
    if (!ok)
        return;
    m_value[2 * curve + (isMax ? 1 : 0)] = v;
    Setting().write(QLatin1String(isMax ? info.rangeMaxKey : info.rangeMinKey),
                    valueText(v, rangeDecimals(curve)));
    if (isOpen(curve))
        emit RangChang_signal();
}

void customcoordinates::toggle(int curve)
{
    m_open[curve] = isOpen(curve) ? 0 : 1;
    showSwitch(curve);
    Setting().write(QLatin1String(Curves::info(curve).rangeOnKey),
                    isOpen(curve) ? QStringLiteral("1") : QStringLiteral("0"));
    emit RangChang_signal();
}

void customcoordinates::on_btn_CLOS_SET_clicked()
{
    hide();
}

void customcoordinates::toggleOver(QWidget *area)
{
    if (isVisible()) {
        hide();
        return;
    }
    if (area)
        move((area->width() - PanelWidth) / 2 - 10, (area->height() - PanelHeight) / 2 - 10);
    show();
    raise();
}

void customcoordinates::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
