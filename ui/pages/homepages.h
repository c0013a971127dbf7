#pragma once

#include <QList>
#include <QWidget>
#include <memory>

class QToolButton;

namespace Ui {
class HomePage;
class Rx41HomePage;
} // namespace Ui

// The two home menus, one per instrument family: a button per entry of the
// family's menu (HomeMenu). A click reports the entry by the text it shows;
// the window decides what it opens.

class HomePage : public QWidget
{
    Q_OBJECT
public:
    explicit HomePage(QWidget *parent = nullptr);
    ~HomePage() override;

    // The title over the menu, which names the family whose menu shows.
    void setTitle(const QString &title);
    void showHomeGlyph();
    void retranslate();

signals:
    void entryClicked(const QString &text);

public slots:
    // The common slot of the menu buttons.
    void buttonClicked();

private:
    QList<QToolButton *> entries() const;

    std::unique_ptr<Ui::HomePage> ui;
    QList<QToolButton *> m_common;
};

class Rx41HomePage : public QWidget
{
    Q_OBJECT
public:
    explicit Rx41HomePage(QWidget *parent = nullptr);
    ~Rx41HomePage() override;

    void retranslate();

signals:
    void entryClicked(const QString &text);

public slots:
    // The common slot of the menu buttons.
    void buttonClicked();

private:
    QList<QToolButton *> entries() const;

    std::unique_ptr<Ui::Rx41HomePage> ui;
    QList<QToolButton *> m_common;
};
