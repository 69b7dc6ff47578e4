// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ParameterSetPanel.h"

#include "platform/MessageBoxes.h"
#include "session/WrenchSession.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"
#include "widgets/PasteBox.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace zelcor {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The set's status and constants in the order of the boxes.
std::array<QString, 5> shownFields(const ParaRecord& set) {
    return {qs(set.StatusEp), qs(set.VIH), qs(set.VIL), qs(set.VAH), qs(set.VAL)};
}

void show(const std::array<QLineEdit*, 5>& boxes, const std::array<QString, 5>& texts) {
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes[i]->setText(texts[i]);
    }
}

const std::array<QString, 5> kZeros{QStringLiteral("00"), QStringLiteral("00"),
                                    QStringLiteral("00"), QStringLiteral("00"),
                                    QStringLiteral("00")};

} // namespace

ParameterSetPanel::ParameterSetPanel(QWidget* parent, WrenchSession& session,
                                     ExchangeControls& controls)
    : m_session(session), m_controls(controls) {
    build(parent);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdGetPara, cmdWrPara}) {
        m_controls.add(w);
        m_controls.setEnabled(w, false);
    }
    cmdCopyReq->setEnabled(false); // nothing to copy before the first Get
    QObject::connect(cmdGetPara, &QPushButton::clicked, m_group, [this] { cmdGetPara_Click(); });
    QObject::connect(cmdWrPara, &QPushButton::clicked, m_group, [this] { cmdWrPara_Click(); });
    QObject::connect(cmdCopyReq, &QPushButton::clicked, m_group, [this] { cmdCopyReq_Click(); });
    connectSession();
}

void ParameterSetPanel::build(QWidget* parent) {
    m_group = new QGroupBox(tr("Parameter set"), parent);
    QGroupBox* params = m_group;
    auto* paramGrid = new QGridLayout(params);
    cmdGetPara = makeButton(params, QStringLiteral("cmdGetPara"), tr("Get"));
    txtParaReq = makeDisplayBox(params, QStringLiteral("txtParaReq"), QString(), 24);
    txtParaReq->setToolTip(tr("The parameter request of the last Get"));
    cmdCopyReq = makeButton(params, QStringLiteral("cmdCopyReq"), tr("Copy"));
    paramGrid->addWidget(makeLabel(params, tr("Parameters")), 0, 0);
    paramGrid->addWidget(txtParaReq, 0, 1, 1, 3);
    paramGrid->addWidget(cmdCopyReq, 0, 4);
    paramGrid->addWidget(cmdGetPara, 0, 5);
    const QStringList columns{tr("Status"), tr("VIH"), tr("VIL"), tr("VAH"), tr("VAL")};
    for (int i = 0; i < columns.size(); ++i) {
        paramGrid->addWidget(makeLabel(params, columns[i]), 1, i);
    }
    const QStringList names{QStringLiteral("txtSta"), QStringLiteral("txtVIH"),
                            QStringLiteral("txtVIL"), QStringLiteral("txtVAH"),
                            QStringLiteral("txtVAL")};
    // The set read, then the set written: the keyboard goes along each row.
    for (auto [boxes, row, suffix] :
         {std::tuple{&m_read, 2, QString()}, std::tuple{&m_written, 3, QStringLiteral("1")}}) {
        for (int i = 0; i < 5; ++i) {
            auto* box = makeDisplayBox(params, names[i] + suffix);
            (*boxes)[static_cast<std::size_t>(i)] = box;
            paramGrid->addWidget(box, row, i);
        }
    }
    lblMsg = makeLabel(params, QString(), QStringLiteral("lblMsg"));
    lblMsg1 = makeLabel(params, QString(), QStringLiteral("lblMsg1"));
    for (QLabel* label : {lblMsg, lblMsg1}) {
        label->setStyleSheet(QStringLiteral("color: red"));
        label->hide();
    }
    paramGrid->addWidget(lblMsg, 2, 5);
    paramGrid->addWidget(lblMsg1, 3, 5);
    // Beside each message, how many cells of its job are done.
    prgMsg = makeProgressBar(params, QStringLiteral("prgMsg"));
    prgMsg1 = makeProgressBar(params, QStringLiteral("prgMsg1"));
    paramGrid->addWidget(prgMsg, 2, 6);
    paramGrid->addWidget(prgMsg1, 3, 6);
    paramGrid->addWidget(makeLabel(params, tr("New Parameters")), 4, 0, 1, 2);
    txtNewPara = makeMultiLineBox(params, QStringLiteral("txtNewPara"));
    // A parameter text is about sixty characters.
    txtNewPara->setLimit(4096, m_session.boxes());
    txtNewPara->setMaximumHeight(72);
    cmdWrPara = makeButton(params, QStringLiteral("cmdWrPara"), tr("Write"));
    paramGrid->addWidget(txtNewPara, 5, 0, 1, 5);
    paramGrid->addWidget(cmdWrPara, 5, 5, Qt::AlignTop);
}

QList<QWidget*> ParameterSetPanel::tabOrder() const {
    QList<QWidget*> order{txtParaReq, cmdCopyReq, cmdGetPara};
    for (const auto* row : {&m_read, &m_written}) {
        order.append(QList<QWidget*>(row->begin(), row->end()));
    }
    order << txtNewPara << cmdWrPara;
    return order;
}

void ParameterSetPanel::connectSession() {
    QObject::connect(&m_session, &WrenchSession::parameterStage, m_group,
                     [this](ParameterJob job, ParameterStage stage) {
                         // The parameter Write reports on the row of the set written, the others on
                         // the row of the set read.
                         const bool write = job == ParameterJob::Write;
                         QLabel* label = write ? lblMsg1 : lblMsg;
                         switch (stage) {
                         case ParameterStage::Reading:
                             label->setText(tr("Reading....."));
                             label->show();
                             if (job == ParameterJob::Get || write) {
                                 show(write ? m_written : m_read, kZeros);
                             }
                             break;
                         case ParameterStage::ReadDone:
                             label->setText(tr("OK"));
                             break;
                         case ParameterStage::Writing:
                             label->setText(tr("Writing....."));
                             break;
                         case ParameterStage::Finished:
                             if (!write) {
                                 label->clear();
                             }
                             label->hide();
                             break;
                         }
                     });
    QObject::connect(&m_session, &WrenchSession::currentSetChanged, m_group, [this] {
        show(m_read, shownFields(m_session.currentSet()));
        txtParaReq->setText(qs(m_session.parameterRequest()));
        txtParaReq->setCursorPosition(0);
        cmdCopyReq->setEnabled(true);
    });
    QObject::connect(&m_session, &WrenchSession::newSetAccepted, m_group,
                     [this](const ParaRecord& set) { show(m_written, shownFields(set)); });

    // The bar beside the job's message counts the cells its reads and writes have done,
    // phase by phase (Write reads, then writes), and is emptied when the job ends.
    QObject::connect(&m_session, &WrenchSession::parameterStage, m_group,
                     [this](ParameterJob job, ParameterStage stage) {
                         QProgressBar* bar = job == ParameterJob::Write ? prgMsg1 : prgMsg;
                         if (stage == ParameterStage::Reading) {
                             m_jobBar = bar;
                         } else if (stage == ParameterStage::Finished) {
                             bar->reset();
                             m_jobBar = nullptr;
                         }
                     });
    QObject::connect(&m_session, &WrenchSession::cellProgress, m_group,
                     [this](const CellProgress& progress) {
                         if (m_jobBar != nullptr && progress.index > 0) {
                             m_jobBar->setRange(0, progress.count);
                             m_jobBar->setValue(progress.index - 1);
                         }
                     });
    QObject::connect(&m_session, &WrenchSession::cellJobEnded, m_group,
                     [this](CellJob, const JobResult& result) {
                         if (m_jobBar != nullptr && result.ok()) {
                             m_jobBar->setValue(m_jobBar->maximum());
                         }
                     });
}

void ParameterSetPanel::setUsable(bool usable) {
    m_controls.setEnabled(cmdGetPara, usable);
    m_controls.setEnabled(cmdWrPara, usable);
}

bool ParameterSetPanel::ConfirmGet(MessageBoxes& boxes) {
    return boxes.show(tr("Make sure the dircetion(CW/CCW) and the digits after decimal pt."),
                      tr("Warning"), BoxIcon::Exclamation, BoxButtons::YesNo) == BoxAnswer::Yes;
}

void ParameterSetPanel::cmdGetPara_Click() {
    const auto hold = m_session.hold();
    if (hold && ConfirmGet(m_session.boxes())) {
        m_session.getParameterSet();
    }
}

void ParameterSetPanel::cmdWrPara_Click() {
    const auto hold = m_session.hold();
    if (hold && m_session.boxes().show(
                    tr("Are you sure?\r\nNote:Make sure the dircetion(CW/CCW) and "
                       "the digits after decimal point."),
                    tr("Warning!!!"), BoxIcon::Exclamation, BoxButtons::YesNo) == BoxAnswer::Yes) {
        m_session.writeParameterSet(txtNewPara->toPlainText().toStdString());
    }
}

void ParameterSetPanel::cmdCopyReq_Click() {
    QApplication::clipboard()->setText(txtParaReq->text());
}

} // namespace zelcor
