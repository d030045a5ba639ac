// The chart of one security's prices: a close line, OHLC bars or candles,
// volume beneath, a date axis whose ticks fit the span shown (days to
// decades), zoom with the mouse wheel, drag to move, and a crosshair that
// says the date and values under the pointer. Drawn with QPainter; only the
// visible records are visited, and when there are more than pixels each
// pixel column draws the range of the records it covers.
#pragma once

#include <QWidget>
#include <vector>

namespace tarvel {

// One day of a price file; NaN where the security has no such field.
struct PriceBar {
    int day = 0;  // YYYYMMDD
    float open, high, low, close, volume;
};

class CPriceChart : public QWidget {
public:
    enum class EStyle { kLine, kBars, kCandles };

    explicit CPriceChart(QWidget* parent = nullptr);

    // Shows `bars` (oldest first), all of them.
    void SetBars(std::vector<PriceBar> bars);
    void SetStyle(EStyle style);
    EStyle Style() const { return m_style; }

    // The records shown: [first, last), fractional while zooming.
    double First() const { return m_first; }
    double Last() const { return m_last; }
    // Zooms by `factor` (below 1 in) keeping the record at `anchor` (0 the
    // left edge of the plot, 1 the right) where it is; at least five
    // records stay in view.
    void Zoom(double factor, double anchor);
    // Moves the view by `records` (positive: to later dates).
    void Pan(double records);

    // What the crosshair says at plot x `x` (widget coordinates): the date
    // and values of the record under it; empty outside the records.
    QString TextAt(int x) const;
    // The date axis labels of the view as last drawn, left to right.
    const QStringList& AxisLabels() const { return m_axisLabels; }

    // Draws the chart into `rect` of `painter` (what paintEvent does).
    void Render(QPainter& painter, const QRect& rect);

    QSize sizeHint() const override { return {640, 400}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRect PlotRect(const QRect& rect) const;
    void Clamp();
    // The record under plot x `x` of the last drawn plot; -1 when none.
    long RecordAt(int x) const;

    std::vector<PriceBar> m_bars;
    EStyle m_style = EStyle::kLine;
    double m_first = 0, m_last = 0;
    QRect m_plot;  // as last drawn
    QStringList m_axisLabels;
    int m_mouseX = -1;
    int m_dragX = -1;
    double m_dragFirst = 0;
};

}  // namespace tarvel
