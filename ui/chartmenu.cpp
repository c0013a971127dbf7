#include "chartmenu.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QImageWriter>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <memory>

namespace {

QIcon menuIcon(const QString &path)
{
    return QIcon(QPixmap(path).scaled(100, 100));
}

} // namespace

ChartMenu::ChartMenu(QWidget *window)
    : QObject(window), m_window(window), m_saveFile(dialoghooks::defaultSaveFile()),
      m_message(dialoghooks::defaultMessage())
{
}

QMenu *ChartMenu::buildMenu()
{
    auto *menu = new QMenu(m_window);
    QAction *data = menu->addAction(menuIcon(QStringLiteral(":/sys/rs/rs/ExportData.png")),
                                    tr("导出数据(.csv)"));
    QAction *image = menu->addAction(menuIcon(QStringLiteral(":/sys/rs/rs/ExportImage.png")),
                                     tr("导出图片(.png)"));
    QAction *curves =
        menu->addAction(menuIcon(QStringLiteral(":/sys/rs/rs/MoreSettings.png")), tr("曲线设置"));
    QAction *all =
        menu->addAction(menuIcon(QStringLiteral(":/sys/rs/rs/AccuGrpDisp.png")), tr("累计图显"));
    QAction *scroll =
        menu->addAction(menuIcon(QStringLiteral(":/sys/rs/rs/ScrollDisp.png")), tr("滚动图显"));
    // Every model's record runs from the connection on; this starts it afresh.
    QAction *clear = menu->addAction(tr("清除记录"));
    menu->addAction(tr("开发中..."));
    connect(clear, &QAction::triggered, this, &ChartMenu::clearRecordRequested);

    connect(data, &QAction::triggered, this, &ChartMenu::exportDataRequested);
    connect(image, &QAction::triggered, this, &ChartMenu::exportImageRequested);
    connect(curves, &QAction::triggered, this, &ChartMenu::curveSettingsRequested);
    connect(all, &QAction::triggered, this,
            [this] { emit displayModeChanged(AccumulatingDisplay); });
    connect(scroll, &QAction::triggered, this,
            [this] { emit displayModeChanged(ScrollingDisplay); });
    return menu;
}

void ChartMenu::exec(QPushButton *button, const QPoint &pos)
{
    // Built for each press so the texts follow the language. Not attached to
    // the button: a button with a menu opens it by itself and the texts of
    // that old menu would no longer follow a language change.
    std::unique_ptr<QMenu> menu(buildMenu());
    if (button)
        button->setStyleSheet(QStringLiteral("QPushButton::menu-indicator{image:none}"));
    menu->exec(pos == QPoint(-1, -1) ? QCursor::pos() : pos);
}

bool ChartMenu::exportImage(QWidget *view)
{
    // Taken before the dialog opens, so the picture is the chart as it was chosen.
    const QImage image = view ? view->grab().toImage() : QImage();

    QString fileName =
        m_saveFile(m_window, tr("Save File"), QStringLiteral("chart"), tr("image(*.png)"));
    if (fileName.isEmpty())
        return false;

    QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
        fileName += QStringLiteral(".png");
        format = "png";
    }

    QString reason;
    QFile file(fileName);
    if (image.isNull()) {
        reason = tr("图表为空");
    } else if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else if (!image.save(&file, format.constData()) || !file.flush()) {
        reason = file.error() != QFileDevice::NoError ? file.errorString() : tr("图片编码失败");
        file.close();
        file.remove(); // a half-written image would only mislead
    }
    if (reason.isEmpty())
        return true;
    m_message(m_window, QMessageBox::Warning, tr("错误"),
              tr("无法保存图片 %1：%2").arg(QDir::toNativeSeparators(fileName), reason));
    return false;
}
