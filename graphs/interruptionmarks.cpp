#include "interruptionmarks.h"

#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

// Longer dash patterns are drawn as lines.
const int longestTiledPeriod = 256;

} // namespace

InterruptionMarks::InterruptionMarks(QCustomPlot* plot, QCPAxis* keyAxis)
    : QCPAbstractItem(plot)
    , m_keyAxis(keyAxis)
{
    setSelectable(false);
    // Whole pixels: crisp however many lie side by side.
    setAntialiased(false);
}

void InterruptionMarks::setPen(const QPen& pen)
{
    m_pen = pen;
}

void InterruptionMarks::append(double time)
{
    m_times.insert(std::upper_bound(m_times.begin(), m_times.end(), time), time);
}

void InterruptionMarks::clear()
{
    m_times.clear();
}

double InterruptionMarks::selectTest(const QPointF&, bool, QVariant*) const
{
    return -1;
}

// Where a straight line through each time would be drawn, and only within
// the rectangle; of the marks on one pixel column the leftmost.
QVector<double> InterruptionMarks::shownPositions(const QRect& rect) const
{
    const QCPRange shown = m_keyAxis->range();
    const auto first = std::lower_bound(m_times.cbegin(), m_times.cend(), shown.lower);
    const auto last = std::upper_bound(first, m_times.cend(), shown.upper);
    QVector<double> positions;
    for (auto time = first; time != last; ++time) {
        const double x = m_keyAxis->coordToPixel(*time);
        if (x >= rect.left() && x <= rect.right())
            positions.append(x);
    }
    // A reversed axis lists them from the right.
    std::sort(positions.begin(), positions.end());
    const auto sameColumn = [](double a, double b) { return qRound(a) == qRound(b); };
    positions.erase(std::unique(positions.begin(), positions.end(), sameColumn), positions.end());
    return positions;
}

void InterruptionMarks::draw(QCPPainter* painter)
{
    const QRect rect = clipRect();
    const QVector<double> positions = shownPositions(rect);
    if (positions.isEmpty())
        return;
    if (canTile(painter))
        drawTiled(painter, rect, positions);
    else
        drawLines(painter, rect, positions);
}

// A pixel raster, lines on whole pixels, a hairline and a dash pattern of
// whole pixels: what one period of dashes looks like is known without
// drawing a line.
bool InterruptionMarks::canTile(const QCPPainter* painter) const
{
    if (painter->antialiasing() || painter->modes().testFlag(QCPPainter::pmVectorized)
        || painter->deviceTransform().type() > QTransform::TxTranslate || !m_pen.isCosmetic()
        || m_pen.widthF() > 1 || m_pen.style() == Qt::NoPen
        || m_pen.brush().style() != Qt::SolidPattern)
        return false;
    return !dashRows().isEmpty();
}

// One period of the pen's dashes, a row each, from the top of a line; empty
// when the pattern is not whole pixels.
QVector<bool> InterruptionMarks::dashRows() const
{
    if (m_pen.style() == Qt::SolidLine)
        return {true};
    QVector<bool> rows;
    for (int i = 0; i < m_pen.dashPattern().size(); ++i) {
        const double length = m_pen.dashPattern().at(i);
        if (length != std::floor(length) || length < 0 || rows.size() + length > longestTiledPeriod)
            return {};
        rows.insert(rows.size(), int(length), i % 2 == 0);
    }
    if (m_pen.dashOffset() != std::floor(m_pen.dashOffset()) || !rows.contains(true))
        return {};
    const int offset = int(m_pen.dashOffset()) % rows.size();
    std::rotate(rows.begin(), rows.begin() + (offset + rows.size()) % rows.size(), rows.end());
    return rows;
}

void InterruptionMarks::drawTiled(QCPPainter* painter, const QRect& rect,
                                  const QVector<double>& positions) const
{
    const QVector<bool> rows = dashRows();
    const int left = qRound(positions.first());
    QImage tile(qRound(positions.last()) - left + 1, rows.size(),
                QImage::Format_ARGB32_Premultiplied);
    tile.fill(Qt::transparent);
    const QRgb colour = qPremultiply(m_pen.color().rgba());
    for (int row = 0; row < rows.size(); ++row) {
        if (!rows.at(row))
            continue;
        auto* pixels = reinterpret_cast<QRgb*>(tile.scanLine(row));
        for (double x : positions)
            pixels[qRound(x) - left] = colour;
    }
    painter->setBrushOrigin(left, rect.top());
    painter->fillRect(QRect(left, rect.top(), tile.width(), rect.height()), QBrush(tile));
}

void InterruptionMarks::drawLines(QCPPainter* painter, const QRect& rect,
                                  const QVector<double>& positions) const
{
    painter->setPen(m_pen);
    for (double x : positions)
        painter->drawLine(QLineF(x, rect.top(), x, rect.bottom()));
}
