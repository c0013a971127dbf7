#include "deviceinfoui.h"

#include "ui_deviceinfoui.h"
#include "uilog.h"

#include <QEvent>
#include <QTreeWidget>

namespace {

const char *const untickedStyle = "QPushButton{border-image: url(:/sys/rs/rs/img/UnTick.png);} "
                                  "QToolTip{background-color: rgb(84, 84, 84);}";
const char *const tickedStyle = "QPushButton{border-image: url(:/sys/rs/rs/img/Tick.png);} "
                                "QToolTip{background-color: rgb(84, 84, 84);}";

} // namespace

DeviceInfoUI::DeviceInfoUI(QWidget *parent) : QWidget(parent), ui(new Ui::DeviceInfoUI)
{
    ui->setupUi(this);
    applyTick();
}

DeviceInfoUI::~DeviceInfoUI()
{
    delete ui;
}

void DeviceInfoUI::setModelText(const QString &text)
{
    m_model = text;
    ui->label_model_value->setText(text);
}

void DeviceInfoUI::setTypeText(const QString &text)
{
    m_type = text;
    ui->label_type_value->setText(text);
}

void DeviceInfoUI::setIndexText(const QString &text)
{
    m_indexNumber = -1;
    m_indexText = text;
    ui->label_index_value->setText(text);
}

void DeviceInfoUI::setSerialText(const QString &text)
{
    m_serial = text;
    ui->label_serial_value->setText(text);
}

void DeviceInfoUI::setVersionText(const QString &text)
{
    m_version = text;
    ui->label_version_value->setText(text);
}

void DeviceInfoUI::setIndex(bool master, int number)
{
    m_indexMaster = master;
    m_indexNumber = number;
    m_indexText.clear();
    ui->label_index_value->setText(master ? tr("主:%1").arg(number) : tr("从:%1").arg(number));
}

void DeviceInfoUI::setState(quint8 state)
{
    if (state != EntryState::Idle && state != EntryState::Error && state != EntryState::Connected)
        return;
    m_state = state;
    m_stateShown = true;
    applyState();
}

void DeviceInfoUI::applyState()
{
    switch (m_state) {
    case EntryState::Idle:
        ui->label_connect_type->setText(tr("空闲"));
        ui->widget_background->setStyleSheet(QStringLiteral("background-color: rgb(156, 156, 0);"));
        break;
    case EntryState::Error:
        ui->label_connect_type->setText(tr("错误"));
        ui->widget_background->setStyleSheet(QStringLiteral("background-color: rgb(68, 68, 68);"));
        break;
    case EntryState::Connected:
        ui->label_connect_type->setText(tr("连接"));
        ui->widget_background->setStyleSheet(QStringLiteral("background-color: rgb(16, 157, 56);"));
        break;
    }
}

void DeviceInfoUI::tick()
{
    m_ticked = true;
    applyTick();
}

void DeviceInfoUI::untick()
{
    m_ticked = false;
    applyTick();
}

void DeviceInfoUI::toggle()
{
    m_ticked = !m_ticked;
    applyTick();
    emit TickShow_Signal(this);
}

void DeviceInfoUI::applyTick()
{
    ui->btn_Tick->setStyleSheet(QLatin1String(m_ticked ? tickedStyle : untickedStyle));
    ui->btn_Tick->setToolTip(m_ticked ? tr("点击图标移出设备") : tr("点击图标添加设备"));
}

void DeviceInfoUI::on_btn_Tick_clicked()
{
    toggle();
}

void DeviceInfoUI::mouseReleaseEvent(QMouseEvent *event)
{
    qCDebug(lcUi) << "鼠标单击";
    QWidget::mouseReleaseEvent(event);
    toggle();
}

void DeviceInfoUI::applyTexts()
{
    // A language switch shows the same instrument in the new language: the
    // captions, the index and the state words are translated again, what the
    // instrument said about itself stays. Values never given keep the form's
    // defaults.
    ui->label_model_value->setText(m_model.isNull() ? tr("模拟器") : m_model);
    ui->label_serial_value->setText(m_serial.isNull() ? QStringLiteral("[none]") : m_serial);
    ui->label_type_value->setText(m_type.isNull() ? QStringLiteral("[none]") : m_type);
    ui->label_version_value->setText(m_version.isNull() ? QStringLiteral("[none]") : m_version);
    if (m_indexNumber >= 0)
        setIndex(m_indexMaster, m_indexNumber);
    else
        ui->label_index_value->setText(m_indexText);
    if (m_stateShown)
        applyState();
    else
        ui->label_connect_type->setText(QStringLiteral("none"));
    applyTick();
}

void DeviceInfoUI::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        qCDebug(lcUi) << "语言改变了";
        ui->retranslateUi(this);
        applyTexts();
    }
    QWidget::changeEvent(event);
}

// ---------------------------------------------------------------------------

DeviceList::DeviceList(QObject *parent) : QObject(parent) {}

void DeviceList::clear(QTreeWidget *tree)
{
    if (tree)
        tree->clear();
    m_pairs.clear();
}

bool DeviceList::listed(quint8 address) const
{
    for (const Pair &p : m_pairs)
        if (p.address == address)
            return true;
    return false;
}

QVector<DeviceInfoUI *> DeviceList::populate(QTreeWidget *tree, const DeviceListPlan &plan)
{
    QVector<DeviceInfoUI *> made;
    if (!tree)
        return made;
    m_model = plan.model;
    for (const DeviceEntryPlan &e : plan.entries) {
        auto *entry = new DeviceInfoUI;
        entry->setModelText(plan.model);
        if (!plan.version.isEmpty())
            entry->setVersionText(plan.version);
        entry->setTypeText(plan.typeText);
        entry->setIndex(e.master, e.indexNumber);
        entry->setSerialText(plan.shortSerial);
        entry->setState(e.state);

        auto *row = new QTreeWidgetItem(tree);
        tree->setItemWidget(row, 0, entry);
        if (!listed(e.address)) {
            m_pairs.append({entry, e.address});
            qCDebug(lcUi) << "数据存储成功";
        }
        if (e.master)
            qCDebug(lcUi) << "存储的数据信息：" << entry << "第二项：" << e.address;
        connect(entry, &DeviceInfoUI::TickShow_Signal, this, &DeviceList::TickShow_Signal);
        if (e.ticked)
            entry->tick();
        made.append(entry);
    }
    m_title = BusScan::deviceTitle(plan.model, QString::number(plan.titleNumber));
    qCDebug(lcUi) << "当前存储的设备有：" << m_pairs.size();
    return made;
}

DeviceList::Selection DeviceList::applyTick(DeviceInfoUI *entry)
{
    Selection s;
    if (!entry)
        return s;
    if (!entry->isTicked()) {
        entry->setState(EntryState::Idle);
        s.changed = true;
        s.busAddress = 0x00;
        s.title = BusScan::deviceTitleNull(m_model);
        return s;
    }
    for (const Pair &p : qAsConst(m_pairs)) {
        if (!p.entry)
            continue;
        if (p.entry != entry) {
            p.entry->untick();
            p.entry->setState(EntryState::Idle);
            continue;
        }
        p.entry->setState(EntryState::Connected);
        s.changed = true;
        s.busAddress = p.address;
        s.title = BusScan::deviceTitle(m_model, QString::number(p.address));
    }
    return s;
}

void DeviceList::markFirstLost()
{
    for (const Pair &p : qAsConst(m_pairs))
        if (p.entry)
            p.entry->untick();
    if (!m_pairs.isEmpty() && m_pairs.first().entry)
        m_pairs.first().entry->setState(EntryState::Error);
}
