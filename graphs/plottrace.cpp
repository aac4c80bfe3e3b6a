#include "plottrace.h"

#include <qcustomplot.h>

#include <algorithm>

PlotTrace::PlotTrace(QCPGraph* graph, int firstSample)
    : m_graph(graph)
    , m_firstSample(firstSample)
{
}

bool PlotTrace::hasSample(int sample) const
{
    return sample >= m_firstSample && sample - m_firstSample < int(m_values.size());
}

double PlotTrace::value(int sample) const
{
    return m_values[sample - m_firstSample];
}

void PlotTrace::append(double value, const std::deque<double>& times)
{
    m_values.push_back(value);
    const int position = int(m_values.size()) - 1;
    if (position == m_buckets.size() * m_bucketSize) {
        if (m_buckets.size() == maxBuckets)
            mergeBuckets(times);
        m_buckets.append({position, position, position, position});
        drawLastBucket(times, true);
        return;
    }
    Bucket& bucket = m_buckets.last();
    bucket.last = position;
    if (value < m_values[bucket.lowest])
        bucket.lowest = position;
    if (value > m_values[bucket.highest])
        bucket.highest = position;
    drawLastBucket(times, false);
}

void PlotTrace::clear()
{
    m_values.clear();
    m_buckets.clear();
    m_bucketSize = 1;
    m_firstSample = 0;
    m_graph->data()->clear();
    m_graph->setAntialiased(true);
}

// A bucket of one or two samples draws them all.
int PlotTrace::pointsPerBucket() const
{
    return std::min(m_bucketSize, 4);
}

void PlotTrace::bucketPoints(const Bucket& bucket, int* positions) const
{
    if (pointsPerBucket() < 4) {
        positions[0] = bucket.first;
        positions[1] = bucket.last;
        return;
    }
    positions[0] = bucket.first;
    positions[1] = std::min(bucket.lowest, bucket.highest);
    positions[2] = std::max(bucket.lowest, bucket.highest);
    positions[3] = bucket.last;
}

// The last bucket's points are the graph's last ones: a new bucket adds
// them, a growing one moves them in place.
void PlotTrace::drawLastBucket(const std::deque<double>& times, bool started)
{
    int positions[4];
    bucketPoints(m_buckets.last(), positions);
    const int points = pointsPerBucket();
    QSharedPointer<QCPGraphDataContainer> data = m_graph->data();
    if (started) {
        for (int i = 0; i < points; ++i)
            data->add(QCPGraphData(times[m_firstSample + positions[i]], m_values[positions[i]]));
        return;
    }
    auto point = data->end() - points;
    for (int i = 0; i < points; ++i, ++point) {
        point->key = times[m_firstSample + positions[i]];
        point->value = m_values[positions[i]];
    }
}

void PlotTrace::mergeBuckets(const std::deque<double>& times)
{
    QVector<Bucket> merged;
    merged.reserve(maxBuckets);
    for (int i = 0; i + 1 < m_buckets.size(); i += 2) {
        const Bucket& early = m_buckets.at(i);
        const Bucket& late = m_buckets.at(i + 1);
        merged.append(
            {early.first,
             m_values[late.lowest] < m_values[early.lowest] ? late.lowest : early.lowest,
             m_values[late.highest] > m_values[early.highest] ? late.highest : early.highest,
             late.last});
    }
    m_buckets = merged;
    m_bucketSize *= 2;
    // Hundreds of steep strokes drawn smooth cost several times a fresh
    // plot's drawing; at this density the eye sees no difference.
    m_graph->setAntialiased(false);

    int positions[4];
    const int points = pointsPerBucket();
    QVector<QCPGraphData> drawn;
    drawn.reserve(m_buckets.size() * points);
    for (const Bucket& bucket : qAsConst(m_buckets)) {
        bucketPoints(bucket, positions);
        for (int i = 0; i < points; ++i)
            drawn.append(QCPGraphData(times[m_firstSample + positions[i]], m_values[positions[i]]));
    }
    m_graph->data()->set(drawn, true);
}
