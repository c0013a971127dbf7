#pragma once

#include <QWidget>

struct MeasurementRecord;

namespace Ui {
class CDPopTips;
}

// The instrument's continue-or-clear prompt before a charge-discharge cycle:
// a small window of its own with a countdown and two or three choices. It
// mirrors what the instrument shows; a click only tells the instrument the
// choice, and the window goes when the instrument stops reporting the prompt.
class CDPopTips : public QWidget
{
    Q_OBJECT
public:
    // Choice codes the instrument understands.
    enum Choice : qint16 { Cancel = 1, Continue = 2, ClearAndStart = 3, Confirm = 5 };

    explicit CDPopTips(QWidget *parent = nullptr);
    ~CDPopTips() override;

    // 2 hides the "continue" choice and stretches the last one upward over
    // its place; 3 shows all three. Other counts change nothing.
    void setChoiceCount(int count);
    // Marks the instrument's selection (counted from 1) among `count` choices.
    void setHighlight(int count, int selection);
    void setCountdown(int seconds);

    // The prompt as the last reports describe it: shown while the instrument
    // counts down a prompt in one of the two cycle modes (7, 8), hidden
    // otherwise. Returns whether the window is shown.
    bool follow(const MeasurementRecord &r);

    static QString normalStyle();
    static QString highlightStyle();

signals:
    // The argument is the choice code.
    void CDPopTipsSendData_Signal(qint16 addr);

private slots:
    void on_Btn1_clicked();
    void on_Btn2_clicked();
    void on_Btn3_clicked();
    void on_Btnok_clicked();

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void fitWarning();

    Ui::CDPopTips *ui;
};
