#pragma once

#include <QWidget>
#include <memory>

class QLabel;

namespace Ui {
class StartPage;
class FourPage;
class FivePage;
class SixPage;
} // namespace Ui

// The pages with little behaviour of their own: the start page shown until an
// instrument is identified, and three pages with a title and a return button
// (the test-function page, six, titles itself after the entry that opened it).

class StartPage : public QWidget
{
    Q_OBJECT
public:
    explicit StartPage(QWidget *parent = nullptr);
    ~StartPage() override;

    void retranslate();

private:
    void setUdevText();

    std::unique_ptr<Ui::StartPage> ui;
    // Linux only: what a real instrument needs before it can be opened.
    QLabel *m_udev = nullptr;
};

class FourPage : public QWidget
{
    Q_OBJECT
public:
    explicit FourPage(QWidget *parent = nullptr);
    ~FourPage() override;

    void retranslate();

signals:
    void returnClicked();

private slots:
    void on_four_btnReturn_clicked();

private:
    std::unique_ptr<Ui::FourPage> ui;
};

class FivePage : public QWidget
{
    Q_OBJECT
public:
    explicit FivePage(QWidget *parent = nullptr);
    ~FivePage() override;

    void retranslate();

signals:
    void returnClicked();

private slots:
    void on_five_btnReturn_clicked();

private:
    std::unique_ptr<Ui::FivePage> ui;
};

class SixPage : public QWidget
{
    Q_OBJECT
public:
    explicit SixPage(QWidget *parent = nullptr);
    ~SixPage() override;

    // Opened from a menu entry: its text titles the page.
    void open(const QString &title);
    // The work mode the instrument reports, as a title.
    void setTitle(const QString &title);
    void retranslate();

signals:
    void returnClicked();

private slots:
    void on_six_btnReturn_clicked();

private:
    std::unique_ptr<Ui::SixPage> ui;
};
