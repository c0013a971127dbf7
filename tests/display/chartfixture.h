#pragma once

#include "realtimechart.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtCharts/QCategoryAxis>

#include <memory>

// A settings file of its own and a clock the test moves.
struct ChartFixture
{
    std::unique_ptr<QTemporaryDir> dir;
    QString oldDir;
    qint64 clockMs = 1700000000000;  // a whole second

    void enter()
    {
        dir.reset(new QTemporaryDir);
        oldDir = QDir::currentPath();
        QDir::setCurrent(dir->path());
    }
    void leave() { QDir::setCurrent(oldDir); }

    std::unique_ptr<RealTimeChart> makeChart(SampleStore *store = nullptr)
    {
        auto chart = std::make_unique<RealTimeChart>(store);
        chart->setClock([this] { return clockMs; });
        return chart;
    }
};

inline SampleStore::Values sampleValues(float volt, float curr = 1, float power = 1)
{
    SampleStore::Values v{};
    v[SampleStore::Voltage] = volt;
    v[SampleStore::Current] = curr;
    v[SampleStore::Power] = power;
    v[SampleStore::Energy] = 0.5f;
    v[SampleStore::Capacity] = 3;
    v[SampleStore::CpuTemp] = 30;
    v[SampleStore::NtcTemp] = 25;
    v[SampleStore::MosTemp] = 35;
    return v;
}

inline QStringList axisLabels(QtCharts::QCategoryAxis *axis)
{
    return axis->categoriesLabels();
}
