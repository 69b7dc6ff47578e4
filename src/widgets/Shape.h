// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>

namespace zelcor {

// A filled rectangle used as a lamp or an outline, whose fill colour the program sets.
class Shape : public QWidget {
    Q_OBJECT
public:
    explicit Shape(QWidget* parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& color);
    void setFilled(bool filled);
    bool isFilled() const { return m_filled; }

    QSize sizeHint() const override { return {36, 18}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill = Qt::white;
    bool m_filled = true;
};

} // namespace zelcor
