#ifndef PLOTTRACE_H
#define PLOTTRACE_H

#include <QVector>

#include <deque>

class QCPGraph;

// One register on the Dashboard's plot: every value it was sampled with,
// kept for the export at eight bytes each, and what its graph draws of them.
//
// The graph draws a bounded summary, so that a sample costs the same after
// a day as after a minute: consecutive samples are gathered in buckets of
// equal size, each drawn as its first, lowest, highest and last value in
// the order they came (fewer points while a bucket holds fewer samples).
// When the buckets fill their limit, neighbours merge and the size doubles.
// The lowest and highest values stay drawn, so no peak is lost.
class PlotTrace
{
public:
    // Buckets drawn at most; a graph draws at most four times as many points.
    static const int maxBuckets = 128;

    // The trace's first value belongs to the plot's sample firstSample.
    PlotTrace(QCPGraph* graph, int firstSample);

    QCPGraph* graph() const { return m_graph; }
    bool hasSample(int sample) const;
    double value(int sample) const;
    // Buckets and samples a bucket holds, for checking what is drawn.
    int bucketCount() const { return m_buckets.size(); }
    int bucketSize() const { return m_bucketSize; }

    // The value of the plot's next sample; times holds the time of every
    // sample of the plot, this one's last.
    void append(double value, const std::deque<double>& times);
    // Every value and point goes; the next value is the plot's sample 0.
    void clear();

private:
    // Positions in m_values of the samples a bucket draws.
    struct Bucket
    {
        int first;
        int lowest;
        int highest;
        int last;
    };

    int pointsPerBucket() const;
    void drawLastBucket(const std::deque<double>& times, bool started);
    void mergeBuckets(const std::deque<double>& times);
    void bucketPoints(const Bucket& bucket, int* positions) const;

    QCPGraph* m_graph;
    int m_firstSample;
    std::deque<double> m_values;
    QVector<Bucket> m_buckets;
    int m_bucketSize = 1;
};

#endif // PLOTTRACE_H
