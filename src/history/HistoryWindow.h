// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/DueList.h"
#include "records/RecordListModel.h"
#include "records/RecordQuery.h"
#include "records/RecordStore.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;

namespace zelcor {

// The service records: what was done to which wrench, newest first, filtered by wrench code,
// job and days (UTC); the record chosen in the list in full, with the bytes it wrote before
// and after; and the listed records saved as CSV. The list reads its rows from the database
// a page at a time as it is scrolled, never all at once, on SQLite and PostgreSQL alike. A
// row that cannot be read as a record is listed with the reason in its message.
//
// A second page, "Due", lists every wrench of the records with its last verification, its
// verdict and its next due date (records::DueList), failed and overdue wrenches first and in
// red, their state in words too; a wrench's row writes its last run's certificate.
//
// The database is opened when the window is first shown; each showing reads the list afresh.
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // The file the listed records are saved to; empty when the technician chose none.
    using FileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    // `connectedWrench` tells the code of the connected wrench (2BH 2CH 2DH), empty while it
    // is not known; the wrench filter takes it each time the window is shown, until the
    // technician types a code.
    HistoryWindow(records::RecordsTarget target, std::function<std::string()> connectedWrench,
                  QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // A save dialog unless a test gives its own chooser.
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    // Today (UTC) for the due list: the system's date unless a test gives its own.
    void setToday(std::function<QDate()> today) { m_today = std::move(today); }

    // The filter the controls set.
    records::RecordFilter filter() const;
    // Reads the job list and the records again (opening the database when it is not open).
    void refresh();
    void cmdExport_Click();
    // The certificate of the last run of the wrench chosen in the due list.
    void cmdCertificate_Click();
    // Writes the certificate of the run kept as the record `recordId` to a file the
    // technician chooses (suggested: its certificate number), from the records alone; an "as
    // left" run's shows the day's "as found" run and the writes between. Returns what became
    // of it in words, as the window's status line shows it; empty when no file was chosen.
    QString writeCertificate(const QString& recordId);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    bool openDatabase();
    void applyFilter();
    void showRecord(int row);
    void showStatus(const QString& text);
    void refreshDue();
    // The record id of the due list's chosen row; empty when it has no verification.
    QString chosenRun() const;

    records::RecordsTarget m_target;
    std::function<std::string()> m_connectedWrench;
    FileChooser m_chooseFile;
    std::function<QDate()> m_today;
    QString m_connection;
    bool m_open = false;
    // The technician has typed into the wrench filter: the connected wrench no longer fills it.
    bool m_codeTyped = false;
    bool m_filling = false;

    QLineEdit* txtWrenchCode = nullptr;
    QComboBox* cmbJob = nullptr;
    QCheckBox* chkSince = nullptr;
    QDateEdit* dtpSince = nullptr;
    QCheckBox* chkUntil = nullptr;
    QDateEdit* dtpUntil = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdExport = nullptr;
    QTableView* grdRecords = nullptr;
    records::RecordListModel* m_model = nullptr;
    QPlainTextEdit* txtDetail = nullptr;
    QTableWidget* grdWritten = nullptr;
    QLabel* lblStatus = nullptr;
    QTabWidget* tabPages = nullptr;
    QTableWidget* grdDue = nullptr;
    QPushButton* cmdCertificate = nullptr;
};

} // namespace zelcor
