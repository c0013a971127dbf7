#pragma once

#include "busscan.h"

#include <QPointer>
#include <QVector>
#include <QWidget>

class QTreeWidget;

namespace Ui {
class DeviceInfoUI;
}

// One instrument in the device list: its identity, index on the bus, link
// state and the tick that selects it.
class DeviceInfoUI : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceInfoUI(QWidget *parent = nullptr);
    ~DeviceInfoUI() override;

    void setModelText(const QString &text);
    void setTypeText(const QString &text);
    void setIndexText(const QString &text);
    void setSerialText(const QString &text);
    void setVersionText(const QString &text);
    // "主:%1" for the master, "从:%1" for a slave; kept in the current language.
    void setIndex(bool master, int number);

    // 0 idle, 1 error, 2 connected; other values change nothing.
    void setState(quint8 state);
    quint8 state() const { return m_state; }

    bool isTicked() const { return m_ticked; }
    // Presentation and flag only, no signal.
    void tick();
    void untick();
    // Flips the tick and emits TickShow_Signal.
    void toggle();

signals:
    void TickShow_Signal(DeviceInfoUI *device);

private slots:
    void on_btn_Tick_clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyTick();
    void applyState();
    void applyTexts();

    Ui::DeviceInfoUI *ui;
    quint8 m_state = 0;
    bool m_stateShown = false; // "none" until a state is first given
    bool m_ticked = false;
    // What the entry was told, re-applied after the form is retranslated;
    // null strings leave the form's defaults.
    QString m_model, m_type, m_serial, m_version, m_indexText;
    int m_indexNumber = -1; // >= 0: the index text is formatted here
    bool m_indexMaster = false;
};

// The entries of the device list beside the addresses they stand for, in
// order of creation. The tree widget is the window's; its rows own the entries.
class DeviceList : public QObject
{
    Q_OBJECT
public:
    struct Pair
    {
        QPointer<DeviceInfoUI> entry;
        quint8 address;
    };
    struct Selection
    {
        bool changed = false;
        quint8 busAddress = 0;
        QString title; // for the readings page's device title
    };

    explicit DeviceList(QObject *parent = nullptr);

    // Empties the tree (its rows and entries go) and the list.
    void clear(QTreeWidget *tree);
    // Adds one row per planned entry, master first and ticked; entries already
    // listed by address get no second pair.
    QVector<DeviceInfoUI *> populate(QTreeWidget *tree, const DeviceListPlan &plan);
    // Applies the tick state of `entry` after it toggled: ticked selects it and
    // unticks every other entry; unticked selects nothing (address 0x00).
    Selection applyTick(DeviceInfoUI *entry);
    // The link was lost: the first entry shows the error state, and no entry
    // keeps its check mark, since none can be addressed any more.
    void markFirstLost();

    const QVector<Pair> &pairs() const { return m_pairs; }
    QString model() const { return m_model; }
    // The title right after populate().
    QString title() const { return m_title; }

signals:
    // Forwarded from every entry.
    void TickShow_Signal(DeviceInfoUI *device);

private:
    bool listed(quint8 address) const;

    QVector<Pair> m_pairs;
    QString m_model;
    QString m_title;
};
