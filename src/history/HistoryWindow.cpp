// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryWindow.h"

#include "certificate/Certificate.h"
#include "certificate/CertificateRecords.h"

#include "widgets/Controls.h"
#include "wrench/WrenchMap.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace zelcor {

namespace {

using records::RecordColumn;

// The columns the list shows, with their captions; the rest shows in the detail.
const std::pair<RecordColumn, const char*> kShownColumns[] = {
    {records::kColTime, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Time (UTC)")},
    {records::kColWrenchCode, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Wrench code")},
    {records::kColJob, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Job")},
    {records::kColOutcome, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Outcome")},
    {records::kColFailureCode, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Failure")},
    {records::kColDirection, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Direction")},
    {records::kColDigits, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Digits")},
    {records::kColOperator, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Operator")},
    {records::kColStation, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Station")},
    {records::kColMessage, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Message")}};

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// A record whose job never read the wrench's code names no wrench: the list says so rather
// than leave a blank that reads like a fault of the list.
class WrenchCodeDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override {
        return value.toString().isEmpty() ? HistoryWindow::tr("unknown")
                                          : QStyledItemDelegate::displayText(value, locale);
    }
};

QString HexByte(std::uint8_t value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// The columns the detail shows, in its order, with their captions; the failure code goes
// with the outcome.
const std::pair<RecordColumn, const char*> kDetailColumns[] = {
    {records::kColTime, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Time (UTC)")},
    {records::kColDuration, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Duration")},
    {records::kColJob, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Job")},
    {records::kColOutcome, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Outcome")},
    {records::kColMessage, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Message")},
    {records::kColWrenchCode, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Wrench code")},
    {records::kColFactoryCode, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Factory code")},
    {records::kColSoftwareVersion, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Software version")},
    {records::kColDirection, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Direction")},
    {records::kColDigits, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Digits")},
    {records::kColRequestCode, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Request code")},
    {records::kColRequestMessage, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Request")},
    {records::kColNewSet, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "New parameter set")},
    {records::kColDetail, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Detail")},
    {records::kColRunSummary, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Run")},
    {records::kColBytesRead, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Bytes read")},
    {records::kColStation, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Station")},
    {records::kColOperator, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Operator")},
    {records::kColProgram, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Program")},
    {records::kColPort, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Port")},
    {records::kColId, QT_TRANSLATE_NOOP("zelcor::HistoryWindow", "Record")}};

// A line for each column that holds something: "Caption: value".
QString DetailText(const ServiceRecord& r) {
    QStringList lines;
    for (const auto& [column, caption] : kDetailColumns) {
        QString value = qs(records::StoredText(r, column));
        switch (column) {
        case records::kColDuration:
            value += QStringLiteral(" ms");
            break;
        case records::kColOutcome:
            if (r.failureCode != 0) {
                value += HistoryWindow::tr(" (failure code %1)").arg(r.failureCode);
            }
            break;
        case records::kColWrenchCode:
            if (value.isEmpty()) {
                value = HistoryWindow::tr("unknown");
            }
            break;
        default:
            break;
        }
        if (!value.isEmpty()) {
            lines << QStringLiteral("%1: %2").arg(HistoryWindow::tr(caption), value);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

// The save dialog for the listed records' CSV, or for a certificate (a suggested ".pdf").
QString SaveDialog(QWidget* parent, const QString& suggested) {
    if (suggested.endsWith(QLatin1String(".pdf"))) {
        return QFileDialog::getSaveFileName(parent, HistoryWindow::tr("Certificate"), suggested,
                                            HistoryWindow::tr("PDF files (*.pdf)"));
    }
    return QFileDialog::getSaveFileName(parent, HistoryWindow::tr("Export CSV"), suggested,
                                        HistoryWindow::tr("CSV files (*.csv)"));
}

} // namespace

HistoryWindow::HistoryWindow(records::RecordsTarget target,
                             std::function<std::string()> connectedWrench, QWidget* parent)
    : QWidget(parent), m_target(std::move(target)), m_connectedWrench(std::move(connectedWrench)),
      m_chooseFile(SaveDialog), m_today([] { return QDateTime::currentDateTimeUtc().date(); }),
      m_connection(QStringLiteral("zelcor-history-%1").arg(quintptr(this), 0, 16)) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(tr("Service records"));
    resize(1000, 620);
    buildControls();
}

HistoryWindow::~HistoryWindow() {
    // The model's query goes before the connection it runs on.
    m_model->clear();
    if (m_open) {
        records::CloseRecordsDatabase(m_connection);
    }
}

void HistoryWindow::buildControls() {
    txtWrenchCode = makeTextBox(this, QStringLiteral("txtWrenchCode"), QString(), 8);
    txtWrenchCode->setToolTip(tr("The wrench code (2BH 2CH 2DH), empty for every wrench"));
    cmbJob = new QComboBox(this);
    cmbJob->setObjectName(QStringLiteral("cmbJob"));
    cmbJob->setMinimumContentsLength(16);
    cmbJob->addItem(tr("all"));
    const QDate today = QDateTime::currentDateTimeUtc().date();
    const auto dateBox = [this, today](const char* checkName, const QString& caption,
                                       const char* dateName, QCheckBox*& check, QDateEdit*& date) {
        check = new QCheckBox(caption, this);
        check->setObjectName(QLatin1String(checkName));
        date = new QDateEdit(today, this);
        date->setObjectName(QLatin1String(dateName));
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setCalendarPopup(true);
        date->setEnabled(false);
        connect(check, &QCheckBox::toggled, date, &QWidget::setEnabled);
    };
    dateBox("chkSince", tr("From"), "dtpSince", chkSince, dtpSince);
    dateBox("chkUntil", tr("Until"), "dtpUntil", chkUntil, dtpUntil);
    cmdRefresh = makeButton(this, QStringLiteral("cmdRefresh"), tr("Refresh"));
    cmdExport = makeButton(this, QStringLiteral("cmdExport"), tr("Export CSV"));

    auto* filters = new QHBoxLayout;
    filters->addWidget(makeLabel(this, tr("Wrench code")));
    filters->addWidget(txtWrenchCode);
    filters->addWidget(makeLabel(this, tr("Job")));
    filters->addWidget(cmbJob);
    filters->addWidget(chkSince);
    filters->addWidget(dtpSince);
    filters->addWidget(chkUntil);
    filters->addWidget(dtpUntil);
    filters->addWidget(makeLabel(this, tr("(UTC)")));
    filters->addStretch();
    filters->addWidget(cmdRefresh);
    filters->addWidget(cmdExport);

    m_model = new records::RecordListModel(this);
    connect(m_model, &records::RecordListModel::pageFailed, this, [this](const QString& error) {
        showStatus(tr("The records cannot be read: %1").arg(error));
    });
    grdRecords = new QTableView(this);
    grdRecords->setObjectName(QStringLiteral("grdRecords"));
    grdRecords->setModel(m_model);
    grdRecords->setItemDelegateForColumn(records::kColWrenchCode,
                                         new WrenchCodeDelegate(grdRecords));
    grdRecords->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRecords->setSelectionMode(QAbstractItemView::SingleSelection);
    grdRecords->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRecords->setWordWrap(false);
    grdRecords->verticalHeader()->setVisible(false);
    grdRecords->horizontalHeader()->setStretchLastSection(true);

    txtDetail = new QPlainTextEdit(this);
    txtDetail->setObjectName(QStringLiteral("txtDetail"));
    txtDetail->setReadOnly(true);
    grdWritten = new QTableWidget(0, 3, this);
    grdWritten->setObjectName(QStringLiteral("grdWritten"));
    grdWritten->setHorizontalHeaderLabels({tr("Cell"), tr("Before"), tr("After")});
    grdWritten->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdWritten->verticalHeader()->setVisible(false);
    grdWritten->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    auto* detail = new QHBoxLayout;
    detail->addWidget(txtDetail, 3);
    auto* written = new QVBoxLayout;
    written->addWidget(makeLabel(this, tr("Bytes written")));
    written->addWidget(grdWritten);
    detail->addLayout(written, 2);

    lblStatus = makeLabel(this, QString(), QStringLiteral("lblStatus"));
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* recordsPage = new QWidget(this);
    auto* records = new QVBoxLayout(recordsPage);
    records->addLayout(filters);
    records->addWidget(grdRecords, 3);
    records->addLayout(detail, 2);

    // The due list: a wrench a row; a row's record id rides in its first cell.
    auto* duePage = new QWidget(this);
    grdDue = new QTableWidget(0, 5, duePage);
    grdDue->setObjectName(QStringLiteral("grdDue"));
    grdDue->setHorizontalHeaderLabels({tr("Wrench code"), tr("Last verification (UTC)"),
                                       tr("Verdict"), tr("Next due"), tr("State")});
    grdDue->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdDue->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdDue->setSelectionMode(QAbstractItemView::SingleSelection);
    grdDue->verticalHeader()->setVisible(false);
    grdDue->horizontalHeader()->setStretchLastSection(true);
    cmdCertificate = makeButton(duePage, QStringLiteral("cmdCertificate"), tr("Certificate…"));
    cmdCertificate->setEnabled(false);
    auto* dueButtons = new QHBoxLayout;
    dueButtons->addStretch(1);
    dueButtons->addWidget(cmdCertificate);
    auto* due = new QVBoxLayout(duePage);
    due->addWidget(grdDue);
    due->addLayout(dueButtons);

    tabPages = new QTabWidget(this);
    tabPages->setObjectName(QStringLiteral("tabPages"));
    tabPages->addTab(recordsPage, tr("Records"));
    tabPages->addTab(duePage, tr("Due"));

    auto* window = new QVBoxLayout(this);
    window->addWidget(tabPages);
    window->addWidget(lblStatus);
    // The records page row by row, the pages' tabs, then the due page.
    chainTabOrder({txtWrenchCode, cmbJob, chkSince, dtpSince, chkUntil, dtpUntil, cmdRefresh,
                   cmdExport, grdRecords, txtDetail, grdWritten, tabPages, grdDue, cmdCertificate});

    connect(txtWrenchCode, &QLineEdit::textEdited, this, [this] { m_codeTyped = true; });
    connect(txtWrenchCode, &QLineEdit::textChanged, this, [this] { applyFilter(); });
    connect(cmbJob, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });
    for (QCheckBox* check : {chkSince, chkUntil}) {
        connect(check, &QCheckBox::toggled, this, [this] { applyFilter(); });
    }
    for (QDateEdit* date : {dtpSince, dtpUntil}) {
        connect(date, &QDateEdit::dateChanged, this, [this] { applyFilter(); });
    }
    connect(cmdRefresh, &QPushButton::clicked, this, [this] { refresh(); });
    connect(cmdExport, &QPushButton::clicked, this, [this] { cmdExport_Click(); });
    connect(grdRecords->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showRecord(current.row()); });
    connect(grdDue, &QTableWidget::currentCellChanged, this,
            [this] { cmdCertificate->setEnabled(!chosenRun().isEmpty()); });
    connect(grdDue, &QTableWidget::cellDoubleClicked, this, [this] { cmdCertificate_Click(); });
    connect(cmdCertificate, &QPushButton::clicked, this, [this] { cmdCertificate_Click(); });
}

void HistoryWindow::refreshDue() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    const QDate today = m_today();
    const std::vector<records::DueEntry> entries = records::DueList(db, today, error);
    grdDue->setRowCount(0);
    if (!error.isEmpty()) {
        showStatus(tr("The due list cannot be read: %1").arg(error));
        return;
    }
    const auto verdictText = [](Verdict verdict) {
        switch (verdict) {
        case Verdict::Passed:
            return tr("passed");
        case Verdict::Failed:
            return tr("failed");
        case Verdict::None:
            break;
        }
        return QString();
    };
    const auto stateText = [](records::DueState state) {
        switch (state) {
        case records::DueState::Failed:
            return tr("failed");
        case records::DueState::Overdue:
            return tr("overdue");
        case records::DueState::NeverVerified:
            return tr("never verified");
        case records::DueState::Due:
            break;
        }
        return tr("due");
    };
    grdDue->setRowCount(int(entries.size()));
    for (int row = 0; row < int(entries.size()); ++row) {
        const records::DueEntry& e = entries[std::size_t(row)];
        const bool attention =
            e.state == records::DueState::Failed || e.state == records::DueState::Overdue;
        const QStringList texts{qs(e.wrenchCode), qs(e.time), verdictText(e.verdict), qs(e.dueDate),
                                stateText(e.state)};
        for (int column = 0; column < texts.size(); ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (attention) {
                item->setForeground(Qt::red);
            }
            grdDue->setItem(row, column, item);
        }
        grdDue->item(row, 0)->setData(Qt::UserRole, qs(e.recordId));
    }
    cmdCertificate->setEnabled(!chosenRun().isEmpty());
}

QString HistoryWindow::chosenRun() const {
    const QTableWidgetItem* item = grdDue->item(grdDue->currentRow(), 0);
    return item != nullptr ? item->data(Qt::UserRole).toString() : QString();
}

void HistoryWindow::cmdCertificate_Click() {
    if (const QString id = chosenRun(); !id.isEmpty()) {
        writeCertificate(id);
    }
}

QString HistoryWindow::writeCertificate(const QString& recordId) {
    if (!openDatabase()) {
        return lblStatus->text();
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    CertificateInput input;
    const std::optional<ServiceRecord> record =
        records::ReadRecord(db, recordId.toStdString(), error);
    if (record) {
        ReadCertificateInput(db, *record, input, error);
    }
    if (!error.isEmpty()) {
        showStatus(tr("The records cannot be read: %1").arg(error));
        return lblStatus->text();
    }
    if (!record) {
        // A run's record reaches the database a moment after the run, later when it waits in
        // the spool for the database to answer.
        showStatus(tr("The record %1 is not in the records (yet).").arg(recordId));
        return lblStatus->text();
    }
    const QString number = qs(RecordCertificateNumber(*record));
    const QString name =
        m_chooseFile ? m_chooseFile(this, number + QStringLiteral(".pdf")) : QString();
    if (name.isEmpty()) {
        return {};
    }
    input.printed = QDateTime::currentDateTimeUtc();
    if (!WriteCertificate(input, name, error)) {
        showStatus(tr("No certificate: %1").arg(error));
    } else {
        showStatus(tr("Certificate %1 written to %2").arg(number, name));
    }
    return lblStatus->text();
}

records::RecordFilter HistoryWindow::filter() const {
    records::RecordFilter f;
    f.wrenchCode = txtWrenchCode->text().toStdString();
    f.job = cmbJob->currentData().toString().toStdString();
    if (chkSince->isChecked()) {
        f.since = dtpSince->date();
    }
    if (chkUntil->isChecked()) {
        f.until = dtpUntil->date();
    }
    return f;
}

void HistoryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    const std::string code = m_connectedWrench ? m_connectedWrench() : std::string();
    if (!m_codeTyped && !code.empty()) {
        m_filling = true;
        txtWrenchCode->setText(qs(code));
        m_filling = false;
    }
    refresh();
}

bool HistoryWindow::openDatabase() {
    if (m_open) {
        return true;
    }
    QString error;
    m_open = records::OpenRecordsDatabase(m_target, m_connection, error);
    if (!m_open) {
        showStatus(tr("The records of %1 cannot be opened: %2")
                       .arg(qs(records::TargetText(m_target)), error));
    }
    return m_open;
}

void HistoryWindow::refresh() {
    if (!openDatabase()) {
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    const auto jobs = records::RecordedJobs(db, error);
    if (jobs) {
        // The job chosen stays chosen while any record of it is left.
        const QString chosen = cmbJob->currentData().toString();
        const QSignalBlocker quiet(cmbJob);
        cmbJob->clear();
        cmbJob->addItem(tr("all"));
        for (const QString& job : *jobs) {
            cmbJob->addItem(job, job);
        }
        cmbJob->setCurrentIndex(std::max(0, cmbJob->findData(chosen)));
    }
    applyFilter();
    if (!jobs) {
        showStatus(tr("The jobs cannot be listed: %1").arg(error));
    }
    refreshDue();
}

void HistoryWindow::applyFilter() {
    if (m_filling || !m_open) {
        return;
    }
    QString error;
    showRecord(-1);
    // The model reads the first page now and the others as the list is scrolled to them.
    const bool listed = m_model->list(m_connection, filter(), error);
    for (int c = 0; c < records::kRecordColumnCount; ++c) {
        grdRecords->setColumnHidden(c, true);
    }
    for (const auto& [column, caption] : kShownColumns) {
        m_model->setHeaderData(column, Qt::Horizontal, tr(caption));
        grdRecords->setColumnHidden(column, false);
    }
    showStatus(listed ? QString() : tr("The records cannot be read: %1").arg(error));
}

void HistoryWindow::showRecord(int row) {
    txtDetail->clear();
    grdWritten->setRowCount(0);
    if (row < 0 || !m_open) {
        return;
    }
    const std::string id =
        m_model->data(m_model->index(row, records::kColId)).toString().toStdString();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    const auto record = records::ReadRecord(db, id, error);
    if (!record) {
        txtDetail->setPlainText(error.isEmpty() ? tr("The record is gone.")
                                                : tr("The record cannot be read: %1").arg(error));
        return;
    }
    txtDetail->setPlainText(DetailText(*record));
    grdWritten->setRowCount(int(record->bytesWritten.size()));
    for (int i = 0; i < int(record->bytesWritten.size()); ++i) {
        const RecordedWrite& w = record->bytesWritten[std::size_t(i)];
        grdWritten->setItem(i, 0, new QTableWidgetItem(CellLegendCaption(w.address)));
        grdWritten->setItem(
            i, 1, new QTableWidgetItem(w.before ? HexByte(*w.before) : QStringLiteral("XX")));
        grdWritten->setItem(i, 2, new QTableWidgetItem(HexByte(w.after)));
    }
}

void HistoryWindow::cmdExport_Click() {
    if (!openDatabase()) {
        return;
    }
    const std::string code = filter().wrenchCode;
    const QString suggested =
        code.empty() ? QStringLiteral("service-records.csv")
                     : QStringLiteral("service-records-%1.csv").arg(qs(code).trimmed());
    const QString name = m_chooseFile ? m_chooseFile(this, suggested) : QString();
    if (name.isEmpty()) {
        return;
    }
    // The file takes the place of an old one only once it is whole.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        showStatus(tr("%1 cannot be written: %2").arg(name, file.errorString()));
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    long long rows = 0;
    QStringList unreadable;
    const bool written = records::WriteRecordsCsv(
        db, filter(),
        [&file](const std::string& line) {
            return file.write(line.data(), qint64(line.size())) == qint64(line.size());
        },
        error, &rows,
        [&unreadable](const std::string& id, const QString&) {
            unreadable << qs(id);
            return true;
        });
    if (!written) {
        file.cancelWriting();
        showStatus(error.isEmpty() ? tr("%1 cannot be written: %2").arg(name, file.errorString())
                                   : tr("The records cannot be read: %1").arg(error));
        return;
    }
    if (!file.commit()) {
        showStatus(tr("%1 cannot be written: %2").arg(name, file.errorString()));
        return;
    }
    QString saved = tr("%1 records saved to %2").arg(rows).arg(name);
    if (!unreadable.isEmpty()) {
        // A few ids say which; the list marks each of them.
        const QString some = QStringList(unreadable.mid(0, 3)).join(QStringLiteral(", ")) +
                             (unreadable.size() > 3 ? QStringLiteral(", ...") : QString());
        saved += tr("; %1 left out that cannot be read: %2").arg(unreadable.size()).arg(some);
    }
    showStatus(saved);
}

void HistoryWindow::showStatus(const QString& text) {
    lblStatus->setText(text);
}

} // namespace zelcor
