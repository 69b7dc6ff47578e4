// SPDX-License-Identifier: GPL-3.0-or-later
// The History window on a SQLite file in a temporary folder: its filters, the record in
// full, the CSV export, rows read as the list is scrolled, and the way to it from the main
// window with the connected wrench's code.
#include "records/RecordsFixture.h"
#include "support/WrenchFixture.h"

#include "history/HistoryWindow.h"
#include "records/RecordQuery.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace zelcor::test {
namespace {

using records::RecordsTarget;

template <typename T> T* Find(QWidget* window, const char* name) {
    auto* w = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// The ids of the rows the list holds, top to bottom.
std::vector<std::string> Rows(QWidget* window) {
    std::vector<std::string> ids;
    QAbstractItemModel* model = Find<QTableView>(window, "grdRecords")->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        ids.push_back(model->data(model->index(row, records::kColId)).toString().toStdString());
    }
    return ids;
}

void Type(QLineEdit* box, const QString& keys) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, keys);
}

using V = std::vector<std::string>;

class HistoryWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    RecordsTarget target = SqliteTarget(dir);
    Connection file{target};
    HistoryWindow window{target, [] { return std::string(); }};
};

TEST_F(HistoryWindowTest, FiltersShowTheirRecordsNewestFirst) {
    InsertFive(file);
    window.show();
    EXPECT_EQ(Rows(&window), (V{"e", "c", "b", "d", "a"}));
    auto* combo = Find<QComboBox>(&window, "cmbJob"); // "all", then the jobs recorded
    EXPECT_EQ(combo->count(), 4);

    Type(Find<QLineEdit>(&window, "txtWrenchCode"), QStringLiteral("123456"));
    combo->setCurrentText(QStringLiteral("Get"));
    EXPECT_EQ(Rows(&window), (V{"e", "a"}));
    combo->setCurrentText(QStringLiteral("all"));
    Find<QDateEdit>(&window, "dtpSince")->setDate(QDate(2026, 3, 2));
    Find<QDateEdit>(&window, "dtpUntil")->setDate(QDate(2026, 3, 2));
    EXPECT_EQ(Rows(&window), (V{"e", "b", "a"})); // the days not ticked yet
    Find<QCheckBox>(&window, "chkSince")->setChecked(true);
    Find<QCheckBox>(&window, "chkUntil")->setChecked(true);
    EXPECT_EQ(Rows(&window), (V{"b"}));
}

TEST_F(HistoryWindowTest, TheChosenRecordShowsItsBytesBeforeAndAfterWithTheirLegends) {
    InsertFive(file);
    window.show();
    auto* list = Find<QTableView>(&window, "grdRecords");
    list->setCurrentIndex(list->model()->index(2, records::kColTime)); // b
    auto* written = Find<QTableWidget>(&window, "grdWritten");
    ASSERT_EQ(written->rowCount(), 2);
    QStringList cells;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 3; ++column) {
            cells << written->item(row, column)->text();
        }
    }
    EXPECT_EQ(cells, (QStringList{"10H:gStatusEp", "05", "07", "11H:gK_CWi_L", "XX", "FF"}));
    const QString detail = Find<QPlainTextEdit>(&window, "txtDetail")->toPlainText();
    for (const char* line : {"Job: Parameter Write", "Outcome: failed (failure code 1)",
                             "Message: Stop, \"now\"", "Operator: technician"}) {
        EXPECT_TRUE(detail.contains(QLatin1String(line))) << line << " in\n"
                                                          << detail.toStdString();
    }

    list->setCurrentIndex(list->model()->index(0, records::kColTime)); // e: nothing written
    EXPECT_EQ(written->rowCount(), 0);
    EXPECT_TRUE(Find<QPlainTextEdit>(&window, "txtDetail")->toPlainText().contains("Job: Get"));
}

// A job that never read the wrench's code names no wrench: "unknown" in the list and in the
// record in full, not a blank.
TEST_F(HistoryWindowTest, ARecordWithoutAWrenchCodeShowsUnknown) {
    file.insert(Listed("known", "2026-03-01T08:00:00.000Z", "123456", "Get"));
    file.insert(Listed("none", "2026-03-02T08:00:00.000Z", "", "Clear Er0"));
    window.show();
    auto* list = Find<QTableView>(&window, "grdRecords");
    QStringList shown;
    for (int row = 0; row < 2; ++row) {
        const QModelIndex index = list->model()->index(row, records::kColWrenchCode);
        auto* delegate = qobject_cast<QStyledItemDelegate*>(list->itemDelegateForIndex(index));
        ASSERT_NE(delegate, nullptr);
        shown << delegate->displayText(index.data(), QLocale());
    }
    EXPECT_EQ(shown, (QStringList{"unknown", "123456"}));
    list->setCurrentIndex(list->model()->index(0, records::kColTime));
    EXPECT_TRUE(Find<QPlainTextEdit>(&window, "txtDetail")
                    ->toPlainText()
                    .contains(QLatin1String("Wrench code: unknown\n")));
}

TEST_F(HistoryWindowTest, ExportCsvSavesTheListedRows) {
    InsertFive(file);
    QStringList suggested;
    QString chosen;
    window.setFileChooser([&](QWidget*, const QString& name) {
        suggested << name;
        return chosen;
    });
    window.show();
    Type(Find<QLineEdit>(&window, "txtWrenchCode"), QStringLiteral("123456"));

    window.cmdExport_Click(); // no file chosen: nothing written
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.csv")}).isEmpty());

    chosen = dir.filePath(QStringLiteral("out.csv"));
    Find<QPushButton>(&window, "cmdExport")->click();
    EXPECT_EQ(suggested, (QStringList{"service-records-123456.csv", "service-records-123456.csv"}));
    QFile csv(chosen);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().toStdString(),
              "time,wrench code,factory code,software version,job,direction,digits,outcome,"
              "failure code,message,station,operator,program,port,duration ms,request code,"
              "bytes written,verdict,due date\r\n"
              "2026-03-03T00:00:00.000Z,123456,,,Get,,,done,,,,,,,0,,,,\r\n"
              "2026-03-02T23:59:59.999Z,123456,,,Parameter Write,,,failed,1,"
              "\"Stop, \"\"now\"\"\r\nagain\",,technician,,,420,,10:05>07 11:XX>FF,,\r\n"
              "2026-03-01T08:00:00.000Z,123456,,,Get,CW,2,done,,,,,,,0,,,,\r\n");
    EXPECT_EQ(Find<QLabel>(&window, "lblStatus")->text(),
              QStringLiteral("3 records saved to %1").arg(chosen));

    // A row that cannot be read is listed, and left out of the file, which says so.
    file.exec("UPDATE service_record SET run_summary = 'cycles=x' WHERE id = 'a'");
    window.refresh();
    EXPECT_EQ(Rows(&window), (V{"e", "b", "a"}));
    window.cmdExport_Click();
    csv.close(); // the file saved is a new one
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count('\n'), 4); // the header, e and b (a line break in it)
    EXPECT_EQ(
        Find<QLabel>(&window, "lblStatus")->text(),
        QStringLiteral("2 records saved to %1; 1 left out that cannot be read: a").arg(chosen));
}

// Today is 2026-12-07: the failed and the overdue wrench come first, in red and with their
// state in words; a row with a run writes its certificate, one never verified cannot.
TEST_F(HistoryWindowTest, TheDueViewPutsFailedAndOverdueFirstInRedAndAsksForCertificates) {
    for (const ServiceRecord& r : {RunRecord("v1", "2026-01-10T08:00:00.000Z", "123456", "passed"),
                                   RunRecord("v3", "2025-12-01T08:00:00.000Z", "65A321", "passed"),
                                   RunRecord("v4", "2026-12-06T08:00:00.000Z", "FFFFFF", "failed"),
                                   Listed("n1", "2026-12-07T08:00:00.000Z", "000001", "Get")}) {
        ASSERT_EQ(file.insert(r), records::InsertResult::Written) << file.error();
    }
    window.setToday([] { return QDate(2026, 12, 7); });
    // The first certificate is written; the second file is not chosen.
    const QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("v4.pdf"));
    QStringList asked;
    window.setFileChooser([&](QWidget*, const QString& suggested) {
        asked << suggested;
        return asked.size() == 1 ? pdf : QString();
    });
    window.show();
    Find<QTabWidget>(&window, "tabPages")->setCurrentIndex(1);
    QCoreApplication::processEvents(); // the page shown is laid out
    auto* grid = Find<QTableWidget>(&window, "grdDue");
    V rows;
    for (int row = 0; row < grid->rowCount(); ++row) {
        std::string line;
        for (int column = 0; column < grid->columnCount(); ++column) {
            line += grid->item(row, column)->text().toStdString() + '|';
        }
        rows.push_back(line + (grid->item(row, 4)->foreground().color() == Qt::red ? "red" : ""));
    }
    EXPECT_EQ(rows, (V{"FFFFFF|2026-12-06T08:00:00.000Z|failed||failed|red",
                       "65A321|2025-12-01T08:00:00.000Z|passed|2026-12-01|overdue|red",
                       "000001||||never verified|",
                       "123456|2026-01-10T08:00:00.000Z|passed|"
                       "2027-01-10|due|"}));
    auto* certificate = Find<QPushButton>(&window, "cmdCertificate");
    grid->setCurrentCell(2, 0);
    EXPECT_FALSE(certificate->isEnabled());
    grid->setCurrentCell(0, 0);
    ASSERT_TRUE(certificate->isEnabled());
    certificate->click();
    const QPoint onV1 = grid->visualItemRect(grid->item(3, 1)).center();
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, onV1);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, onV1);
    EXPECT_EQ(asked, (QStringList{"ZV-20261206-4.pdf", "ZV-20260110-1.pdf"}));
    QFile written(pdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(5) == "%PDF-");
    EXPECT_EQ(Find<QLabel>(&window, "lblStatus")->text(),
              QStringLiteral("Certificate ZV-20261206-4 written to %1").arg(pdf));
}

TEST_F(HistoryWindowTest, RowsAreReadAsTheListIsScrolledToThem) {
    file.exec(QStringLiteral(
        "INSERT INTO service_record (id, time_utc, duration_ms, job, outcome) "
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 2999) "
        "SELECT 'r' || (10000 + i), '2026-01-01T00:00:00.000Z', 0, 'Get', 'done' FROM n"));
    window.show();
    QAbstractItemModel* model = Find<QTableView>(&window, "grdRecords")->model();
    EXPECT_LT(model->rowCount(), 3000);
    EXPECT_GT(model->rowCount(), 0);
    EXPECT_TRUE(model->canFetchMore({}));
    while (model->canFetchMore({})) {
        model->fetchMore({});
    }
    EXPECT_EQ(model->rowCount(), 3000);
    EXPECT_EQ(model->data(model->index(0, records::kColId)).toString(), "r12999");
}

// ---- from the main window -------------------------------------------------------------------

class HistoryFromMainWindow : public WrenchFixture {};

TEST_F(HistoryFromMainWindow, HistoryOpensOnTheProgramsRecordsWithTheConnectedWrench) {
    QTemporaryDir dir;
    const RecordsTarget target = SqliteTarget(dir);
    {
        Connection file(target);
        // The simulated wrench's code is 6B 6C 6D (40H + the address).
        file.insert(Listed("mine", "2026-03-01T08:00:00.000Z", "6B6C6D", "Get"));
        file.insert(Listed("other", "2026-03-02T08:00:00.000Z", "123456", "Get"));
    }
    mainWindow->setRecordsTarget(target);
    EXPECT_EQ(mainWindow->history(), nullptr);
    click("cmdHistory");
    HistoryWindow* history = mainWindow->history();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    EXPECT_EQ(Rows(history), (V{"other", "mine"})); // the wrench not read yet
    history->hide();

    boxes.answer(BoxAnswer::Yes); // the direction and digits are as they should be
    click("cmdGetPara");
    click("cmdHistory");
    EXPECT_EQ(mainWindow->history(), history);
    EXPECT_EQ(Find<QLineEdit>(history, "txtWrenchCode")->text(), "6B6C6D");
    EXPECT_EQ(Rows(history), V{"mine"}); // the window alone records nothing (no recorder)
    // A code the technician types stays, whichever wrench is connected.
    Type(Find<QLineEdit>(history, "txtWrenchCode"), QStringLiteral("123456"));
    history->hide();
    click("cmdHistory");
    EXPECT_EQ(Rows(history), (V{"other"}));

    click("cmdEnd");
    EXPECT_FALSE(history->isVisible());
}

} // namespace
} // namespace zelcor::test
