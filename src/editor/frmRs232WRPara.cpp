// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/frmRs232WRPara.h"

#include "session/WrenchSession.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"
#include "widgets/Shape.h"
#include "wrench/Presets.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QVBoxLayout>

namespace zelcor {

namespace {

constexpr int kRows = 8;
constexpr int kColumns = 6;

// What the legends in the system's own language mean, shown as their tooltips.
const std::pair<int, const char*> kLegendMeanings[] = {
    {0x29, QT_TRANSLATE_NOOP("zelcor::frmRs232WRPara", "29H: reserved for fgauge")},
    {0x2A, QT_TRANSLATE_NOOP("zelcor::frmRs232WRPara", "2AH: reserved for fgauge")}};

// A step marker: large red digits inside an outline.
QWidget* makeStepMarker(QWidget* parent, QLabel*& label, const QString& name,
                        const QString& caption) {
    auto* holder = new QWidget(parent);
    auto* grid = new QGridLayout(holder);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* outline = new Shape(holder);
    outline->setFilled(false);
    outline->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    label = makeLabel(holder, caption, name);
    QFont font = label->font();
    font.setPointSize(24);
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: red; padding: 0px 6px;"));
    label->setAlignment(Qt::AlignCenter);
    // Both in the one cell: the outline is drawn first, the label over it.
    grid->addWidget(outline, 0, 0);
    grid->addWidget(label, 0, 0);
    holder->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return holder;
}

} // namespace

frmRs232WRPara::frmRs232WRPara(WrenchSession& session, QWidget& mainWindow)
    : m_session(session), m_main(mainWindow),
      m_exchangeControls(std::make_unique<ExchangeControls>()) {
    setObjectName(QStringLiteral("frmRs232WRPara"));
    connect(&m_session, &WrenchSession::busyChanged, this,
            [this](bool busy) { m_exchangeControls->setBusy(busy); });
    setWindowTitle(tr("扳手參數"));
    buildControls();
    connectHandlers();

    // One exchange on the wire at a time: the buttons that start one wait while any runs.
    // Clear, Fill All FF and Load would change cells under a running transfer, so they
    // wait as well.
    for (QWidget* w : std::initializer_list<QWidget*>{cmdReadAll, cmdWR, cmdWriteAllFF, cmdClear,
                                                      cmdFillAllFF, cmdLdPara}) {
        m_exchangeControls->add(w);
    }
}

frmRs232WRPara::~frmRs232WRPara() = default;

void frmRs232WRPara::buildControls() {
    setStyleSheet(QStringLiteral(
        "QPushButton { background-color: rgb(0, 192, 192); border: 1px solid rgb(0, 96, 96);"
        " border-radius: 2px; padding: 5px 12px; }"
        "QPushButton:pressed { background-color: rgb(0, 150, 150); }"
        "QPushButton:disabled { background-color: rgb(160, 212, 212); color: rgb(96, 128, 128); }"
        "QComboBox { color: rgb(0, 255, 0); background-color: black; }"
        "QComboBox QAbstractItemView { color: rgb(0, 255, 0); background-color: black; }"));

    // The captions in the system's own language carry their meaning in English.
    cmdClear = makeButton(this, QStringLiteral("cmdClear"), tr("清除"), tr("Clear"));
    cmdReadAll = makeButton(this, QStringLiteral("cmdReadAll"), tr("讀取全部"), tr("Read All"));
    Combo1 = makeComboBox(this, QStringLiteral("Combo1"), QStringLiteral("WT-07"), 6);
    QStringList models;
    for (const ModelPreset& preset : ModelPresets()) {
        models << QString::fromLatin1(preset.model.data(),
                                      static_cast<qsizetype>(preset.model.size()));
    }
    addComboItems(Combo1, models);
    cmdLdPara =
        makeButton(this, QStringLiteral("cmdLdPara"), tr("載入參數"), tr("Load Parameters"));
    cmdWR = makeButton(this, QStringLiteral("cmdWR"), tr("寫入扳手"), tr("Write to Wrench"));
    cmdFillAllFF =
        makeButton(this, QStringLiteral("cmdFillAllFF"), tr("全填FF"), tr("Fill All FF"));
    cmdWriteAllFF = makeButton(this, QStringLiteral("cmdWriteAllFF"), tr("Write All FF"));
    cmdStop = makeButton(this, QStringLiteral("cmdStop"), tr("Stop"));
    cmdReturn = makeButton(this, QStringLiteral("cmdReturn"), tr("返回"), tr("Back"));

    // The steps of a session, left to right: clear and read the wrench, load a model's
    // preset, write it, and the FF fills.
    auto* steps = new QHBoxLayout;
    steps->setSpacing(8);
    auto addStep = [this, steps](QLabel*& marker, const char* name, const char* caption,
                                 std::initializer_list<QWidget*> controls) {
        steps->addWidget(
            makeStepMarker(this, marker, QString::fromLatin1(name), QString::fromLatin1(caption)));
        for (QWidget* w : controls) {
            steps->addWidget(w);
        }
        steps->addSpacing(18);
    };
    addStep(Label2, "Label2", "4-1", {cmdClear, cmdReadAll});
    addStep(Label1, "Label1", "4-2", {Combo1, cmdLdPara});
    addStep(Label3, "Label3", "4-3", {cmdWR});
    addStep(Label4, "Label4", "4-4", {cmdFillAllFF, cmdWriteAllFF});
    steps->addStretch(1);
    steps->addWidget(cmdStop);
    steps->addWidget(cmdReturn);

    labMsg = makeLabel(this, QString(), QStringLiteral("labMsg"));
    QFont msgFont = labMsg->font();
    msgFont.setPointSizeF(13.5);
    msgFont.setBold(false);
    labMsg->setFont(msgFont);
    labMsg->setStyleSheet(QStringLiteral("color: red"));
    labMsg->setMinimumHeight(labMsg->fontMetrics().height() + 4);
    // Beside the message, how many cells of the running transfer are done.
    prgCells = makeProgressBar(this, QStringLiteral("prgCells"));
    auto* message = new QHBoxLayout;
    message->addWidget(labMsg, 1);
    message->addWidget(prgCells);

    auto* cells = new QWidget(this);
    buildCells(cells);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(12, 12, 12, 12);
    top->setSpacing(10);
    top->addLayout(steps);
    top->addLayout(message);
    top->addWidget(cells);
    top->addStretch(1);

    // The steps left to right, then the cells by address, down each column of the grid.
    QList<QWidget*> order{cmdClear,     cmdReadAll,    Combo1,  cmdLdPara, cmdWR,
                          cmdFillAllFF, cmdWriteAllFF, cmdStop, cmdReturn};
    for (int i = 0; i < kCellCount; ++i) {
        order << Text1(i) << Check1(i);
    }
    chainTabOrder(order);
}

void frmRs232WRPara::buildCells(QWidget* parent) {
    auto* grid = new QGridLayout(parent);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);

    QFont legendFont = font();
    legendFont.setStyleHint(QFont::SansSerif);
    legendFont.setPointSizeF(8.25);
    legendFont.setBold(true);

    // Each column of cells takes four grid columns: text box, check box, legend, a gap.
    for (int i = 0; i < kCellCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const int row = i % kRows;
        const int column = 4 * (i / kRows);
        auto* text =
            makeFixedBox(parent, QStringLiteral("Text1(%1)").arg(i), QStringLiteral("XX"), 2);
        text->setAlignment(Qt::AlignCenter);
        auto* check = new QCheckBox(parent);
        check->setObjectName(QStringLiteral("Check1(%1)").arg(i));
        auto* legend =
            makeLabel(parent, CellLegendCaption(i), QStringLiteral("Label26(%1)").arg(i));
        legend->setFont(legendFont);
        for (const auto& [address, meaning] : kLegendMeanings) {
            if (address == i) {
                legend->setToolTip(tr(meaning));
            }
        }
        // The reserved and identity bytes below 10H are the wrench's own: shown, not typed.
        if (i < cells::kFirstEditable) {
            text->setEnabled(false);
            check->setEnabled(false);
        }
        grid->addWidget(text, row, column);
        grid->addWidget(check, row, column + 1);
        grid->addWidget(legend, row, column + 2);
        m_text1[index] = text;
        m_check1[index] = check;
        m_label26[index] = legend;
    }
    for (int c = 0; c < kColumns - 1; ++c) {
        grid->setColumnMinimumWidth(4 * c + 3, 14);
    }
}

void frmRs232WRPara::connectHandlers() {
    connect(cmdClear, &QPushButton::clicked, this, [this] { cmdClear_Click(); });
    connect(cmdFillAllFF, &QPushButton::clicked, this, [this] { cmdFillAllFF_Click(); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { cmdStop_Click(); });
    connect(cmdReturn, &QPushButton::clicked, this, [this] { cmdReturn_Click(); });
    connect(cmdReadAll, &QPushButton::clicked, this, [this] { cmdReadAll_Click(); });
    connect(cmdWR, &QPushButton::clicked, this, [this] { cmdWr_Click(); });
    connect(cmdWriteAllFF, &QPushButton::clicked, this, [this] { cmdWriteAllFF_Click(); });
    connect(cmdLdPara, &QPushButton::clicked, this, [this] { cmdLdPara_Click(); });

    // What the technician types or ticks goes into the memory; what the memory gets shows.
    for (int i = 0; i < kCellCount; ++i) {
        connect(Text1(i), &QLineEdit::textChanged, this, [this, i](const QString& text) {
            if (i != m_showingCell) {
                m_typingCell = i;
                m_session.memory().setTyped(i, text.toStdString());
                m_typingCell = -1;
            }
        });
        connect(Check1(i), &QCheckBox::toggled, this, [this, i](bool checked) {
            if (i != m_showingCell) {
                m_session.memory().setSelected(i, checked);
            }
        });
    }
    connect(&m_session, &WrenchSession::memoryChanged, this, [this](int i) { showCell(i); });
    connect(&m_session, &WrenchSession::cellProgress, this,
            [this](const CellProgress& progress) { showProgress(progress); });
    connect(&m_session, &WrenchSession::cellJobEnded, this,
            [this](CellJob job, const JobResult& result) { showEnd(job, result); });
}

void frmRs232WRPara::showCell(int i) {
    m_showingCell = i;
    const QString text = QString::fromStdString(m_session.memory().text(i));
    if (i != m_typingCell && Text1(i)->text() != text) {
        Text1(i)->setText(text);
    }
    Check1(i)->setChecked(m_session.memory().selected(i));
    m_showingCell = -1;
}

void frmRs232WRPara::showProgress(const CellProgress& progress) {
    // The bar counts the cells done: the one just begun is not, yet.
    if (progress.index > 0) {
        prgCells->setRange(0, progress.count);
        prgCells->setValue(progress.index - 1);
    }
    switch (progress.job) {
    case CellJob::Read:
        if (progress.selected) {
            labMsg->setText(tr("NO: %1 Reading").arg(progress.address));
        }
        break;
    case CellJob::Write:
        labMsg->setText(progress.selected ? tr("NO: %1write").arg(progress.address)
                                          : tr("NO: %1").arg(progress.address));
        break;
    case CellJob::WriteAllFF:
        break;
    }
}

void frmRs232WRPara::showEnd(CellJob job, const JobResult& result) {
    if (result.ok()) {
        prgCells->setValue(prgCells->maximum());
    }
    prgCells->reset();
    if (job == CellJob::Write) {
        labMsg->setText(result.ok() ? tr("OK") : tr("Fail"));
    } else if (job == CellJob::Read && result.end == JobEnd::Failed) {
        labMsg->setText(tr("Fail"));
    }
}

void frmRs232WRPara::cmdClear_Click() {
    m_session.memory().clear();
}

void frmRs232WRPara::cmdFillAllFF_Click() {
    m_session.fillAllFF();
}

void frmRs232WRPara::cmdStop_Click() {
    m_session.stopCells();
}

void frmRs232WRPara::cmdReturn_Click() {
    m_main.show();
    m_main.raise();
    m_main.activateWindow();
}

void frmRs232WRPara::cmdReadAll_Click() {
    m_session.readCells();
}

void frmRs232WRPara::cmdWr_Click() {
    m_session.writeCells();
}

void frmRs232WRPara::cmdWriteAllFF_Click() {
    m_session.writeAllFF();
}

void frmRs232WRPara::cmdLdPara_Click() {
    m_session.loadPreset(Combo1->currentText().toStdString());
}

} // namespace zelcor
