#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <deque>
#include <vector>

// Every sample of a run, once, at full resolution: the chart draws from it and
// the CSV export writes it. Samples live in fixed-size chunks so a run of days
// grows without copying what is already stored.
class SampleStore
{
public:
    // The ten quantities in record order (the order the CSV writer takes them).
    enum Quantity {
        Voltage = 0,
        Current,
        Power,
        Resistance,
        Energy,
        Capacity,
        MosTemp,
        FanSpeed,
        CpuTemp,
        NtcTemp,
        QuantityCount
    };
    using Values = std::array<float, QuantityCount>;

    // timeMs: local wall-clock time of the sample, milliseconds since the epoch.
    void append(qint64 timeMs, const Values &values);
    void clear();

    size_t size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    qint64 timeAt(size_t i) const { return chunk(i).times[i % ChunkSize]; }
    float valueAt(Quantity q, size_t i) const { return chunk(i).values[q][i % ChunkSize]; }
    Values valuesAt(size_t i) const;

    // First index whose time is >= timeMs (size() when none); times never go back.
    size_t lowerBound(qint64 timeMs) const;

    // "yyyy-MM-dd_hh:mm:ss" in local time, the record's time-stamp text.
    static QString timeText(qint64 timeMs);
    QString timeTextAt(size_t i) const { return timeText(timeAt(i)); }

    static constexpr size_t ChunkSize = 4096;

    // Raw chunk access for scans over long runs: chunk k holds samples
    // k * ChunkSize onwards, chunkLength(k) of them.
    size_t chunkCount() const { return m_chunks.size(); }
    size_t chunkLength(size_t k) const { return m_chunks[k].times.size(); }
    const qint64 *chunkTimes(size_t k) const { return m_chunks[k].times.data(); }
    const float *chunkValues(Quantity q, size_t k) const { return m_chunks[k].values[q].data(); }

    // Lowest and highest finite value of every BlockSize samples (block b
    // holds samples b * BlockSize onwards), with their offsets in the block,
    // so a scan over a long run can skip whole blocks. An empty block (no
    // finite value yet) has min > max.
    static constexpr size_t BlockSize = 64;
    struct Block
    {
        float min[QuantityCount];
        float max[QuantityCount];
        quint8 minAt[QuantityCount];
        quint8 maxAt[QuantityCount];
    };
    const Block &blockAt(size_t b) const
    {
        return m_chunks[b / BlocksPerChunk].blocks[b % BlocksPerChunk];
    }

    // Heap bytes held for the samples (the chunks' reserved storage).
    size_t memoryBytes() const;

private:
    static constexpr size_t BlocksPerChunk = ChunkSize / BlockSize;
    struct Chunk
    {
        std::vector<qint64> times;
        std::array<std::vector<float>, QuantityCount> values;
        std::vector<Block> blocks;
    };
    const Chunk &chunk(size_t i) const { return m_chunks[i / ChunkSize]; }

    std::deque<Chunk> m_chunks;
    size_t m_size = 0;
};
