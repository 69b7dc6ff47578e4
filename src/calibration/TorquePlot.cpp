// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/TorquePlot.h"

#include "platform/MessageBoxes.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QLineSeries>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace zelcor {

namespace {

constexpr double kShownSeconds = TorquePlot::kShownMs / 1000.0;

// 1, 2 or 5 times a power of ten, cutting `span` into at most six parts.
double tickStep(double span) {
    const double least = span / 6;
    const double power = std::pow(10.0, std::floor(std::log10(least)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= least) {
            return factor * power;
        }
    }
    return 10 * power;
}

QString askWithDialog(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, TorquePlot::tr("Save as CSV"),
                                        QStringLiteral("torque.csv"),
                                        TorquePlot::tr("CSV files (*.csv);;All files (*)"));
}

} // namespace

TorquePlot::TorquePlot(QWidget* parent) : QWidget(parent), m_askPath(askWithDialog) {
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    m_series = new QLineSeries(chart);
    m_series->setPen(QPen(QColor(0, 90, 200), 2));
    chart->addSeries(m_series);

    m_timeAxis = new QValueAxis(chart);
    m_timeAxis->setTitleText(tr("Time (s)"));
    m_timeAxis->setLabelFormat(QStringLiteral("%g"));
    // Ticks on whole multiples, so that they stay put while the minute shown slides on.
    m_timeAxis->setTickType(QValueAxis::TicksDynamic);
    m_timeAxis->setTickAnchor(0);
    m_timeAxis->setTickInterval(10);
    m_torqueAxis = new QValueAxis(chart);
    m_torqueAxis->setTitleText(tr("Torque (N·m)"));
    m_torqueAxis->setLabelFormat(QStringLiteral("%g"));
    m_torqueAxis->setTickType(QValueAxis::TicksDynamic);
    m_torqueAxis->setTickAnchor(0);
    chart->addAxis(m_timeAxis, Qt::AlignBottom);
    chart->addAxis(m_torqueAxis, Qt::AlignLeft);
    m_series->attachAxis(m_timeAxis);
    m_series->attachAxis(m_torqueAxis);

    // The view owns the chart.
    auto* view = new QChartView(chart, this);
    view->setObjectName(QStringLiteral("chtTorqueView"));
    view->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    mnuSaveCsv = new QAction(tr("Save as CSV…"), this);
    mnuSaveCsv->setObjectName(QStringLiteral("mnuSaveCsv"));
    mnuClear = new QAction(tr("Clear"), this);
    mnuClear->setObjectName(QStringLiteral("mnuClear"));
    connect(mnuSaveCsv, &QAction::triggered, this, [this] { saveAsCsv(); });
    connect(mnuClear, &QAction::triggered, this, [this] { clear(); });
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    view->addAction(mnuSaveCsv);
    view->addAction(mnuClear);

    rescale();
}

TorquePlot::~TorquePlot() = default;

const std::vector<TorqueSample>& TorquePlot::samples() const {
    static const std::vector<TorqueSample> none;
    return m_history ? m_history() : none;
}

void TorquePlot::addPoint(std::int64_t timeMs, double torque) {
    if (!m_firstMs) {
        m_firstMs = timeMs;
    }
    const double seconds = static_cast<double>(timeMs - *m_firstMs) / 1000.0;
    m_series->append(seconds, torque);
    // The curve keeps only what it shows.
    int old = 0;
    while (old < m_series->count() && m_series->at(old).x() < seconds - kShownSeconds) {
        ++old;
    }
    if (old > 0) {
        m_series->removePoints(0, old);
    }
    rescale();
}

void TorquePlot::clear() {
    if (m_clearHistory) {
        m_clearHistory();
    }
    m_firstMs.reset();
    m_series->clear();
    rescale();
}

void TorquePlot::rescale() {
    const int count = m_series->count();
    if (count == 0) {
        m_timeAxis->setRange(0, kShownSeconds);
        m_torqueAxis->setTickInterval(0.2);
        m_torqueAxis->setRange(0, 1);
        return;
    }
    const double newest = m_series->at(count - 1).x();
    m_timeAxis->setRange(std::max(0.0, newest - kShownSeconds), std::max(kShownSeconds, newest));

    double low = m_series->at(0).y();
    double high = low;
    for (int i = 1; i < count; ++i) {
        low = std::min(low, m_series->at(i).y());
        high = std::max(high, m_series->at(i).y());
    }
    const double margin =
        high - low > 0 ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.1);
    // A curve on one side of zero keeps zero as its edge: a pull starts from rest.
    const double bottom = low >= 0 ? std::max(0.0, low - margin) : low - margin;
    const double top = high < 0 ? std::min(0.0, high + margin) : high + margin;
    const double step = tickStep(top - bottom);
    m_torqueAxis->setTickInterval(step);
    m_torqueAxis->setRange(std::floor(bottom / step) * step, std::ceil(top / step) * step);
}

void TorquePlot::saveAsCsv() {
    const QString path = m_askPath ? m_askPath(this) : QString();
    if (path.isEmpty()) {
        return;
    }
    // Written beside the target and renamed over it at the end, so a failed save leaves an
    // existing file as it was.
    QSaveFile file(path);
    const std::string csv = TorqueCsv(samples());
    const auto size = static_cast<qint64>(csv.size());
    if (file.open(QIODevice::WriteOnly) && file.write(csv.data(), size) == size && file.commit()) {
        return;
    }
    if (m_boxes != nullptr) {
        m_boxes->show(
            tr("The torque could not be saved to %1:\r\n%2").arg(path, file.errorString()),
            tr("Save as CSV"), BoxIcon::Critical, BoxButtons::Ok);
    }
}

} // namespace zelcor
