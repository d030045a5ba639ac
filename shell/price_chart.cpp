#include "shell/price_chart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace tarvel {
namespace {

constexpr int kAxisWidth = 70;     // price labels, right of the plot
constexpr int kAxisHeight = 22;    // date labels, below it
constexpr int kTextHeight = 20;    // the crosshair's line, above it
constexpr int kLabelSpacing = 80;  // least pixels from one date label to the next
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1 March of year 0, so that two dates' difference is days.
long Serial(int day) {
    int y = day / 10000, m = day / 100 % 100, d = day % 100;
    if (m <= 2) {
        y -= 1;
        m += 12;
    }
    return 365L * y + y / 4 - y / 100 + y / 400 + (153 * (m - 3) + 2) / 5 + d;
}

QString Number(float value) {
    const double v = value;
    return std::fabs(v) >= 1e7 ? QString::number(v, 'f', 0) : QString::number(v, 'g', 7);
}

// A step of 1, 2 or 5 times a power of ten that cuts `range` into about
// `parts` parts.
double NiceStep(double range, int parts) {
    const double raw = range / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (raw <= m * power) return m * power;
    }
    return 10 * power;
}

// One pixel column, or one record when there are fewer records than pixels.
struct Column {
    double x = 0;
    float open = NAN, high = NAN, low = NAN, close = NAN, volume = 0;
    int day = 0;
};

// The date axis: a granularity in days and the key that changes at its
// boundaries.
struct DateStep {
    double days;
    long (*key)(int day);
    QString (*label)(int day);
};

QString DayLabel(int day) {
    return QString::number(day % 100) + " " + kMonths[day / 100 % 100 - 1] + " " +
           QString::number(day / 10000);
}
QString MonthLabel(int day) {
    return QString(kMonths[day / 100 % 100 - 1]) + " " + QString::number(day / 10000);
}
QString YearLabel(int day) { return QString::number(day / 10000); }

const DateStep kDateSteps[] = {
    {1, [](int day) { return Serial(day); }, DayLabel},
    {7, [](int day) { return (Serial(day) + 2) / 7; }, DayLabel},
    {30.4, [](int day) { return long(day / 10000 * 12 + day / 100 % 100 - 1); }, MonthLabel},
    {91.3, [](int day) { return long(day / 10000 * 12 + day / 100 % 100 - 1) / 3; }, MonthLabel},
    {365.25, [](int day) { return long(day / 10000); }, YearLabel},
    {730.5, [](int day) { return long(day / 10000 / 2); }, YearLabel},
    {1826, [](int day) { return long(day / 10000 / 5); }, YearLabel},
    {3652, [](int day) { return long(day / 10000 / 10); }, YearLabel},
    {7305, [](int day) { return long(day / 10000 / 20); }, YearLabel},
    {18262, [](int day) { return long(day / 10000 / 50); }, YearLabel},
};

}  // namespace

CPriceChart::CPriceChart(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(240, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPriceChart::SetBars(std::vector<PriceBar> bars) {
    m_bars = std::move(bars);
    m_first = 0;
    m_last = static_cast<double>(m_bars.size());
    update();
}

void CPriceChart::SetStyle(EStyle style) {
    m_style = style;
    update();
}

void CPriceChart::Clamp() {
    const double n = static_cast<double>(m_bars.size());
    double span = std::clamp(m_last - m_first, std::min(5.0, n), n);
    m_first = std::clamp(m_first, 0.0, n - span);
    m_last = m_first + span;
}

void CPriceChart::Zoom(double factor, double anchor) {
    const double span = m_last - m_first, pivot = m_first + anchor * span;
    const double n = static_cast<double>(m_bars.size());
    const double wanted = std::clamp(span * factor, std::min(5.0, n), n);
    m_first = pivot - anchor * wanted;
    m_last = m_first + wanted;
    Clamp();
    update();
}

void CPriceChart::Pan(double records) {
    m_first += records;
    m_last += records;
    Clamp();
    update();
}

QRect CPriceChart::PlotRect(const QRect& rect) const {
    return rect.adjusted(4, kTextHeight, -kAxisWidth, -kAxisHeight);
}

long CPriceChart::RecordAt(int x) const {
    if (m_bars.empty() || m_plot.width() <= 0 || x < m_plot.left() || x > m_plot.right()) return -1;
    const double at = m_first + (x - m_plot.left() + 0.5) * (m_last - m_first) / m_plot.width();
    const long i = static_cast<long>(std::floor(at));
    return i >= 0 && i < static_cast<long>(m_bars.size()) ? i : -1;
}

QString CPriceChart::TextAt(int x) const {
    const long i = RecordAt(x);
    if (i < 0) return {};
    const PriceBar& b = m_bars[static_cast<std::size_t>(i)];
    QString text = QString::asprintf("%04d-%02d-%02d", b.day / 10000, b.day / 100 % 100, b.day % 100);
    const std::pair<const char*, float> values[] = {
        {"O", b.open}, {"H", b.high}, {"L", b.low}, {"C", b.close}, {"V", b.volume}};
    for (const auto& [label, value] : values) {
        if (!std::isnan(value)) text += QString("   %1 %2").arg(label, Number(value));
    }
    return text;
}

void CPriceChart::Render(QPainter& p, const QRect& rect) {
    const QPalette& pal = palette();
    p.fillRect(rect, pal.base());
    m_plot = PlotRect(rect);
    m_axisLabels.clear();
    if (m_bars.empty() || m_plot.width() < 10 || m_plot.height() < 10) {
        p.setPen(pal.color(QPalette::PlaceholderText));
        p.drawText(rect, Qt::AlignCenter, tr("No price records"));
        return;
    }
    const int width = m_plot.width();
    const double span = m_last - m_first;
    const long lo = std::max(0L, static_cast<long>(std::floor(m_first)));
    const long hi = std::min(static_cast<long>(m_bars.size()), static_cast<long>(std::ceil(m_last)));
    const bool line = m_style == EStyle::kLine;

    // Columns: one a record, or one a pixel when records outnumber pixels.
    std::vector<Column> columns;
    const bool decimate = span > width / 2.0;
    columns.reserve(decimate ? static_cast<std::size_t>(width) : static_cast<std::size_t>(hi - lo));
    int lastPixel = -1;
    for (long i = lo; i < hi; ++i) {
        const PriceBar& b = m_bars[static_cast<std::size_t>(i)];
        const double x = m_plot.left() + (static_cast<double>(i) + 0.5 - m_first) * width / span;
        const float high = line || std::isnan(b.high) ? b.close : b.high;
        const float low = line || std::isnan(b.low) ? b.close : b.low;
        const int pixel = static_cast<int>(x);
        if (!decimate || pixel != lastPixel || columns.empty()) {
            columns.push_back({decimate ? pixel + 0.5 : x, b.open, high, low, b.close, 0, b.day});
            lastPixel = pixel;
        } else {
            Column& c = columns.back();
            c.high = std::max(c.high, high);
            c.low = std::min(c.low, low);
            c.close = b.close;
        }
        if (!std::isnan(b.volume)) columns.back().volume += b.volume;
    }
    float top = -INFINITY, bottom = INFINITY, most = 0;
    for (const Column& c : columns) {
        if (!std::isnan(c.high)) top = std::max(top, c.high);
        if (!std::isnan(c.low)) bottom = std::min(bottom, c.low);
        most = std::max(most, c.volume);
    }
    if (!(top >= bottom)) top = bottom = 0;
    // Room above and below, never too little to tell the two apart.
    const double pad = std::max({(static_cast<double>(top) - bottom) * 0.05,
                                 std::max(std::fabs(double(top)), std::fabs(double(bottom))) * 1e-6, 1e-6});
    const double priceTop = top + pad, priceBottom = bottom - pad;

    const bool volume = most > 0;
    QRect prices = m_plot, volumes;
    if (volume) {
        prices.setBottom(m_plot.top() + m_plot.height() * 3 / 4 - 4);
        volumes = QRect(m_plot.left(), prices.bottom() + 8, width, m_plot.bottom() - prices.bottom() - 8);
    }
    auto yOf = [&](double v) {
        return prices.bottom() - (v - priceBottom) * prices.height() / (priceTop - priceBottom);
    };

    // Price grid and labels.
    const QColor grid = pal.color(QPalette::Mid).lighter(150);
    const double step = NiceStep(priceTop - priceBottom, 5);
    p.setFont(font());
    const double firstTick = std::ceil(priceBottom / step);
    const bool ticks = step > 0 && std::isfinite(firstTick) && (priceTop - priceBottom) / step < 50;
    for (int k = 0; ticks && (firstTick + k) * step <= priceTop; ++k) {
        const double v = (firstTick + k) * step;
        const int y = static_cast<int>(yOf(v));
        p.setPen(grid);
        p.drawLine(m_plot.left(), y, m_plot.right(), y);
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QRect(m_plot.right() + 6, y - 10, kAxisWidth - 8, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   Number(static_cast<float>(std::fabs(v) < step / 1e6 ? 0 : v)));
    }

    // Date axis: ticks where the chosen period changes, labels apart enough.
    const double daysShown =
        std::max(1.0, static_cast<double>(Serial(m_bars[static_cast<std::size_t>(hi - 1)].day) -
                                          Serial(m_bars[static_cast<std::size_t>(lo)].day)));
    const double daysPerPixel = daysShown / width;
    const DateStep* dateStep = &kDateSteps[std::size(kDateSteps) - 1];
    for (const DateStep& s : kDateSteps) {
        if (s.days / daysPerPixel >= kLabelSpacing) {
            dateStep = &s;
            break;
        }
    }
    long lastKey = dateStep->key(m_bars[static_cast<std::size_t>(lo)].day);
    double lastLabelX = -1e9;
    for (const Column& c : columns) {
        const long key = dateStep->key(c.day);
        if (key == lastKey || c.x - lastLabelX < kLabelSpacing) {
            lastKey = key;
            continue;
        }
        lastKey = key;
        lastLabelX = c.x;
        const int x = static_cast<int>(c.x);
        p.setPen(grid);
        p.drawLine(x, m_plot.top(), x, m_plot.bottom());
        const QString label = dateStep->label(c.day);
        m_axisLabels << label;
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QRect(x - 50, m_plot.bottom() + 3, 100, kAxisHeight - 3), Qt::AlignHCenter | Qt::AlignTop,
                   label);
    }

    // The prices.
    p.save();
    p.setClipRect(prices.adjusted(0, -1, 0, 1));
    const QColor ink = pal.color(QPalette::Text), up(0, 140, 70), down(200, 40, 40);
    const double barWidth = decimate ? 1.0 : width / span;
    if (line) {
        QPolygonF polyline;
        polyline.reserve(static_cast<int>(columns.size()));
        p.setPen(QPen(QColor(30, 90, 200), 1.5));
        for (const Column& c : columns) {
            if (std::isnan(c.close)) continue;
            if (decimate && c.high > c.low) p.drawLine(QPointF(c.x, yOf(c.low)), QPointF(c.x, yOf(c.high)));
            polyline << QPointF(c.x, yOf(c.close));
        }
        p.drawPolyline(polyline);
    } else {
        const double tick = std::max(1.0, barWidth * 0.35);
        for (const Column& c : columns) {
            if (std::isnan(c.close)) continue;
            const bool rising = std::isnan(c.open) || c.close >= c.open;
            p.setPen(m_style == EStyle::kCandles ? (rising ? up : down) : ink);
            p.drawLine(QPointF(c.x, yOf(c.low)), QPointF(c.x, yOf(c.high)));
            if (decimate || std::isnan(c.open)) {
                if (!decimate) p.drawLine(QPointF(c.x, yOf(c.close)), QPointF(c.x + tick, yOf(c.close)));
                continue;
            }
            if (m_style == EStyle::kBars) {
                p.drawLine(QPointF(c.x - tick, yOf(c.open)), QPointF(c.x, yOf(c.open)));
                p.drawLine(QPointF(c.x, yOf(c.close)), QPointF(c.x + tick, yOf(c.close)));
            } else {
                const QRectF body(QPointF(c.x - tick, yOf(std::max(c.open, c.close))),
                                  QPointF(c.x + tick, yOf(std::min(c.open, c.close))));
                p.fillRect(body.adjusted(0, 0, 0, body.height() < 1 ? 1 : 0), rising ? up : down);
            }
        }
    }
    p.restore();

    // Volume beneath.
    if (volume) {
        p.setPen(grid);
        p.drawLine(volumes.left(), volumes.top() - 4, volumes.right(), volumes.top() - 4);
        const QColor fill = pal.color(QPalette::Mid);
        const double w = std::max(1.0, barWidth * 0.7);
        for (const Column& c : columns) {
            if (c.volume <= 0) continue;
            const double h = static_cast<double>(c.volume) / most * volumes.height();
            p.fillRect(QRectF(c.x - w / 2, volumes.bottom() - h, w, h), fill);
        }
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QRect(m_plot.right() + 6, volumes.top(), kAxisWidth - 8, 20), Qt::AlignLeft | Qt::AlignTop,
                   Number(most));
    }

    // The frame, and the crosshair with its line of values.
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(m_plot);
    if (RecordAt(m_mouseX) >= 0) {
        p.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DashLine));
        p.drawLine(m_mouseX, m_plot.top(), m_mouseX, m_plot.bottom());
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QRect(m_plot.left(), rect.top(), rect.width(), kTextHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, TextAt(m_mouseX));
    }
}

void CPriceChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Render(p, rect());
}

void CPriceChart::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0 || m_plot.width() <= 0) return;
    const double anchor = std::clamp((event->position().x() - m_plot.left()) / m_plot.width(), 0.0, 1.0);
    Zoom(std::pow(0.8, delta / 120.0), anchor);
    event->accept();
}

void CPriceChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragX = static_cast<int>(event->position().x());
    m_dragFirst = m_first;
    setCursor(Qt::ClosedHandCursor);
}

void CPriceChart::mouseMoveEvent(QMouseEvent* event) {
    m_mouseX = static_cast<int>(event->position().x());
    if (m_dragX >= 0 && m_plot.width() > 0) {
        const double span = m_last - m_first;
        Pan(m_dragFirst - (m_mouseX - m_dragX) * span / m_plot.width() - m_first);
    }
    update();
}

void CPriceChart::mouseReleaseEvent(QMouseEvent*) {
    m_dragX = -1;
    unsetCursor();
}

void CPriceChart::leaveEvent(QEvent*) {
    m_mouseX = -1;
    update();
}

}  // namespace tarvel
