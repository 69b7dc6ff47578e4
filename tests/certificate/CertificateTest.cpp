// SPDX-License-Identifier: GPL-3.0-or-later
// The certificate read back as a reader sees it: its text through the real pdftotext.
#include "certificate/Certificate.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zelcor {
namespace {

// A wrench of 100 N·m, 3 points of 5 readings; at 60 % it reads 6 % high. One reading at 20 %
// was repeated. The deviations below are worked out by hand.
ServiceRecord FailedRun() {
    ServiceRecord r;
    r.id = "3f2a9c0e-7b41-4d2e-9a55-0c1d2e3f4a5b";
    r.time = "2026-12-07T09:15:00.000Z";
    r.station = "bench-3";
    r.wrenchCode = "12A4F0";
    r.job = "Verification";
    VerificationRun run;
    run.settings.maximum = 100;
    run.settings.technician = "Ana Ruiz";
    run.settings.tester = "RT-500 no. 8812";
    run.settings.testerDue = "2027-03-31";
    run.settings.remark = "21 °C";
    const double readings[3][5][2] = {
        {{20.2, 20.00}, {20.1, 20.10}, {19.8, 19.90}, {20.3, 20.05}, {19.9, 19.95}},
        {{63.6, 60.00}, {63.8, 60.20}, {63.4, 59.80}, {63.7, 60.10}, {63.5, 59.90}},
        {{101.0, 100.00}, {99.5, 100.20}, {100.8, 99.80}, {102.0, 100.10}, {99.0, 99.90}}};
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < 5; ++i) {
            VerificationReading reading;
            reading.direction = "CW";
            reading.point = p;
            reading.index = i + 1;
            reading.target = p == 0 ? 20.0 : p == 1 ? 60.0 : 100.0;
            reading.wrench = readings[p][i][0];
            reading.reference = readings[p][i][1];
            if (p == 0 && i == 1) {
                VerificationReading slipped = reading;
                slipped.wrench = 25.0;
                slipped.reference = 20.00;
                slipped.discarded = true;
                slipped.discardReason = "slipped off the square";
                run.readings.push_back(slipped);
            }
            run.readings.push_back(reading);
        }
    }
    run.verdict = Verdict::Failed;
    r.verification = run;
    return r;
}

ServiceRecord PassedRun() {
    ServiceRecord r = FailedRun();
    r.id = "9b8c7d6e-0000-4000-8000-000000000001";
    r.time = "2026-12-07T11:40:00Z";
    for (VerificationReading& reading : r.verification->readings) {
        if (reading.point == 1) {
            reading.wrench = reading.reference; // the wrench reads right at 60 % now
        }
    }
    r.verification->settings.asLeft = true;
    r.verification->verdict = Verdict::Passed;
    r.verification->dueDate = "2027-12-07";
    return r;
}

class CertificateTest : public ::testing::Test {
protected:
    // The certificate's text as pdftotext lays it out, each run of blanks and line ends made one
    // blank.
    QString text(const CertificateInput& input) {
        const QString pdf = dir.filePath(QStringLiteral("certificate-%1.pdf").arg(++written));
        QString error;
        EXPECT_TRUE(WriteCertificate(input, pdf, error)) << error.toStdString();
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (tool.isEmpty()) {
            ADD_FAILURE() << "pdftotext is missing: scripts/setup installs it (poppler-utils)";
            return {};
        }
        QProcess pdftotext;
        pdftotext.start(tool, {QStringLiteral("-layout"), QStringLiteral("-enc"),
                               QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        if (!pdftotext.waitForFinished(20000) || pdftotext.exitCode() != 0) {
            pdftotext.kill();
            ADD_FAILURE() << "pdftotext failed: " << pdftotext.readAllStandardError().toStdString();
            return {};
        }
        QString out = QString::fromUtf8(pdftotext.readAllStandardOutput());
        out.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
        return out;
    }

    QTemporaryDir dir;
    int written = 0;
    const QDateTime printed{QDate(2026, 12, 7), QTime(12, 5), Qt::UTC};
};

// Every reading with its values and deviation, the repeated one marked, each point's sums and
// verdict, the run's FAIL and no due date.
TEST_F(CertificateTest, FailedRunShowsEveryReadingAndNoDueDate) {
    const QString t = text({FailedRun(), std::nullopt, {}, printed});
    for (const char* line :
         {"20 % 1 20.0 20.2 20.00 +1.00 %", "20 % 2 20.0 20.1 20.10 0.00 %",
          "20 % 3 20.0 19.8 19.90 -0.50 %", "20 % 4 20.0 20.3 20.05 +1.25 %",
          "20 % 5 20.0 19.9 19.95 -0.25 %", "60 % 1 60.0 63.6 60.00 +6.00 %",
          "60 % 2 60.0 63.8 60.20 +5.98 %", "60 % 3 60.0 63.4 59.80 +6.02 %",
          "60 % 4 60.0 63.7 60.10 +5.99 %", "60 % 5 60.0 63.5 59.90 +6.01 %",
          "100 % 1 100.0 101.0 100.00 +1.00 %", "100 % 2 100.0 99.5 100.20 -0.70 %",
          "100 % 3 100.0 100.8 99.80 +1.00 %", "100 % 4 100.0 102.0 100.10 +1.90 %",
          "100 % 5 100.0 99.0 99.90 -0.90 %",
          "20 % 2 20.0 25.0 20.00 +25.00 % repeated: slipped off the square",
          // mean 100.3 / 5; spread sqrt(0.172 / 4) = 0.207, 1.04 % of 20; at 100 %: sqrt(5.832 / 4)
          "20 % 5 20.06 20.00 +1.25 % 0.21 N·m (1.04 %) PASS",
          "60 % 5 63.60 60.00 +6.02 % 0.16 N·m (0.26 %) FAIL",
          "100 % 5 100.46 100.00 +1.90 % 1.21 N·m (1.21 %) PASS", "Verdict of the run FAIL",
          "Next due date none", "Certificate number ZV-20261207-3F2A9C0E7B41",
          "Date of the run 2026-12-07", "Bench bench-3", "Wrench code 12A4F0", "Maximum 100.0 N·m",
          "RT-500 no. 8812, its own due date 2027-03-31",
          "Method 3 points at 20 %, 60 % and 100 % of 100.0 N·m, 5 readings each, 3 pre-loads at "
          "100 %, permissible deviation ±4 % of the reading",
          "page 1 of 1"}) {
        EXPECT_TRUE(t.contains(QString::fromUtf8(line))) << line << "\n" << t.toStdString();
    }
    EXPECT_FALSE(t.contains(QStringLiteral("2027-12"))) << t.toStdString();
}

// A passed run shows its due date; written again with another print date, only that changes;
// written again with the same one, not a byte does (the PDF is dated with the print date).
TEST_F(CertificateTest, PassedRunShowsItsDueDateAndOnlyThePrintDateChanges) {
    const QString first = text({PassedRun(), std::nullopt, {}, printed});
    EXPECT_TRUE(first.contains(QStringLiteral("Next due date 2027-12-07"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("Verdict of the run PASS"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("60 % 5 60.00 60.00 0.00 % 0.16 N·m (0.26 %) PASS")))
        << first.toStdString();

    const QString second =
        text({PassedRun(), std::nullopt, {}, QDateTime(QDate(2027, 1, 2), QTime(8, 30), Qt::UTC)});
    ASSERT_TRUE(first.contains(QStringLiteral("printed 2026-12-07 12:05 UTC")));
    ASSERT_TRUE(second.contains(QStringLiteral("printed 2027-01-02 08:30 UTC")));
    QString same = second;
    same.replace(QStringLiteral("2027-01-02 08:30"), QStringLiteral("2026-12-07 12:05"));
    EXPECT_EQ(first.toStdString(), same.toStdString());

    QByteArray bytes[2];
    for (QByteArray& pdf : bytes) {
        const QString path = dir.filePath(QStringLiteral("again.pdf"));
        QString error;
        ASSERT_TRUE(WriteCertificate({PassedRun(), std::nullopt, {}, printed}, path, error));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        pdf = file.readAll();
    }
    EXPECT_TRUE(bytes[0].contains("/CreationDate (D:20261207120500Z)"));
    EXPECT_TRUE(bytes[0] == bytes[1]);
}

// "As left" after "as found": both tables, and the writes made between the two runs.
TEST_F(CertificateTest, AsLeftShowsTheAsFoundRunAndTheWritesBetween) {
    ServiceRecord write;
    write.time = "2026-12-07T10:02:00Z";
    write.job = "Parameter Write";
    write.bytesWritten = {{0x12, 0x40, 0x44}, {0x13, std::nullopt, 0x01}};
    const QString t = text({PassedRun(), FailedRun(), {write}, printed});
    for (const char* line :
         {"Torque wrench, as left", "As found, earlier the same day",
          "Certificate number ZV-20261207-3F2A9C0E7B41", "Time of the run 2026-12-07 09:15 UTC",
          "60 % 3 60.0 63.4 59.80 +6.02 %", "60 % 3 60.0 59.8 59.80 0.00 %",
          "2026-12-07 10:02 UTC Parameter Write 12H 40→44 13H ??→01", "page 2 of 2"}) {
        EXPECT_TRUE(t.contains(QString::fromUtf8(line))) << line << "\n" << t.toStdString();
    }
}

// Both directions: each point named with its direction, on a second page where they run on.
TEST_F(CertificateTest, BothDirectionsNameEachPointsDirection) {
    const ServiceRecord cw = FailedRun();
    ServiceRecord both = cw;
    both.verification->settings.direction = VerifyDirection::Both;
    for (VerificationReading reading : cw.verification->readings) {
        reading.direction = "CCW";
        reading.wrench = reading.reference; // counter-clockwise it reads right
        both.verification->readings.push_back(reading);
    }
    const QString t = text({both, std::nullopt, {}, printed});
    for (const char* line :
         {"Direction both", "CW 60 % 3 60.0 63.4 59.80 +6.02 %",
          "CCW 60 % 3 60.0 59.8 59.80 0.00 %",
          "CW 60 % 5 63.60 60.00 +6.02 % 0.16 N·m (0.26 %) FAIL",
          "CCW 60 % 5 60.00 60.00 0.00 % 0.16 N·m (0.26 %) PASS", "page 2 of 2"}) {
        EXPECT_TRUE(t.contains(QString::fromUtf8(line))) << line << "\n" << t.toStdString();
    }
}

// No certificate for a stopped run, a record that is no run, or a file that cannot be made.
TEST_F(CertificateTest, RefusalsWriteNothing) {
    ServiceRecord stopped = FailedRun();
    stopped.verification->stopped = true;
    stopped.verification->verdict = Verdict::None;
    ServiceRecord noRun = FailedRun();
    noRun.verification.reset();
    const QString pdf = dir.filePath(QStringLiteral("refused.pdf"));
    for (const CertificateInput& input : {CertificateInput{stopped, std::nullopt, {}, printed},
                                          CertificateInput{noRun, std::nullopt, {}, printed},
                                          CertificateInput{PassedRun(), stopped, {}, printed}}) {
        QString error;
        EXPECT_FALSE(WriteCertificate(input, pdf, error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(QFile::exists(pdf));
    }
    QString error;
    EXPECT_FALSE(WriteCertificate({PassedRun(), std::nullopt, {}, printed},
                                  dir.filePath(QStringLiteral("no-folder/c.pdf")), error));
    EXPECT_TRUE(error.contains(QStringLiteral("cannot be written"))) << error.toStdString();
}

} // namespace
} // namespace zelcor
