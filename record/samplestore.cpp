#include "samplestore.h"

#include <QDateTime>
#include <cmath>
#include <limits>

void SampleStore::append(qint64 timeMs, const Values &values)
{
    if (m_size % ChunkSize == 0) {
        m_chunks.emplace_back();
        Chunk &c = m_chunks.back();
        c.times.reserve(ChunkSize);
        for (auto &v : c.values)
            v.reserve(ChunkSize);
        c.blocks.reserve(BlocksPerChunk);
    }
    Chunk &c = m_chunks.back();
    // A clock set back must not break the ordered look-ups the chart relies on.
    if (m_size > 0 && timeMs < timeAt(m_size - 1))
        timeMs = timeAt(m_size - 1);
    c.times.push_back(timeMs);
    for (int q = 0; q < QuantityCount; ++q)
        c.values[q].push_back(values[q]);

    const quint8 at = quint8(m_size % BlockSize);
    if (at == 0) {
        Block b;
        for (int q = 0; q < QuantityCount; ++q) {
            b.min[q] = std::numeric_limits<float>::infinity();
            b.max[q] = -std::numeric_limits<float>::infinity();
            b.minAt[q] = b.maxAt[q] = 0;
        }
        c.blocks.push_back(b);
    }
    Block &b = c.blocks.back();
    for (int q = 0; q < QuantityCount; ++q) {
        const float v = values[q];
        if (!std::isfinite(v))
            continue;
        if (v < b.min[q]) {
            b.min[q] = v;
            b.minAt[q] = at;
        }
        if (v > b.max[q]) {
            b.max[q] = v;
            b.maxAt[q] = at;
        }
    }
    ++m_size;
}

void SampleStore::clear()
{
    m_chunks.clear();
    m_size = 0;
}

SampleStore::Values SampleStore::valuesAt(size_t i) const
{
    Values v;
    const Chunk &c = chunk(i);
    for (int q = 0; q < QuantityCount; ++q)
        v[q] = c.values[q][i % ChunkSize];
    return v;
}

size_t SampleStore::lowerBound(qint64 timeMs) const
{
    size_t lo = 0, hi = m_size;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (timeAt(mid) < timeMs)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

QString SampleStore::timeText(qint64 timeMs)
{
    return QDateTime::fromMSecsSinceEpoch(timeMs).toString(QStringLiteral("yyyy-MM-dd_hh:mm:ss"));
}

size_t SampleStore::memoryBytes() const
{
    size_t bytes = 0;
    for (const Chunk &c : m_chunks) {
        bytes += sizeof(Chunk) + c.times.capacity() * sizeof(qint64);
        for (const auto &v : c.values)
            bytes += v.capacity() * sizeof(float);
        bytes += c.blocks.capacity() * sizeof(Block);
    }
    return bytes;
}
