// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/frmRs232WRPara.h"

#include "common/TextConv.h"
#include "editor/CellText.h"
#include "editor/Presets.h"
#include "platform/MessageBoxes.h"
#include "serial/CommandProtocol.h"
#include "serial/WrenchLink.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"
#include "widgets/Shape.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zelcor {

namespace {

constexpr int kRows = 8;
constexpr int kColumns = 6;

// The legend of each cell: its address and the parameter kept there, spelled as the wrench's
// documentation has always shown them.
const std::array<const char*, frmRs232WRPara::kCellCount> kLegends{
    "00H:Reserved",      "01H:Reserved",        "02H:Reserved",        "03H:Reserved",
    "04H:Reserved",      "05H:Reserved",        "06H:Reserved",        "07H:REeserved",
    "08H:Reserved",      "09H:Reserved",        "0AH:Reserved",        "0BH:Reserved",
    "0CH:Reserved",      "0DH:ReserveK",        "0EH:SW--L",           "0FH:SW--H",
    "10H:gStatusEp",     "11H:gK_CWi_L",        "12H:gK_CWi_H",        "13H:gK_CCWi_L",
    "14H:gK_CCWi_H",     "15H:gPTStatus",       "16H:gUnitStatus",     "17H:a_AdTorq100_L",
    "18H:a_AdTorq100_H", "19H:a_AdTorqABS_L",   "1AH:a_AdTorqABS_H",   "1BH:m_ratio_L",
    "1CH:m_ratio_H",     "1DH:ms_TqHLimit_L",   "1EH:ms_TqHLimit_H",   "1FH:ms_TqLLimit_L",
    "20H:ms_TqLLimit_H", "21H:mr_RecLen",       "22H:mr_RecLenMax",    "23H:a_TkHisMax_L",
    "24H:a_TkHisMax_H",  "25H:gK_CWA_L",        "26H:gK_CWA_H",        "27H:gK_CCWA_L",
    "28H:gK_CCWA_H",     "29H: 保留給  fgauge", "2AH:保留給   fgauge", "2BH:cdoe_2",
    "2CH:code_1",        "2DH:code_0",
};

QString hexText(std::uint8_t value) {
    return QString::fromStdString(ByteToHexStr(value));
}

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

frmRs232WRPara::frmRs232WRPara(WrenchLink& link, QWidget& mainWindow)
    : m_link(link), m_main(mainWindow),
      m_exchangeControls(std::make_unique<ExchangeControls>(link)) {
    setObjectName(QStringLiteral("frmRs232WRPara"));
    setWindowTitle(QStringLiteral("扳手參數"));
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

    cmdClear = makeButton(this, QStringLiteral("cmdClear"), QStringLiteral("清除"));
    cmdReadAll = makeButton(this, QStringLiteral("cmdReadAll"), QStringLiteral("讀取全部"));
    Combo1 = makeComboBox(this, QStringLiteral("Combo1"), QStringLiteral("WT-07"), 6);
    QStringList models;
    for (const ModelPreset& preset : ModelPresets()) {
        models << QString::fromLatin1(preset.model.data(),
                                      static_cast<qsizetype>(preset.model.size()));
    }
    addComboItems(Combo1, models);
    cmdLdPara = makeButton(this, QStringLiteral("cmdLdPara"), QStringLiteral("載入參數"));
    cmdWR = makeButton(this, QStringLiteral("cmdWR"), QStringLiteral("寫入扳手"));
    cmdFillAllFF = makeButton(this, QStringLiteral("cmdFillAllFF"), QStringLiteral("全填FF"));
    cmdWriteAllFF =
        makeButton(this, QStringLiteral("cmdWriteAllFF"), QStringLiteral("Write All FF"));
    cmdStop = makeButton(this, QStringLiteral("cmdStop"), QStringLiteral("Stop"));
    cmdReturn = makeButton(this, QStringLiteral("cmdReturn"), QStringLiteral("返回"));

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

    auto* cells = new QWidget(this);
    buildCells(cells);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(12, 12, 12, 12);
    top->setSpacing(10);
    top->addLayout(steps);
    top->addWidget(labMsg);
    top->addWidget(cells);
    top->addStretch(1);
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
            makeTextBox(parent, QStringLiteral("Text1(%1)").arg(i), QStringLiteral("XX"), 2);
        text->setFixedWidth(text->minimumWidth());
        text->setAlignment(Qt::AlignCenter);
        auto* check = new QCheckBox(parent);
        check->setObjectName(QStringLiteral("Check1(%1)").arg(i));
        auto* legend = makeLabel(parent, QString::fromUtf8(kLegends[index]),
                                 QStringLiteral("Label26(%1)").arg(i));
        legend->setFont(legendFont);
        // The reserved and identity bytes below 10H are the wrench's own: shown, not typed.
        if (i < kFirstEditableCell) {
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
}

void frmRs232WRPara::cmdClear_Click() {
    for (int i = 0; i < kCellCount; ++i) {
        Text1(i)->setText(QStringLiteral("XX"));
        Check1(i)->setChecked(false);
    }
}

void frmRs232WRPara::cmdFillAllFF_Click() {
    for (int i = kFirstTransferCell; i <= kLastCell; ++i) {
        Text1(i)->setText(QStringLiteral("FF"));
        Check1(i)->setChecked(true);
    }
}

void frmRs232WRPara::cmdStop_Click() {
    StopFlag = true;
}

void frmRs232WRPara::cmdReturn_Click() {
    m_main.show();
    m_main.raise();
    m_main.activateWindow();
}

bool frmRs232WRPara::readWithRetry(std::uint8_t InAddr0, std::uint8_t& OutData) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Each attempt starts from a clear result: the exchange only ever adds a failure.
        std::uint8_t result = 0;
        std::uint8_t data1 = 0;
        std::uint8_t data2 = 0;
        if (m_link.SendReadCmd_Chk(0x00, InAddr0, result, OutData, data1, data2)) {
            return true;
        }
        if (result == CommResult::Busy) {
            return false; // refused, not failed: trying again at once is refused too
        }
    }
    return false;
}

bool frmRs232WRPara::writeWithRetry(std::uint8_t InAddr0, std::uint8_t InData) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::uint8_t result = 0;
        if (m_link.SendWriteCmd_Chk(0x00, InAddr0, InData, result)) {
            return true;
        }
        if (result == CommResult::Busy) {
            return false;
        }
    }
    return false;
}

void frmRs232WRPara::showReceiveError() {
    m_link.boxes().show(QStringLiteral("Data Receving Err"),
                        QStringLiteral("Exit for Communication Error"), BoxIcon::Critical,
                        BoxButtons::Ok);
}

bool frmRs232WRPara::stopRequested() {
    if (!StopFlag) {
        return false;
    }
    m_link.boxes().show(QStringLiteral("Communication exit"), QStringLiteral("Stop"),
                        BoxIcon::Critical, BoxButtons::Ok);
    return true;
}

void frmRs232WRPara::cmdReadAll_Click() {
    if (!m_link.mayStartOperation()) {
        return;
    }
    m_link.clearEchoes();
    StopFlag = false;
    const WrenchLink::Hold hold(m_link);
    for (int i = kFirstTransferCell; i <= kLastCell; ++i) {
        if (Check1(i)->isChecked()) {
            labMsg->setText(QStringLiteral("NO: %1 Reading").arg(i));
            std::uint8_t data = 0;
            if (!readWithRetry(static_cast<std::uint8_t>(i), data)) {
                showReceiveError();
                labMsg->setText(QStringLiteral("Fail"));
                m_link.HelpMsg();
                return;
            }
            Text1(i)->setText(hexText(data));
        }
        // Looked at only between cells, so the cell being read when Stop came is filled.
        if (stopRequested()) {
            return;
        }
    }
}

bool frmRs232WRPara::cellByte(int i, std::uint8_t& OutData) {
    const QString text = Text1(i)->text();
    const CellByte cell = CellTextToByte(text.toStdString());
    if (cell.fault == CellTextFault::None) {
        OutData = cell.value;
        return true;
    }
    // Never guess a byte for the instrument's memory: an unread, empty or malformed cell
    // stops the write here.
    const QString reason =
        QString::fromStdString(CellTextFaultReason(cell.fault, text.toStdString()));
    m_link.boxes().show(QStringLiteral("Cell %1 %2.\r\nNothing from this cell on has "
                                       "been written.")
                            .arg(Label26(i)->text(), reason),
                        QStringLiteral("Invalid Cell"), BoxIcon::Exclamation, BoxButtons::Ok);
    return false;
}

void frmRs232WRPara::cmdWr_Click() {
    if (!m_link.mayStartOperation()) {
        return;
    }
    StopFlag = false;
    const WrenchLink::Hold hold(m_link);
    for (int i = kFirstTransferCell; i <= kLastCell; ++i) {
        labMsg->setText(QStringLiteral("NO: %1").arg(i));
        if (!Check1(i)->isChecked()) {
            continue;
        }
        labMsg->setText(labMsg->text() + QStringLiteral("write"));
        std::uint8_t value = 0;
        if (!cellByte(i, value) || !WriteParameter(static_cast<std::uint8_t>(i), value)) {
            labMsg->setText(QStringLiteral("Fail"));
            return;
        }
    }
    labMsg->setText(QStringLiteral("OK"));
}

void frmRs232WRPara::cmdWriteAllFF_Click() {
    if (!m_link.mayStartOperation()) {
        return;
    }
    m_link.clearEchoes();
    StopFlag = false;
    const WrenchLink::Hold hold(m_link);
    for (int i = kFirstTransferCell; i <= kLastCell; ++i) {
        if (!writeWithRetry(static_cast<std::uint8_t>(i), 0xFF)) {
            showReceiveError();
            m_link.HelpMsg();
            return;
        }
        if (stopRequested()) {
            return;
        }
    }
}

bool frmRs232WRPara::WriteParameter(std::uint8_t InAddr0, std::uint8_t InData) {
    const WrenchLink::Hold hold(m_link);
    bool result = true;
    if (!writeWithRetry(InAddr0, InData)) {
        showReceiveError();
        m_link.HelpMsg();
        result = false;
    }
    // A stop asked for during this byte is reported after its failure, if it failed too.
    if (stopRequested()) {
        result = false;
    }
    return result;
}

void frmRs232WRPara::cmdLdPara_Click() {
    const ModelPreset& preset = PresetForModel(Combo1->currentText().toStdString());
    for (std::size_t k = 0; k < kPresetLength; ++k) {
        const std::string_view cell = preset.cells[k];
        Text1(kPresetFirstCell + static_cast<int>(k))
            ->setText(QString::fromLatin1(cell.data(), static_cast<qsizetype>(cell.size())));
    }
    for (int i = 0; i < kCellCount; ++i) {
        Check1(i)->setChecked(i >= kPresetFirstCell && i <= kPresetLastCell);
    }
}

} // namespace zelcor
