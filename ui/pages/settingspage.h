#pragma once

#include "confirmations.h"
#include "measurementrecord.h"

#include <QWidget>
#include <memory>

class InstrumentSession;

namespace Ui {
class SettingsPage;
}

// The electronic load's settings page: display style, brightness, standby,
// calibration, limits and thresholds, zeroing, clearing and factory reset.
// Every control the user works becomes one command of the session; the
// instrument's parameter report fills the controls without echoing back.
class SettingsPage : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPage(InstrumentSession &session, QWidget *parent = nullptr);
    ~SettingsPage() override;

    void setTitle(const QString &title);
    void showReturnGlyph();
    // Voltage, current and probe temperature, after every report.
    void showLiveValues(const MeasurementRecord &r);
    // The controls as a parameter report gives them.
    void showParameters(const MeasurementRecord &r);
    void retranslate();
    // The factory reset asks first; replaceable so tests need no modal dialog.
    void setAsk(dialoghooks::AskFn ask) { m_ask = std::move(ask); }

signals:
    void returnClicked();

private slots:
    void on_settings_btnReturn_clicked();
    void on_settings_btn_CN1_clicked();
    void on_settings_btn_CN2_clicked();
    void on_settings_btn_EN1_clicked();
    void on_settings_btn_EN2_clicked();
    void on_settings_btn_clearcurrent_clicked();
    void on_settings_btn_factory_reset_clicked();
    void on_settings_btn_datazero_clicked();
    void on_settings_slider_worklight_valueChanged(int value);
    void on_settings_slider_standlight_valueChanged(int value);
    void on_settings_slider_standtime_valueChanged(int value);
    void on_settings_slider_voltcali_valueChanged(int value);
    void on_settings_slider_currcali_valueChanged(int value);
    void on_settings_slider_tempcali_valueChanged(int value);
    void on_settings_edit_timeh_editingFinished();
    void on_settings_edit_timem_editingFinished();
    void on_settings_edit_voltzero_editingFinished();
    void on_settings_edit_voltfull_editingFinished();
    void on_settings_edit_currfull_editingFinished();
    void on_settings_edit_currover_editingFinished();
    void on_settings_edit_poweover_editingFinished();
    void on_settings_edit_ntcover_editingFinished();
    void on_settings_edit_mosover_editingFinished();

private:
    void chooseStyle(int style);

    std::unique_ptr<Ui::SettingsPage> ui;
    InstrumentSession &m_session;
    dialoghooks::AskFn m_ask = dialoghooks::defaultAsk();
};
