// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/Shape.h"

#include <QPainter>

namespace zelcor {

Shape::Shape(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Shape::setFillColor(const QColor& color) {
    m_fill = color;
    update();
}

void Shape::setFilled(bool filled) {
    m_filled = filled;
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_filled ? QBrush(m_fill) : QBrush(Qt::NoBrush));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace zelcor
