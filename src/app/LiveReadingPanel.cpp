// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LiveReadingPanel.h"

#include "app/ParameterSetPanel.h"
#include "common/TextConv.h"
#include "session/WrenchSession.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"
#include "widgets/Shape.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace zelcor {

namespace {

// The lamp of the live reading: red while it runs, pale red while it is off.
const QColor kLampOff(255, 192, 192);
const QColor kLampOn(255, 0, 0);

QStringList digitItems() {
    QStringList items;
    for (int i = 0; i <= 3; ++i) {
        items << QString::fromStdString(NumberText(i));
    }
    return items;
}

} // namespace

LiveReadingPanel::LiveReadingPanel(QWidget* parent, WrenchSession& session,
                                   ExchangeControls& controls,
                                   std::function<void(bool)> setParameterSetUsable)
    : m_session(session), m_controls(controls),
      m_setParameterSetUsable(std::move(setParameterSetUsable)) {
    build(parent);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdAutoOn, cmdRdMaxTk, cmdClrEr0}) {
        m_controls.add(w);
    }
    m_controls.setEnabled(cmdAutoOn, false);
    m_controls.setEnabled(cmdAutoOff, false);
    cmbDir->setEditText(QStringLiteral("CW"));
    addComboItems(cmbFraN, digitItems());
    addComboItems(cmbFraN1, digitItems());

    QObject::connect(cmbDir, &QComboBox::activated, m_group, [this] { cmbDir_Click(); });
    // Only choosing an item acts; typing into these lists does not.
    QObject::connect(cmbFraN, &QComboBox::activated, m_group, [this] { cmbFraN_Click(); });
    QObject::connect(cmbFraN1, &QComboBox::activated, m_group, [this] { cmbFraN1_Click(); });
    QObject::connect(cmdAutoOn, &QPushButton::clicked, m_group, [this] { cmdAutoOn_Click(); });
    QObject::connect(cmdAutoOff, &QPushButton::clicked, m_group, [this] { cmdAutoOff_Click(); });
    QObject::connect(cmdRdMaxTk, &QPushButton::clicked, m_group, [this] { cmdRdMaxTk_Click(); });
    QObject::connect(cmdClrEr0, &QPushButton::clicked, m_group, [this] { cmdClrEr0_Click(); });
    connectSession();
}

void LiveReadingPanel::build(QWidget* parent) {
    m_group = new QGroupBox(tr("Live reading"), parent);
    QGroupBox* live = m_group;
    auto* liveGrid = new QGridLayout(live);
    // Each part reads its settings first, then what the wrench shows, then the buttons that
    // act: Tab from a list the technician has just set never lands on a button of another row.
    // The boxes show what the wrench sent and are not typed into.
    cmbDir = makeComboBox(live, QStringLiteral("cmbDir"), QString());
    addComboItems(cmbDir, {QStringLiteral("CW"), QStringLiteral("CCW")});
    cmbFraN = makeComboBox(live, QStringLiteral("cmbFraN"), QStringLiteral("1"), 3);
    liveGrid->addWidget(makeLabel(live, tr("Direction")), 0, 0);
    liveGrid->addWidget(cmbDir, 0, 1);
    liveGrid->addWidget(makeLabel(live, tr("Digits after decimal  pt.")), 0, 2);
    liveGrid->addWidget(cmbFraN, 0, 3);
    txta_Ad_Ajust_H = makeDisplayBox(live, QStringLiteral("txta_Ad_Ajust_H"), QStringLiteral("00"));
    txta_Ad_Ajust_L = makeDisplayBox(live, QStringLiteral("txta_Ad_Ajust_L"), QStringLiteral("05"));
    txtTk = makeDisplayBox(live, QStringLiteral("txtTk"), QStringLiteral("00"), 8);
    liveGrid->addWidget(makeLabel(live, tr("DUT(hex)_H")), 1, 0);
    liveGrid->addWidget(txta_Ad_Ajust_H, 1, 1);
    liveGrid->addWidget(makeLabel(live, tr("DUT(hex)_L")), 1, 2);
    liveGrid->addWidget(txta_Ad_Ajust_L, 1, 3);
    liveGrid->addWidget(makeLabel(live, tr("DUT")), 2, 0);
    liveGrid->addWidget(txtTk, 2, 1);
    liveGrid->addWidget(makeLabel(live, tr("N-m")), 2, 2);
    cmdAutoOn = makeButton(live, QStringLiteral("cmdAutoOn"), tr("Reading On"));
    cmdAutoOff = makeButton(live, QStringLiteral("cmdAutoOff"), tr("Reading OFF"));
    Shape1 = new Shape(live);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFillColor(kLampOff);
    liveGrid->addWidget(cmdAutoOn, 3, 0, 1, 2);
    liveGrid->addWidget(cmdAutoOff, 3, 2, 1, 2);
    liveGrid->addWidget(Shape1, 3, 4);

    cmbFraN1 = makeComboBox(live, QStringLiteral("cmbFraN1"), QStringLiteral("1"), 3);
    liveGrid->addWidget(makeLabel(live, tr("Digits after decimal  pt.")), 4, 0, 1, 3);
    liveGrid->addWidget(cmbFraN1, 4, 3);
    txtMaxTk = makeDisplayBox(live, QStringLiteral("txtMaxTk"), QStringLiteral("00"), 8);
    liveGrid->addWidget(makeLabel(live, tr("Max Torque")), 5, 0);
    liveGrid->addWidget(txtMaxTk, 5, 1);
    liveGrid->addWidget(makeLabel(live, tr("N-m")), 5, 2);
    cmdRdMaxTk = makeButton(live, QStringLiteral("cmdRdMaxTk"), tr("Read Max Torque"));
    cmdClrEr0 = makeButton(live, QStringLiteral("cmdClrEr0"), tr("Clear Er0/Max Torque"));
    liveGrid->addWidget(cmdRdMaxTk, 6, 0, 1, 2);
    liveGrid->addWidget(cmdClrEr0, 6, 2, 1, 2);
}

QList<QWidget*> LiveReadingPanel::tabOrder() const {
    return {cmbDir,     cmbFraN,  txta_Ad_Ajust_H, txta_Ad_Ajust_L, txtTk,    cmdAutoOn,
            cmdAutoOff, cmbFraN1, txtMaxTk,        cmdRdMaxTk,      cmdClrEr0};
}

void LiveReadingPanel::connectSession() {
    QObject::connect(&m_session, &WrenchSession::calibrationValueRead, m_group,
                     [this](CalField field) {
                         // The live raw value as two hexadecimal digits each.
                         QLineEdit* box = field == CalField::AdL   ? txta_Ad_Ajust_L
                                          : field == CalField::AdH ? txta_Ad_Ajust_H
                                                                   : nullptr;
                         if (box != nullptr) {
                             const auto value = m_session.calibration().*CalFieldMember(field);
                             box->setText(QString::fromStdString(
                                 ByteToHexStr(static_cast<std::uint8_t>(value.value_or(0)))));
                         }
                     });
    QObject::connect(&m_session, &WrenchSession::torqueComputed, m_group,
                     [this](const TorqueResult& result) {
                         txtTk->setText(QString::fromStdString(result.text));
                     });
    QObject::connect(&m_session, &WrenchSession::testRunningChanged, m_group, [this](bool running) {
        // Reading On needs an open port, whatever the run that ended.
        m_controls.setEnabled(cmdAutoOn, !running && m_session.isOpen());
        m_controls.setEnabled(cmdAutoOff, running);
    });
    QObject::connect(&m_session, &WrenchSession::liveReadingChanged, m_group,
                     [this](bool on) { Shape1->setFillColor(on ? kLampOn : kLampOff); });
    QObject::connect(&m_session, &WrenchSession::maxTorqueChanged, m_group,
                     [this] { showMaxTorque(); });
}

void LiveReadingPanel::showPortState(bool open) {
    m_controls.setEnabled(cmdAutoOn, open);
    m_controls.setEnabled(cmdAutoOff, false);
}

void LiveReadingPanel::cmbDir_Click() {
    const QString text = cmbDir->currentText();
    if (text == QLatin1String("CW")) {
        m_session.setDirection(false);
    } else if (text == QLatin1String("CCW")) {
        m_session.setDirection(true);
    }
}

void LiveReadingPanel::cmbFraN_Click() {
    takeFraDigits(cmbFraN->currentText());
}

void LiveReadingPanel::cmbFraN1_Click() {
    takeFraDigits(cmbFraN1->currentText());
}

void LiveReadingPanel::takeFraDigits(const QString& text) {
    // Only 0 to 3 digits exist; any other value leaves the setting as it is.
    const double value = ValueOfText(text.toStdString());
    if (value == 0 || value == 1 || value == 2 || value == 3) {
        m_session.setDigits(static_cast<int>(value));
    }
    showMaxTorque();
    const QString digits = QString::fromStdString(NumberText(m_session.setting().FraDigits));
    cmbFraN->setEditText(digits);
    cmbFraN1->setEditText(digits);
}

void LiveReadingPanel::showMaxTorque() {
    txtMaxTk->setText(QString::fromStdString(m_session.maxTorqueText()));
}

void LiveReadingPanel::cmdAutoOn_Click() {
    const auto hold = m_session.hold();
    if (!hold) {
        return;
    }
    m_controls.setEnabled(cmdAutoOn, false);
    m_setParameterSetUsable(false);
    // No in Get's warning reads nothing: the reading goes on with the last Get's digits.
    m_session.runLiveReading(ParameterSetPanel::ConfirmGet(m_session.boxes()));
    showLiveReadingOff();
}

void LiveReadingPanel::cmdAutoOff_Click() {
    // The lamp goes out at once (the session's reading is on its way out); the buttons are
    // usable again once it has ended, after its current cycle (the link stays busy until then).
    showLiveReadingOff();
    m_session.stopTest();
}

void LiveReadingPanel::showLiveReadingOff() {
    const bool open = m_session.isOpen();
    m_controls.setEnabled(cmdAutoOn, open);
    m_setParameterSetUsable(open);
    m_controls.setEnabled(cmdAutoOff, false);
}

void LiveReadingPanel::cmdRdMaxTk_Click() {
    m_session.readMaxTorque();
}

void LiveReadingPanel::cmdClrEr0_Click() {
    m_session.clearEr0();
}

} // namespace zelcor
