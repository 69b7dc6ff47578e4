// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/TorqueLog.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QLineSeries;
class QValueAxis;

namespace zelcor {

class MessageBoxes;

// The computed torque over the last minute, as a curve that scales to the data. "Save as
// CSV…" writes the history it is given (every sample since the start or the last "Clear");
// the curve holds only the minute it shows, so adding a point costs the same after hours as
// at the start.
class TorquePlot : public QWidget {
    Q_OBJECT
public:
    static constexpr std::int64_t kShownMs = 60'000;

    // Asks the user where to save; the empty text when they cancel.
    using SavePathAsker = std::function<QString(QWidget* parent)>;

    explicit TorquePlot(QWidget* parent = nullptr);
    ~TorquePlot() override;

    void addPoint(std::int64_t timeMs, double torque);
    // The menu's "Clear": no samples, an empty curve.
    void clear();
    // The menu's "Save as CSV…": asks for a path and writes every sample there; a file that
    // cannot be written is reported in a box and left as it was.
    void saveAsCsv();

    // Where the samples are kept, and how "Clear" empties them.
    using History = std::function<const std::vector<TorqueSample>&()>;
    void setHistory(History history, std::function<void()> clearHistory) {
        m_history = std::move(history);
        m_clearHistory = std::move(clearHistory);
    }
    const std::vector<TorqueSample>& samples() const;

    // Replaces the file dialog (tests answer it themselves).
    void setSavePathAsker(SavePathAsker ask) { m_askPath = std::move(ask); }
    // Where a failed save is reported.
    void setMessageBoxes(MessageBoxes& boxes) { m_boxes = &boxes; }

    QLineSeries* series() const { return m_series; }
    QValueAxis* timeAxis() const { return m_timeAxis; }
    QValueAxis* torqueAxis() const { return m_torqueAxis; }

    // The right-click menu.
    QAction* mnuSaveCsv = nullptr;
    QAction* mnuClear = nullptr;

private:
    void rescale();

    QLineSeries* m_series = nullptr;
    QValueAxis* m_timeAxis = nullptr;
    QValueAxis* m_torqueAxis = nullptr;
    History m_history;
    std::function<void()> m_clearHistory;
    // When the curve's first point came, since the start or the last "Clear".
    std::optional<std::int64_t> m_firstMs;
    SavePathAsker m_askPath;
    MessageBoxes* m_boxes = nullptr;
};

} // namespace zelcor
