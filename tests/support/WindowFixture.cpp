#include "support/WindowFixture.h"

#include "app/EchoBox.h"
#include "calibration/frmRs232WRCal.h"
#include "editor/frmRs232WRPara.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace zelcor::test {

void WindowFixture::SetUp() {
    mainWindow =
        std::make_unique<frmRs232SetCmd>(Platform{clock, port, boxes, [this] { ++endRequests; }});
}

void WindowFixture::TearDown() {
    mainWindow.reset();
    EXPECT_EQ(boxes.unusedAnswers(), 0) << "answers queued for boxes that never came";
}

QWidget* WindowFixture::control(const QString& name) const {
    const QList<QWidget*> windows{mainWindow.get(), &mainWindow->editor(),
                                  &mainWindow->calibration()};
    QString window;
    QString local = name;
    if (const int dot = name.indexOf(QLatin1Char('.')); dot >= 0) {
        window = name.left(dot);
        local = name.mid(dot + 1);
    }
    QWidget* found = nullptr;
    for (QWidget* w : windows) {
        if (!window.isEmpty() && w->objectName() != window) {
            continue;
        }
        QWidget* match = w->objectName() == local ? w : w->findChild<QWidget*>(local);
        if (match == nullptr) {
            continue;
        }
        if (found != nullptr) {
            ADD_FAILURE() << name.toStdString() << " names a control in more than one window";
            return nullptr;
        }
        found = match;
    }
    if (found == nullptr) {
        ADD_FAILURE() << "no control named " << name.toStdString();
    }
    return found;
}

QString WindowFixture::text(const QString& name) const {
    QWidget* w = control(name);
    if (auto* box = qobject_cast<QLineEdit*>(w)) {
        return box->text();
    }
    if (auto* echo = qobject_cast<EchoBox*>(w)) {
        return echo->text();
    }
    if (auto* box = qobject_cast<QPlainTextEdit*>(w)) {
        return box->toPlainText();
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        return combo->currentText();
    }
    if (auto* check = qobject_cast<QCheckBox*>(w)) {
        return check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return label->text();
    }
    if (w != nullptr && w->isWindow()) {
        return w->windowTitle();
    }
    ADD_FAILURE() << name.toStdString() << " has no text";
    return {};
}

void WindowFixture::setText(const QString& name, const QString& value) {
    QWidget* w = control(name);
    if (auto* box = qobject_cast<QLineEdit*>(w)) {
        box->setText(value);
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(w)) {
        box->setPlainText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setEditText(value);
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        check->setChecked(value == QLatin1String("1"));
    } else {
        ADD_FAILURE() << name.toStdString() << " takes no text";
    }
}

void WindowFixture::click(const QString& name) {
    if (auto* button = control<QAbstractButton>(name)) {
        button->click();
    }
}

bool WindowFixture::enabled(const QString& name) const {
    QWidget* w = control(name);
    return w != nullptr && w->isEnabled();
}

bool WindowFixture::shown(const QString& name) const {
    QWidget* w = control(name);
    return w != nullptr && (w->isWindow() ? w->isVisible() : w->isVisibleTo(w->window()));
}

} // namespace zelcor::test
