// SPDX-License-Identifier: GPL-3.0-or-later
#include "verification/VerificationWindow.h"

#include "common/TextConv.h"
#include "serial/PortSettings.h"
#include "session/TesterLink.h"
#include "session/WrenchSession.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"
#include "widgets/PortComboBox.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace zelcor {

namespace {

// A point or a run that passed, one that failed: the cell's or the verdict's background.
const QColor kPassColour(0xC0, 0xF0, 0xC0);
const QColor kFailColour(0xFF, 0xB0, 0xB0);
// A reading the technician repeated stays in the table, greyed, with the reason.
const QColor kDiscardedText(0x80, 0x80, 0x80);

enum Column {
    kColPoint,
    kColIndex,
    kColTarget,
    kColWrench,
    kColReference,
    kColDeviation,
    kColMean,
    kColLargest,
    kColSpread,
    kColResult,
    kColumns
};
const char* const kColumnCaptions[kColumns] = {
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "Point"),
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "n"),
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "Target N·m"),
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "Wrench N·m"),
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "Reference N·m"),
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "Deviation"),
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "Mean N·m"),
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "Largest deviation"),
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "Spread"),
    QT_TRANSLATE_NOOP("zelcor::VerificationWindow", "Result")};

// The tester's line speeds, as testers offer them.
const int kTesterBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString torqueText(double torque, int digits) {
    return qs(TorqueWithDigits(torque, digits));
}

// A number as typed into the form: blanks around it allowed, a comma taken for the point.
std::optional<double> number(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QString numberText(double value) {
    return QString::number(value, 'g', 10);
}

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

VerificationWindow::VerificationWindow(WrenchSession& session, QWidget* parent)
    : QWidget(parent), m_session(session),
      m_exchangeControls(std::make_unique<ExchangeControls>()) {
    setObjectName(QStringLiteral("frmVerification"));
    setWindowTitle(tr("Verification"));
    resize(1240, 680);
    buildControls();
    m_exchangeControls->add(cmdStartRun);
    connect(&m_session, &WrenchSession::busyChanged, this,
            [this](bool busy) { m_exchangeControls->setBusy(busy); });
    connect(&m_session, &WrenchSession::verificationChanged, this, [this] { showRun(); });
    connect(&m_session, &WrenchSession::testerLine, this, [this](const QString& line) {
        lblTesterLine->setText(tr("Tester: %1").arg(line.trimmed()));
    });
    connect(&m_session, &WrenchSession::testerLost, this, [this](const std::string& why) {
        lblTesterLine->setText(tr("The tester's port has gone away: %1").arg(qs(why)));
    });
    showSettings(VerificationSettings{});
    showRun();
}

VerificationWindow::~VerificationWindow() = default;

void VerificationWindow::buildControls() {
    // Made in the order Tab goes through them: the settings on the left, then the right.
    QWidget* settings = buildSettings();
    QWidget* tester = buildTester();
    lblPrompt = makeLabel(this, tr("Set up the run and press Start."), QStringLiteral("lblPrompt"));
    QFont large = lblPrompt->font();
    large.setPointSizeF(large.pointSizeF() * 2);
    large.setBold(true);
    lblPrompt->setFont(large);
    lblPrompt->setWordWrap(true);

    grdReadings = new QTableWidget(0, kColumns, this);
    grdReadings->setObjectName(QStringLiteral("grdReadings"));
    QStringList captions;
    for (const char* caption : kColumnCaptions) {
        captions << tr(caption);
    }
    grdReadings->setHorizontalHeaderLabels(captions);
    grdReadings->verticalHeader()->hide();
    grdReadings->verticalHeader()->setDefaultSectionSize(grdReadings->fontMetrics().height() + 8);
    grdReadings->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdReadings->horizontalHeader()->setStretchLastSection(true);
    grdReadings->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    connect(grdReadings, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { referenceTyped(item); });

    lblVerdict = makeLabel(this, QString(), QStringLiteral("lblVerdict"));
    QFont bold = lblVerdict->font();
    bold.setPointSizeF(bold.pointSizeF() * 1.5);
    bold.setBold(true);
    lblVerdict->setFont(bold);
    lblVerdict->setAutoFillBackground(true);
    lblVerdict->setMargin(6);

    cmdStartRun = makeButton(this, QStringLiteral("cmdStartRun"), tr("Start"));
    cmdNextPull = makeButton(this, QStringLiteral("cmdNextPull"), tr("Next"),
                             tr("The pull is over: read the wrench's maximum"));
    txtRepeatReason = makeTextBox(this, QStringLiteral("txtRepeatReason"), QString(), 16);
    txtRepeatReason->setPlaceholderText(tr("reason for repeating"));
    cmdRepeatLast = makeButton(this, QStringLiteral("cmdRepeatLast"), tr("Repeat last"),
                               tr("Take the last reading again; it is kept, with the reason"));
    cmdStopRun = makeButton(this, QStringLiteral("cmdStopRun"), tr("Stop"),
                            tr("End the run after the current pull, without a verdict"));
    cmdCertificate = makeButton(this, QStringLiteral("cmdCertificate"), tr("Certificate…"));
    auto* buttons = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{cmdStartRun, cmdNextPull, txtRepeatReason,
                                                      cmdRepeatLast, cmdStopRun}) {
        buttons->addWidget(w);
    }
    buttons->addStretch();
    buttons->addWidget(cmdCertificate);

    auto* left = new QVBoxLayout;
    left->addWidget(settings);
    left->addWidget(tester);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(lblPrompt);
    right->addWidget(grdReadings, 1);
    right->addWidget(lblVerdict);
    right->addLayout(buttons);
    auto* window = new QHBoxLayout(this);
    window->addLayout(left);
    window->addLayout(right, 1);

    connect(cmdStartRun, &QPushButton::clicked, this, [this] { cmdStartRun_Click(); });
    connect(cmdNextPull, &QPushButton::clicked, this, [this] { cmdNextPull_Click(); });
    connect(cmdRepeatLast, &QPushButton::clicked, this, [this] { cmdRepeatLast_Click(); });
    connect(cmdStopRun, &QPushButton::clicked, this, [this] { cmdStopRun_Click(); });
    connect(cmdCertificate, &QPushButton::clicked, this, [this] { cmdCertificate_Click(); });

    chainTabOrder({txtMaximum,        txtPoints,     txtReadings,       txtTolerance,
                   txtPreloads,       cmbDirection,  cmbState,          cmbDigits,
                   txtTechnician,     txtTester,     txtTesterDue,      txtRemark,
                   cmbTesterPort,     cmbTesterBaud, cmbTesterDatabits, cmbTesterParity,
                   cmbTesterStopbits, grdReadings,   cmdStartRun,       cmdNextPull,
                   txtRepeatReason,   cmdRepeatLast, cmdStopRun,        cmdCertificate});
}

QWidget* VerificationWindow::buildSettings() {
    m_settings = new QGroupBox(tr("The run"), this);
    auto* grid = new QGridLayout(m_settings);
    int row = 0;
    const auto add = [&](const QString& caption, QWidget* w) {
        grid->addWidget(makeLabel(m_settings, caption), row, 0);
        grid->addWidget(w, row++, 1);
    };
    const auto box = [this](const char* name, int width) {
        return makeTextBox(m_settings, QString::fromLatin1(name), QString(), width);
    };
    const auto list = [this](const char* name) {
        auto* combo = new QComboBox(m_settings);
        combo->setObjectName(QString::fromLatin1(name));
        return combo;
    };
    txtMaximum = box("txtMaximum", 8);
    add(tr("Maximum N·m"), txtMaximum);
    txtPoints = box("txtPoints", 12);
    txtPoints->setToolTip(tr("The points in % of the maximum, rising, e.g. 20, 60, 100"));
    add(tr("Points %"), txtPoints);
    txtReadings = box("txtReadings", 4);
    add(tr("Readings per point"), txtReadings);
    txtTolerance = box("txtTolerance", 4);
    txtTolerance->setToolTip(tr("The permissible deviation, ± % of the reference"));
    add(tr("Permissible deviation ± %"), txtTolerance);
    txtPreloads = box("txtPreloads", 4);
    add(tr("Pre-loads"), txtPreloads);
    cmbDirection = list("cmbDirection");
    for (const VerifyDirection d :
         {VerifyDirection::Cw, VerifyDirection::Ccw, VerifyDirection::Both}) {
        cmbDirection->addItem(qs(DirectionWord(d)), static_cast<int>(d));
    }
    add(tr("Direction"), cmbDirection);
    cmbState = list("cmbState");
    cmbState->addItem(tr("as found"), false);
    cmbState->addItem(tr("as left"), true);
    add(tr("State"), cmbState);
    cmbDigits = list("cmbDigits");
    for (int d = 0; d <= 3; ++d) {
        cmbDigits->addItem(QString::number(d), d);
    }
    cmbDigits->setToolTip(tr("The digits after the point of the wrench's reading"));
    add(tr("Digits after the point"), cmbDigits);
    txtTechnician = box("txtTechnician", 12);
    add(tr("Technician"), txtTechnician);
    txtTester = box("txtTester", 12);
    add(tr("Reference tester"), txtTester);
    txtTesterDue = box("txtTesterDue", 8);
    txtTesterDue->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    add(tr("Tester due"), txtTesterDue);
    txtRemark = box("txtRemark", 12);
    txtRemark->setToolTip(tr("The temperature, for example"));
    add(tr("Remark"), txtRemark);
    return m_settings;
}

QWidget* VerificationWindow::buildTester() {
    auto* group = new QGroupBox(tr("Tester's port"), this);
    auto* grid = new QGridLayout(group);
    cmbTesterPort = new PortComboBox(group, QStringLiteral("cmbTesterPort"), tr("typed"), 12);
    cmbTesterPort->setToolTip(tr("The reference tester's port; \"typed\": the technician types "
                                 "each reference reading into its row"));
    addComboItems(cmbTesterPort, {tr("typed")});
    // The tester's usual line to begin with.
    const SerialSettings usual = DefaultTesterSettings();
    cmbTesterBaud =
        makeComboBox(group, QStringLiteral("cmbTesterBaud"), QString::number(usual.baudRate));
    QStringList speeds;
    for (const int baud : kTesterBauds) {
        speeds << QString::number(baud);
    }
    addComboItems(cmbTesterBaud, speeds);
    cmbTesterDatabits = makeComboBox(group, QStringLiteral("cmbTesterDatabits"),
                                     QString::number(usual.dataBits), 2);
    addComboItems(cmbTesterDatabits, {QStringLiteral("7"), QStringLiteral("8")});
    cmbTesterParity = makeComboBox(group, QStringLiteral("cmbTesterParity"),
                                   QString(QLatin1Char(usual.parity)), 2);
    addComboItems(cmbTesterParity, {QStringLiteral("N"), QStringLiteral("E"), QStringLiteral("O")});
    cmbTesterStopbits = makeComboBox(group, QStringLiteral("cmbTesterStopbits"),
                                     QString::number(usual.stopBits), 2);
    addComboItems(cmbTesterStopbits, {QStringLiteral("1"), QStringLiteral("2")});
    grid->addWidget(cmbTesterPort, 0, 0, 1, 4);
    grid->addWidget(cmbTesterBaud, 1, 0);
    grid->addWidget(cmbTesterDatabits, 1, 1);
    grid->addWidget(cmbTesterParity, 1, 2);
    grid->addWidget(cmbTesterStopbits, 1, 3);
    lblTesterLine = makeLabel(group, QString(), QStringLiteral("lblTesterLine"));
    grid->addWidget(lblTesterLine, 2, 0, 1, 4);
    return group;
}

void VerificationWindow::setPortSource(std::function<std::vector<PortInfo>()> source) {
    cmbTesterPort->setPortSource(std::move(source));
    cmbTesterPort->refreshPorts();
}

void VerificationWindow::setTesterPort(const QString& port) {
    cmbTesterPort->refreshPorts();
    cmbTesterPort->setEditText(port);
}

void VerificationWindow::showSettings(const VerificationSettings& s) {
    txtMaximum->setText(s.maximum > 0 ? numberText(s.maximum) : QString());
    QStringList points;
    for (const double p : s.pointsPercent) {
        points << numberText(p);
    }
    txtPoints->setText(points.join(QStringLiteral(", ")));
    txtReadings->setText(QString::number(s.readingsPerPoint));
    txtTolerance->setText(numberText(s.tolerancePercent));
    txtPreloads->setText(QString::number(s.preloads));
    cmbDirection->setCurrentIndex(cmbDirection->findData(static_cast<int>(s.direction)));
    cmbState->setCurrentIndex(s.asLeft ? 1 : 0);
    cmbDigits->setCurrentIndex(cmbDigits->findData(s.digits));
    txtTechnician->setText(qs(s.technician));
    txtTester->setText(qs(s.tester));
    txtTesterDue->setText(qs(s.testerDue));
    txtRemark->setText(qs(s.remark));
}

bool VerificationWindow::readSettings(VerificationSettings& settings, QString& problem) const {
    VerificationSettings s;
    const auto notANumber = [&problem](const QString& caption, const QString& text) {
        problem =
            tr("%1: \"%2\" is not a number.").arg(caption, qs(QuotedInput(text.toStdString())));
        return false;
    };
    // An empty maximum is no maximum: the run's own check says what it must be.
    if (!txtMaximum->text().trimmed().isEmpty()) {
        const auto maximum = number(txtMaximum->text());
        if (!maximum) {
            return notANumber(tr("Maximum N·m"), txtMaximum->text());
        }
        s.maximum = *maximum;
    }
    s.pointsPercent.clear();
    for (const QString& field : txtPoints->text().split(
             QRegularExpression(QStringLiteral("[\\s;]+|,\\s*")), Qt::SkipEmptyParts)) {
        const auto point = number(field);
        if (!point) {
            return notANumber(tr("Points %"), field);
        }
        s.pointsPercent.push_back(*point);
    }
    const auto readings = wholeNumber(txtReadings->text());
    if (!readings) {
        return notANumber(tr("Readings per point"), txtReadings->text());
    }
    s.readingsPerPoint = *readings;
    const auto tolerance = number(txtTolerance->text());
    if (!tolerance) {
        return notANumber(tr("Permissible deviation ± %"), txtTolerance->text());
    }
    s.tolerancePercent = *tolerance;
    const auto preloads = wholeNumber(txtPreloads->text());
    if (!preloads) {
        return notANumber(tr("Pre-loads"), txtPreloads->text());
    }
    s.preloads = *preloads;
    s.direction = static_cast<VerifyDirection>(cmbDirection->currentData().toInt());
    s.asLeft = cmbState->currentData().toBool();
    s.digits = cmbDigits->currentData().toInt();
    s.technician = txtTechnician->text().trimmed().toStdString();
    s.tester = txtTester->text().trimmed().toStdString();
    s.testerDue = txtTesterDue->text().trimmed().toStdString();
    s.remark = txtRemark->text().trimmed().toStdString();
    settings = std::move(s);
    return true;
}

bool VerificationWindow::testerTyped() const {
    const QString port = cmbTesterPort->currentText().trimmed();
    return port.isEmpty() || port == tr("typed") || port == QLatin1String("typed");
}

void VerificationWindow::warn(const QString& text) {
    m_session.boxes().show(text, tr("Verification"), BoxIcon::Warning, BoxButtons::Ok);
}

void VerificationWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The connected wrench's last verification offers its maximum, unless another one has
    // been typed since the last offer.
    const std::string code = m_session.wrenchCode();
    const QString shown = txtMaximum->text().trimmed();
    if (m_maximumSource && !code.empty() && (shown.isEmpty() || shown == m_offeredMaximum)) {
        if (const auto maximum = m_maximumSource(code)) {
            m_offeredMaximum = numberText(*maximum);
            txtMaximum->setText(m_offeredMaximum);
        }
    }
}

void VerificationWindow::runRecorded(const QString& recordId) {
    m_recordId = recordId;
    showButtons();
}

void VerificationWindow::cmdStartRun_Click() {
    VerificationSettings settings;
    QString problem;
    if (!readSettings(settings, problem)) {
        warn(problem);
        return;
    }
    m_recordId.clear();
    lblTesterLine->clear();
    // Unsound settings are the run's to refuse, in its own words, before any port is opened.
    if (testerTyped()) {
        m_session.closeTester();
    } else if (SettingsProblem(settings).empty()) {
        const QString settingsText = cmbTesterBaud->currentText() + QLatin1Char(',') +
                                     cmbTesterParity->currentText() + QLatin1Char(',') +
                                     cmbTesterDatabits->currentText() + QLatin1Char(',') +
                                     cmbTesterStopbits->currentText();
        SerialSettings line;
        if (!ParseSettingsText(settingsText.toStdString(), line)) {
            warn(tr("The tester's line cannot run with %1.").arg(settingsText));
            return;
        }
        const std::string port = PortNameFromText(cmbTesterPort->currentText().toStdString());
        std::string error;
        if (!m_session.openTester(port, line, error)) {
            warn(tr("The tester's port \"%1\" cannot be opened: %2")
                     .arg(qs(QuotedInput(port)), qs(error)));
            return;
        }
    }
    // Until the run shows its first pull (it may read the wrench's code first) the window
    // shows it starting, not the run before.
    m_starting = SettingsProblem(settings).empty();
    showRun();
    m_session.verify(settings);
    m_starting = false;
    showRun();
}

bool VerificationWindow::runGoingOn() const {
    const VerifyPhase phase = m_session.verification().phase;
    return m_starting || (phase != VerifyPhase::Idle && phase != VerifyPhase::Ended);
}

void VerificationWindow::cmdNextPull_Click() {
    m_session.verificationNext();
}

void VerificationWindow::cmdRepeatLast_Click() {
    const QString reason = txtRepeatReason->text().trimmed();
    if (reason.isEmpty()) {
        warn(tr("Say why the last reading is taken again: type the reason beside \"Repeat "
                "last\"."));
        return;
    }
    if (!m_session.verificationRepeatLast(reason.toStdString())) {
        warn(tr("There is no reading to repeat yet."));
        return;
    }
    txtRepeatReason->clear();
}

void VerificationWindow::cmdStopRun_Click() {
    m_session.verificationStop();
}

void VerificationWindow::cmdCertificate_Click() {
    if (!m_recordId.isEmpty()) {
        emit certificateRequested(m_recordId);
    }
}

void VerificationWindow::showRun() {
    const VerificationState& state = m_session.verification();
    if (m_starting && state.phase != VerifyPhase::Idle && state.phase != VerifyPhase::Ended) {
        m_starting = false;
    }
    if (m_starting) {
        lblPrompt->setText(tr("Starting the run…"));
    } else if (state.phase == VerifyPhase::Idle) {
        lblPrompt->setText(tr("Set up the run and press Start."));
    } else {
        lblPrompt->setText(qs(state.prompt));
    }
    fillTable();
    showVerdict();
    showButtons();
}

void VerificationWindow::fillTable() {
    const VerificationState& state = m_session.verification();
    const VerificationRun& run = state.run;
    const int digits = run.settings.digits;
    const bool running = runGoingOn();
    const std::optional<PullStep>& step = state.step;
    m_filling = true;
    grdReadings->setRowCount(0);
    m_pendingRow = -1;
    const auto addRow = [this](std::initializer_list<std::pair<int, QTableWidgetItem*>> cells) {
        const int row = grdReadings->rowCount();
        grdReadings->insertRow(row);
        for (int c = 0; c < kColumns; ++c) {
            grdReadings->setItem(row, c, cell(QString()));
        }
        for (const auto& [column, item] : cells) {
            grdReadings->setItem(row, column, item);
        }
        return row;
    };
    if (state.phase != VerifyPhase::Idle && !m_starting) {
        for (const PointSummary& point : Summaries(run)) {
            const QString where =
                qs(point.direction) + QLatin1Char(' ') +
                numberText(run.settings.pointsPercent.at(static_cast<std::size_t>(point.point))) +
                QStringLiteral(" %");
            for (const VerificationReading& r : run.readings) {
                if (r.direction != point.direction || r.point != point.point) {
                    continue;
                }
                const double d = Deviation(r.wrench, r.reference);
                const int row = addRow(
                    {{kColPoint, cell(where)},
                     {kColIndex, cell(QString::number(r.index))},
                     {kColTarget, cell(torqueText(r.target, digits))},
                     {kColWrench, cell(torqueText(r.wrench, digits))},
                     {kColReference, cell(QString::number(r.reference, 'f', 2))},
                     {kColDeviation, cell(qs(DeviationText(d)))},
                     {kColResult, cell(r.discarded ? tr("repeated: %1").arg(qs(r.discardReason))
                                                   : QString())}});
                for (int c = 0; c < kColumns; ++c) {
                    QTableWidgetItem* item = grdReadings->item(row, c);
                    if (r.discarded) {
                        item->setForeground(kDiscardedText);
                    } else if (c == kColDeviation &&
                               !WithinTolerance(d, run.settings.tolerancePercent)) {
                        item->setBackground(kFailColour);
                    }
                }
            }
            const bool taken =
                step && std::any_of(run.readings.begin(), run.readings.end(), [&](const auto& r) {
                    return !r.discarded && r.direction == step->direction &&
                           r.point == step->point && r.index == step->index;
                });
            if (running && step && !taken && step->kind == PullStep::Kind::Reading &&
                step->direction == point.direction && step->point == point.point) {
                // The pull asked for now: its reference can be typed while it is awaited.
                auto* reference = cell(QString());
                if (!m_session.testerOpen() && state.phase != VerifyPhase::Clearing) {
                    reference->setFlags(reference->flags() | Qt::ItemIsEditable);
                    reference->setToolTip(tr("Type the tester's reading here"));
                }
                m_pendingRow = addRow({{kColPoint, cell(where)},
                                       {kColIndex, cell(QString::number(step->index))},
                                       {kColTarget, cell(torqueText(step->target, digits))},
                                       {kColReference, reference}});
            }
            if (point.count == 0) {
                continue;
            }
            auto* result =
                cell(point.complete ? (point.passed ? tr("PASS") : tr("FAIL")) : QString());
            if (point.complete) {
                result->setBackground(point.passed ? kPassColour : kFailColour);
            }
            QFont bold = grdReadings->font();
            bold.setBold(true);
            result->setFont(bold);
            addRow({{kColPoint, cell(where)},
                    {kColIndex,
                     cell(tr("%1 of %2").arg(point.count).arg(run.settings.readingsPerPoint))},
                    {kColTarget, cell(torqueText(point.target, digits))},
                    {kColReference, cell(QString::number(point.meanReference, 'f', 2))},
                    {kColMean, cell(torqueText(point.meanWrench, digits + 1))},
                    {kColLargest, cell(qs(DeviationText(point.largestDeviation)))},
                    {kColSpread, cell(tr("%1 N·m (%2 %)")
                                          .arg(torqueText(point.spread, digits + 1),
                                               QString::number(point.spreadPercent, 'f', 2)))},
                    {kColResult, result}});
        }
    }
    if (m_pendingRow >= 0) {
        // Down to the pull awaited, the columns as they are.
        grdReadings->scrollToItem(grdReadings->item(m_pendingRow, kColPoint));
    }
    m_filling = false;
}

void VerificationWindow::showVerdict() {
    const VerificationState& state = m_session.verification();
    QString words;
    QColor colour = palette().color(QPalette::Window);
    if (state.phase == VerifyPhase::Ended && !m_starting) {
        if (state.linkFailed) {
            words = tr("ENDED: the link failed, no verdict");
        } else if (state.run.stopped) {
            words = tr("STOPPED: no verdict");
        } else if (state.run.verdict == Verdict::Passed) {
            words = tr("PASSED");
            colour = kPassColour;
        } else if (state.run.verdict == Verdict::Failed) {
            words = tr("FAILED");
            colour = kFailColour;
        } else {
            words = tr("Ended without a verdict");
        }
    }
    lblVerdict->setText(words);
    QPalette shown = lblVerdict->palette();
    shown.setColor(QPalette::Window, colour);
    lblVerdict->setPalette(shown);
}

void VerificationWindow::showButtons() {
    const VerificationState& state = m_session.verification();
    const bool running = runGoingOn();
    const bool taken =
        !m_starting && std::any_of(state.run.readings.begin(), state.run.readings.end(),
                                   [](const VerificationReading& r) { return !r.discarded; });
    m_exchangeControls->setEnabled(cmdStartRun, !running);
    m_settings->setEnabled(!running);
    cmbTesterPort->parentWidget()->setEnabled(!running);
    cmdNextPull->setEnabled(running);
    cmdRepeatLast->setEnabled(running && taken);
    txtRepeatReason->setEnabled(running && taken);
    cmdStopRun->setEnabled(running);
    cmdCertificate->setEnabled(!running && state.phase == VerifyPhase::Ended &&
                               !state.run.stopped && state.run.verdict != Verdict::None &&
                               !m_recordId.isEmpty());
}

void VerificationWindow::referenceTyped(QTableWidgetItem* item) {
    if (m_filling || item->row() != m_pendingRow || item->column() != kColReference) {
        return;
    }
    const QString text = item->text().trimmed();
    if (text.isEmpty()) {
        return;
    }
    // Typed as a tester would send it: a number, and a unit when it is not N·m.
    const auto reading = ParseTesterLine(text.toStdString());
    if (!reading) {
        const QSignalBlocker quiet(grdReadings);
        item->setText(QString());
        warn(tr("The reference \"%1\" is not a torque: type it in N·m, or with its unit "
                "(\"531.9 lbf.in\").")
                 .arg(qs(QuotedInput(text.toStdString()))));
        return;
    }
    m_session.verificationReference(reading->newtonMetres, text.toStdString());
}

} // namespace zelcor
