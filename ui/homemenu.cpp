#include "homemenu.h"

#include "commandframe.h"
#include "iconhelper.h"

#include <QCoreApplication>
#include <QIcon>
#include <QPixmap>
#include <QToolButton>

namespace HomeMenu {

namespace {

constexpr int IconWidth = 100;
constexpr int IconHeight = 70;
constexpr int GlyphSize = 50;
constexpr const char *GlyphColor = "#FEFEFE";
constexpr const char *Context = "MainDialog";

} // namespace

const QList<Button> &loadMenu()
{
    static const QList<Button> menu = {
        {QT_TRANSLATE_NOOP("MainDialog", "固件升级"), Glyph::Upgrade, nullptr, "#1570A5"},
        {QT_TRANSLATE_NOOP("MainDialog", "仪表参数设置"), Glyph::Settings, nullptr, "#16A085"},
        {QT_TRANSLATE_NOOP("MainDialog", "恒电流模式"), 0, ":/sys/rs/rs/img/01.png", "#C0392B"},
        {QT_TRANSLATE_NOOP("MainDialog", "恒电压模式"), 0, ":/sys/rs/rs/img/02.png", "#047058"},
        {QT_TRANSLATE_NOOP("MainDialog", "恒电阻模式"), 0, ":/sys/rs/rs/img/03.png", "#9B59BB"},
        {QT_TRANSLATE_NOOP("MainDialog", "恒功率模式"), 0, ":/sys/rs/rs/img/04.png", "#34495E"},
        {QT_TRANSLATE_NOOP("MainDialog", "测内阻"), 0, ":/sys/rs/rs/img/05.png", "#B44A58"},
        {QT_TRANSLATE_NOOP("MainDialog", "测电源"), 0, ":/sys/rs/rs/img/06.png", "#6A48B4"},
        {QT_TRANSLATE_NOOP("MainDialog", "测线组"), 0, ":/sys/rs/rs/img/07.png", "#47B481"},
        {QT_TRANSLATE_NOOP("MainDialog", "充放充"), 0, ":/sys/rs/rs/img/08.png", "#B4B444"},
        {QT_TRANSLATE_NOOP("MainDialog", "充放充放充"), 0, ":/sys/rs/rs/img/09.png", "#9F81B4"},
        {QT_TRANSLATE_NOOP("MainDialog", "充放电循环测试"), 0, ":/sys/rs/rs/img/10.png", "#7EB47E"},
        {QT_TRANSLATE_NOOP("MainDialog", "测试程序"), Glyph::Program, nullptr, "#2E86C1"},
        {QT_TRANSLATE_NOOP("MainDialog", "更多功能等待开发"), Glyph::More, nullptr, "#945953"},
    };
    return menu;
}

const QList<Button> &testerMenu()
{
    static const QList<Button> menu = {
        {QT_TRANSLATE_NOOP("MainDialog", "固件升级"), Glyph::Upgrade, nullptr, "#1570A5"},
        {QT_TRANSLATE_NOOP("MainDialog", "仪表参数设置"), Glyph::Settings, nullptr, "#16A085"},
        {QT_TRANSLATE_NOOP("MainDialog", "数据图表展示"), Glyph::Chart, nullptr, "#C0392B"},
        {QT_TRANSLATE_NOOP("MainDialog", "更多功能等待开发"), Glyph::More, nullptr, "#945953"},
    };
    return menu;
}

const QList<Button> &commonEntries()
{
    static const QList<Button> entries = {
        {QT_TRANSLATE_NOOP("MainDialog", "历史记录"), Glyph::History, nullptr, "#2E6E9E"},
    };
    return entries;
}

const QList<Target> &targets()
{
    using namespace CommandFrame;
    static const QList<Target> list = {
        {QT_TRANSLATE_NOOP("MainDialog", "恒电流模式"), Action::ConstantMode, ModeConstantCurrent,
         QT_TRANSLATE_NOOP("MainDialog", "Is:"), QT_TRANSLATE_NOOP("MainDialog", "A")},
        {QT_TRANSLATE_NOOP("MainDialog", "固件升级"), Action::Upgrade, 0, nullptr, nullptr},
        {QT_TRANSLATE_NOOP("MainDialog", "仪表参数设置"), Action::Settings, PageSettings, nullptr,
         nullptr},
        {QT_TRANSLATE_NOOP("MainDialog", "恒电压模式"), Action::ConstantMode, ModeConstantVoltage,
         QT_TRANSLATE_NOOP("MainDialog", "Vs:"), QT_TRANSLATE_NOOP("MainDialog", "V")},
        {QT_TRANSLATE_NOOP("MainDialog", "恒电阻模式"), Action::ConstantMode,
         ModeConstantResistance, QT_TRANSLATE_NOOP("MainDialog", "Rs:"),
         QT_TRANSLATE_NOOP("MainDialog", "Ω")},
        {QT_TRANSLATE_NOOP("MainDialog", "恒功率模式"), Action::ConstantMode, ModeConstantPower,
         QT_TRANSLATE_NOOP("MainDialog", "Ps:"), QT_TRANSLATE_NOOP("MainDialog", "W")},
        {QT_TRANSLATE_NOOP("MainDialog", "测内阻"), Action::TestFunction, ModeInternalResistance,
         nullptr, nullptr},
        {QT_TRANSLATE_NOOP("MainDialog", "测电源"), Action::TestFunction, ModePowerSupplyTest,
         nullptr, nullptr},
        {QT_TRANSLATE_NOOP("MainDialog", "测线组"), Action::TestFunction, ModeCableTest, nullptr,
         nullptr},
        {QT_TRANSLATE_NOOP("MainDialog", "充放充"), Action::CycleMode, ModeChargeDischargeCharge,
         QT_TRANSLATE_NOOP("MainDialog", "Is:"), QT_TRANSLATE_NOOP("MainDialog", "A")},
        {QT_TRANSLATE_NOOP("MainDialog", "充放充放充"), Action::CycleMode, ModeCdcdc,
         QT_TRANSLATE_NOOP("MainDialog", "Is:"), QT_TRANSLATE_NOOP("MainDialog", "A")},
        {QT_TRANSLATE_NOOP("MainDialog", "充放电循环测试"), Action::TestFunction, ModeCycleTest,
         nullptr, nullptr},
        {QT_TRANSLATE_NOOP("MainDialog", "更多功能等待开发"), Action::TestFunction, ModeMore,
         nullptr, nullptr},
        {QT_TRANSLATE_NOOP("MainDialog", "数据图表展示"), Action::ChartDisplay, ModeConstantCurrent,
         nullptr, nullptr},
        {QT_TRANSLATE_NOOP("MainDialog", "历史记录"), Action::History, 0, nullptr, nullptr},
        {QT_TRANSLATE_NOOP("MainDialog", "测试程序"), Action::Program, 0, nullptr, nullptr},
    };
    return list;
}

QString translated(const char *text)
{
    return QCoreApplication::translate(Context, text);
}

const Target *match(const QString &text)
{
    for (const Target &t : targets()) {
        if (translated(t.text) == text)
            return &t;
    }
    return nullptr;
}

QString styleSheet(const QString &color)
{
    return QStringLiteral("QToolButton{font:%1px;background:%2;}").arg(15).arg(color) +
           QStringLiteral("QToolButton{border:none;border-radius:8px;padding:5px;}") +
           QStringLiteral("QToolButton:pressed{background:%1;}").arg(QStringLiteral("#737A97")) +
           QStringLiteral("QToolButton:hover{ border-style: outset; border: 2px groove green;}");
}

void decorate(QToolButton *button, const Button &entry)
{
    QPixmap pix;
    if (entry.glyph)
        pix = IconHelper::Instance()->getPixmap(QString::fromLatin1(GlyphColor), QChar(entry.glyph),
                                                GlyphSize, IconWidth, IconHeight);
    else
        pix = QPixmap(QString::fromLatin1(entry.picture));
    button->setIcon(QIcon(pix));
    button->setStyleSheet(styleSheet(QString::fromLatin1(entry.color)));
    setText(button, entry);
}

void setText(QToolButton *button, const Button &entry)
{
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(IconWidth, IconHeight));
    button->setText(translated(entry.text));
}

} // namespace HomeMenu
