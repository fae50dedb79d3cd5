#include "ui/SignalPlot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

#include "exchange/StatusLog.h"

namespace quelvar::ui {

namespace {

using Clock = std::chrono::system_clock;
constexpr int kMargin = 36;

std::optional<int> LevelOf(const std::string& text) {
    exchange::SignalStats one;
    one.Add(text);
    return one.Maximum();
}

struct Point {
    Clock::time_point at;
    int level;
};

}  // namespace

SignalPlot::SignalPlot(const DeviceLog& log, QWidget* parent) : QWidget(parent), log_(log) {
    setMinimumSize(360, 160);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void SignalPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(kMargin, 12, -12, -24);
    const Clock::time_point end = Clock::now();
    const Clock::time_point start = end - DeviceLog::kSignalSpan;
    const double span = std::chrono::duration<double>(DeviceLog::kSignalSpan).count();
    auto x = [&](Clock::time_point at) {
        return area.left() +
               area.width() * std::chrono::duration<double>(at - start).count() / span;
    };
    auto y = [&](int level) {
        return area.bottom() - area.height() * level / exchange::kMaxSignalLevel;
    };

    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    for (int level : {0, 10, 20, exchange::kMaxSignalLevel}) {
        painter.drawLine(QPointF(area.left(), y(level)), QPointF(area.right(), y(level)));
        painter.drawText(QRectF(0, y(level) - 8, kMargin - 6, 16),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(level));
    }
    painter.drawText(QRectF(area.left(), area.bottom() + 4, area.width(), 18),
                     Qt::AlignLeft | Qt::AlignTop, "-10 min");
    painter.drawText(QRectF(area.left(), area.bottom() + 4, area.width(), 18),
                     Qt::AlignRight | Qt::AlignTop, "now");

    std::vector<Point> points;
    for (const link::StatusRecord& record : log_.SignalPoints()) {
        if (const std::optional<int> level = LevelOf(record.text); level && record.at >= start) {
            points.push_back({record.at, *level});
        }
    }
    if (points.empty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(area, Qt::AlignCenter, "No signal report yet");
        return;
    }
    QPainterPath path(QPointF(x(points.front().at), y(points.front().level)));
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QPointF at(x(points[i].at), y(points[i].level));
        // No line across the time the device was away.
        if (log_.GapBetween(points[i - 1].at, points[i].at)) {
            path.moveTo(at);
        } else {
            path.lineTo(at);
        }
    }
    painter.setPen(QPen(QColor(0, 90, 180), 2));
    painter.drawPath(path);

    const auto [low, high] =
        std::minmax_element(points.begin(), points.end(),
                            [](const Point& a, const Point& b) { return a.level < b.level; });
    const std::pair<const Point*, QColor> marks[] = {{&*low, QColor(200, 0, 0)},
                                                     {&*high, QColor(0, 130, 0)}};
    for (const auto& [point, colour] : marks) {
        const QPointF at(x(point->at), y(point->level));
        painter.setPen(QPen(colour, 1, Qt::DashLine));
        painter.drawLine(QPointF(area.left(), at.y()), QPointF(area.right(), at.y()));
        painter.setPen(QPen(colour, 2));
        painter.setBrush(colour);
        painter.drawEllipse(at, 4, 4);
        const QString caption =
            QString("%1 %2").arg(point == &*low ? "min" : "max").arg(point->level);
        const bool above = point == &*high;
        painter.drawText(QRectF(area.right() - 80, at.y() + (above ? -18 : 2), 78, 16),
                         Qt::AlignRight | Qt::AlignVCenter, caption);
    }
}

}  // namespace quelvar::ui
