// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace zelcor {

BoxAnswer QtMessageBoxes::show(const QString& text, const QString& title, BoxIcon icon,
                               BoxButtons buttons) {
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case BoxIcon::Critical:
        qtIcon = QMessageBox::Critical;
        break;
    case BoxIcon::Exclamation:
    case BoxIcon::Warning:
        qtIcon = QMessageBox::Warning;
        break;
    case BoxIcon::Information:
        qtIcon = QMessageBox::Information;
        break;
    }
    const auto qtButtons =
        buttons == BoxButtons::Ok ? QMessageBox::Ok : (QMessageBox::Yes | QMessageBox::No);
    QMessageBox box(qtIcon, title, text, qtButtons, QApplication::activeWindow());
    if (buttons == BoxButtons::YesNoDefaultNo) {
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    }
    const int result = box.exec();
    if (buttons == BoxButtons::Ok) {
        return BoxAnswer::Ok;
    }
    return result == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

} // namespace zelcor
