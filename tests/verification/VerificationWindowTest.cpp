// SPDX-License-Identifier: GPL-3.0-or-later
// What the Verification window adds to the session's run: the settings it starts the run
// with, the table as the readings come, the verdicts in words and colours, the buttons of a
// run going on, a reference typed into its row. The run itself is tested on the session.
#include "verification/VerificationWindow.h"
#include "history/HistoryWindow.h"
#include "records/RecordsFixture.h"
#include "support/WrenchFixture.h"

#include "sim/SimulatedTester.h"
#include "sim/SimulatedTesterPort.h"

#include <QFileInfo>
#include <QLabel>
#include <QTableWidget>

namespace zelcor::test {
namespace {

const char* const kPass = "#C0F0C0";
const char* const kFail = "#FFB0B0";

class VerificationWindow : public WrenchFixture {
protected:
    void SetUp() override {
        WrenchFixture::SetUp();
        session->setTesterPort(&testerPort);
        click("cmdVerification");
        // One point at 60 % of 50 N·m, two readings, no pre-loads.
        setText("txtMaximum", "50");
        setText("txtPoints", "60");
        setText("txtReadings", "2");
        setText("txtPreloads", "0");
        setText("txtTechnician", "Tess");
        setText("cmbTesterPort", "tester");
    }
    void pulls(std::vector<double> targets, double biasPercent) {
        sim::PullOptions options;
        options.targets = std::move(targets);
        options.biasPercent = biasPercent;
        wrench.setPulls(options);
    }
    QTableWidget* table() const { return control<QTableWidget>("grdReadings"); }
    // Each row's cells joined by "|", a line per row.
    std::string rows() const {
        QStringList lines;
        for (int r = 0; r < table()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table()->columnCount(); ++c) {
                cells << table()->item(r, c)->text();
            }
            lines << cells.join('|');
        }
        return lines.join('\n').toStdString();
    }
    QString background(int row, int column) const {
        return table()->item(row, column)->background().color().name().toUpper();
    }
    QString verdictColour() const {
        return control<QLabel>("lblVerdict")->palette().color(QPalette::Window).name().toUpper();
    }
    // Types into the reference cell of the pull in progress, as a technician reads the tester.
    void typeReference(const QString& text) {
        for (int r = 0; r < table()->rowCount(); ++r) {
            if (table()->item(r, 4)->flags().testFlag(Qt::ItemIsEditable)) {
                table()->item(r, 4)->setText(text);
                return;
            }
        }
        ADD_FAILURE() << "no reference cell to type " << text.toStdString() << " into";
    }

    sim::SimulatedTester tester{clock, wrench};
    sim::SimulatedTesterPort testerPort{tester};
};

TEST_F(VerificationWindow, ARunFromTheTesterFillsTheTableAndTellsItsVerdict) {
    // +2 %: 30 N·m reads 30.6 against the tester's 30.00, within the +-4 % of the default.
    pulls({30}, 2);
    click("cmdStartRun");
    EXPECT_EQ(rows(), "CW 60 %|1|30.0|30.6|30.00|+2.00 %||||\n"
                      "CW 60 %|2|30.0|30.6|30.00|+2.00 %||||\n"
                      "CW 60 %|2 of 2|30.0||30.00||30.60|+2.00 %|0.00 N·m (0.00 %)|PASS");
    EXPECT_EQ(background(2, 9), kPass);
    EXPECT_EQ(text("lblVerdict"), "PASSED");
    EXPECT_EQ(verdictColour(), kPass);
    EXPECT_EQ(text("lblTesterLine"), "Tester: +030.00 N.m");
    EXPECT_TRUE(enabled("cmdStartRun") && enabled("txtMaximum"));
    EXPECT_FALSE(enabled("cmdNextPull") || enabled("cmdRepeatLast") || enabled("cmdStopRun"));
    // No record kept (none in this fixture): no certificate.
    EXPECT_FALSE(enabled("cmdCertificate"));

    // +5 %: 31.5 and 33.6 against 30.00 and 32.00; the spread of 31.5 and 33.6 is
    // 2.1 / sqrt(2) = 1.485 N·m, 4.95 % of the 30 N·m point.
    pulls({30, 32}, 5);
    // As the run begins (it reads the wrench's code first) the run before is gone.
    QString starting;
    QObject::connect(session.get(), &WrenchSession::busyChanged, [&](bool busy) {
        if (busy && starting.isEmpty()) {
            starting = text("lblPrompt") + '|' + text("lblVerdict") + '|' +
                       QString::number(table()->rowCount()) + '|' +
                       (enabled("cmdStopRun") ? "Stop" : "");
        }
    });
    click("cmdStartRun");
    EXPECT_EQ(starting.toStdString(), "Starting the run…||0|Stop");
    EXPECT_EQ(rows(), "CW 60 %|1|30.0|31.5|30.00|+5.00 %||||\n"
                      "CW 60 %|2|30.0|33.6|32.00|+5.00 %||||\n"
                      "CW 60 %|2 of 2|30.0||31.00||32.55|+5.00 %|1.48 N·m (4.95 %)|FAIL");
    EXPECT_EQ(background(0, 5), kFail);
    EXPECT_EQ(background(2, 9), kFail);
    EXPECT_EQ(text("lblVerdict"), "FAILED");
    EXPECT_EQ(verdictColour(), kFail);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(VerificationWindow, TypedReferencesARepeatWithItsReasonAndStop) {
    pulls({30}, 2);
    setText("cmbTesterPort", "typed");
    // The technician reads the tester when the pull is over; 265.52 lbf.in is 30.00 N·m.
    int pulled = 0;
    wrench.addPullListener([&](double) { typeReference(++pulled == 1 ? "30" : "265.52 lbf.in"); });
    bool repeated = false;
    QObject::connect(session.get(), &WrenchSession::verificationChanged, [&] {
        const auto& readings = session->verification().run.readings;
        if (readings.size() == 1 && !repeated) {
            repeated = true;
            EXPECT_EQ(table()->rowCount(), 2); // the reading and its point: none awaited now
            EXPECT_TRUE(enabled("cmdNextPull") && enabled("cmdStopRun"));
            EXPECT_FALSE(enabled("cmdStartRun") || enabled("txtMaximum"));
            boxes.answerOk();
            click("cmdRepeatLast"); // no reason given
            setText("txtRepeatReason", "slipped");
            click("cmdRepeatLast");
        } else if (readings.size() == 2 && enabled("cmdStopRun")) {
            click("cmdStopRun");
        }
    });
    click("cmdStartRun");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text,
              "Say why the last reading is taken again: type the reason beside \"Repeat last\".");
    EXPECT_EQ(rows(), "CW 60 %|1|30.0|30.6|30.00|+2.00 %||||repeated: slipped\n"
                      "CW 60 %|1|30.0|30.6|30.00|+2.00 %||||\n"
                      "CW 60 %|1 of 2|30.0||30.00||30.60|+2.00 %|0.00 N·m (0.00 %)|");
    EXPECT_EQ(table()->item(0, 3)->foreground().color().name(), "#808080");
    EXPECT_EQ(text("lblVerdict"), "STOPPED: no verdict");
    EXPECT_FALSE(enabled("cmdCertificate"));
    EXPECT_EQ(pulled, 2);
}

TEST_F(VerificationWindow, SettingsTheRunCannotTakeAreRefusedAndNothingIsSent) {
    setText("txtMaximum", "0");
    boxes.answerOk(3);
    click("cmdStartRun");
    setText("txtMaximum", "5O");
    click("cmdStartRun");
    setText("txtMaximum", "50");
    setText("txtPoints", "20, 6O");
    click("cmdStartRun");
    ASSERT_EQ(boxes.shown().size(), 3u);
    EXPECT_EQ(boxes.shown()[0].text, "The maximum must be above 0 N·m.");
    EXPECT_EQ(boxes.shown()[1].text, "Maximum N·m: \"5O\" is not a number.");
    EXPECT_EQ(boxes.shown()[2].text, "Points %: \"6O\" is not a number.");
    EXPECT_TRUE(addresses(true).empty());
    EXPECT_EQ(testerPort.openCount(), 0);
    EXPECT_EQ(rows(), "");
    EXPECT_EQ(text("lblPrompt"), "Set up the run and press Start.");
}

// The maximum offered from the connected wrench's last verification in the records, unless
// another one was typed.
TEST_F(VerificationWindow, TheRecordsOfferTheConnectedWrenchsLastMaximum) {
    const QTemporaryDir dir;
    const records::RecordsTarget target = SqliteTarget(dir);
    {
        Connection file(target);
        // The simulated wrench's code is 6B 6C 6D (40H + the address).
        ServiceRecord last = RunRecord("last", "2026-04-01T08:00:00.000Z", "6B6C6D", "failed");
        last.verification->settings.maximum = 80;
        ServiceRecord other = RunRecord("other", "2026-05-01T08:00:00.000Z", "123456", "passed");
        other.verification->settings.maximum = 60;
        for (const ServiceRecord& r :
             {RunRecord("older", "2026-03-01T08:00:00.000Z", "6B6C6D", "passed"), last, other}) {
            ASSERT_EQ(file.insert(r), records::InsertResult::Written) << file.error();
        }
    }
    mainWindow->setRecordsTarget(target);
    const auto showAgain = [this] {
        control("frmVerification")->hide();
        click("cmdVerification");
        return text("txtMaximum");
    };
    setText("txtMaximum", "");
    EXPECT_EQ(showAgain(), ""); // the wrench's code is not known yet
    pulls({30}, 0);
    setText("txtMaximum", "50");
    click("cmdStartRun"); // the run reads the code
    EXPECT_EQ(showAgain(), "50");
    setText("txtMaximum", "");
    EXPECT_EQ(showAgain(), "80");
}

// "Certificate…" asks the main window, which has the run's certificate written from the records
// to the file chosen, and says what became of it.
TEST_F(VerificationWindow, TheCertificateIsWrittenFromTheRecordsWhereTheTechnicianChooses) {
    const QTemporaryDir dir;
    const records::RecordsTarget target = SqliteTarget(dir);
    {
        Connection file(target);
        ASSERT_EQ(file.insert(RunRecord("0a1b2c3d-4e5f-6789-abcd-ef0123456789",
                                        "2026-04-01T08:00:00.000Z", "6B6C6D", "passed")),
                  records::InsertResult::Written)
            << file.error();
    }
    mainWindow->setRecordsTarget(target);
    click("cmdHistory"); // the window that writes certificates from the records
    mainWindow->history()->hide();
    QString suggested;
    mainWindow->history()->setFileChooser([&](QWidget*, const QString& name) {
        suggested = name;
        return dir.filePath("certificate.pdf");
    });
    boxes.answerOk(2);
    auto& window = mainWindow->verification();
    emit window.certificateRequested("0a1b2c3d-4e5f-6789-abcd-ef0123456789");
    emit window.certificateRequested("no-such-record");
    EXPECT_EQ(suggested, "ZV-20260401-0A1B2C3D4E5F.pdf");
    EXPECT_GT(QFileInfo(dir.filePath("certificate.pdf")).size(), 0);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].text,
              "Certificate ZV-20260401-0A1B2C3D4E5F written to " + dir.filePath("certificate.pdf"));
    EXPECT_EQ(boxes.shown()[1].text, "The record no-such-record is not in the records (yet).");
}

} // namespace
} // namespace zelcor::test
