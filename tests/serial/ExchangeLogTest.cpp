// SPDX-License-Identifier: GPL-3.0-or-later
// The exchange log of a session against the simulated wrench, read back from its file.
#include "support/WindowFixture.h"

#include "serial/ExchangeLog.h"
#include "serial/WrenchLink.h"
#include "sim/SimulatedPort.h"
#include "sim/SimulatedWrench.h"

#include <QFile>
#include <QTemporaryDir>

namespace zelcor::test {
namespace {

struct Row {
    std::int64_t ms;
    QString direction, byte, marker, result;
    bool operator==(const Row& o) const {
        return direction == o.direction && byte == o.byte && marker == o.marker &&
               result == o.result;
    }
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << r.ms << ' ' << r.direction.toStdString() << ' ' << r.byte.toStdString() << ' '
        << r.marker.toStdString() << ' ' << r.result.toStdString();
}

Row tx(const char* byte, const char* marker = "") {
    return {0, "TX", byte, marker, ""};
}
Row rx(const char* byte) {
    return {0, "RX", byte, "", ""};
}
Row end(const char* result) {
    return {0, "", "", "exchange end", result};
}

class ExchangeLogTest : public WindowFixture {
protected:
    SerialPort& windowPort() override { return wrenchPort; }

    QString path() const { return dir.filePath(QStringLiteral("session.csv")); }
    // A log the windows write to from now on; it lives as long as the windows.
    void logTo(const QString& file) {
        logs.push_back(std::make_unique<ExchangeLog>(clock, file.toStdString()));
        mainWindow->link().setExchangeLog(logs.back().get());
    }
    QStringList lines() const {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    // The rows after the header and the port's opening line, which are checked on their own.
    std::vector<Row> rows() const {
        std::vector<Row> all;
        const QStringList text = lines();
        for (qsizetype i = 2; i < text.size(); ++i) {
            const QStringList f = text[i].split(',');
            EXPECT_EQ(f.size(), 5) << text[i].toStdString();
            if (f.size() == 5) {
                all.push_back({f[0].toLongLong(), f[1], f[2], f[3], f[4]});
            }
        }
        return all;
    }

    QTemporaryDir dir;
    sim::SimulatedWrench wrench{clock};
    sim::SimulatedPort wrenchPort{wrench};
    std::vector<std::unique_ptr<ExchangeLog>> logs;
};

TEST_F(ExchangeLogTest, AReadAndAWriteLogExactlyTheirFramesAndRepliesInTime) {
    logTo(path());
    wrench.poke(0x00, 0x12, 0x5A);
    clock.advance(700); // time before the port opens does not count
    setText("cmbComSelect", "/dev/ttyUSB0");
    click("cmdPortOpen");
    setText("txtAddr0Read", "12");
    click("cmdRead");
    EXPECT_EQ(text("txtReadData(0)"), "5A");
    setText("txtAddr0Write", "10");
    setText("txtWriteData", "7F");
    click("cmdWrite");
    EXPECT_TRUE(boxes.shown().empty());

    const QStringList text = lines();
    ASSERT_GE(text.size(), 2);
    EXPECT_EQ(text[0], "ms,direction,byte,marker,result");
    EXPECT_EQ(text[1], "0,,,\"port open /dev/ttyUSB0 1200,N,8,2\",");
    const std::vector<Row> expected{tx("0xC8", "frame start"),
                                    tx("0x00"),
                                    tx("0x12"),
                                    rx("0x00"),
                                    rx("0x12"),
                                    rx("0xAA"),
                                    rx("0x5A"),
                                    rx("0x5A"),
                                    end("0"),
                                    tx("0xE8", "frame start"),
                                    tx("0x00"),
                                    tx("0x10"),
                                    tx("0x7F"),
                                    rx("0x00"),
                                    rx("0x10"),
                                    rx("0x7F"),
                                    end("0")};
    const std::vector<Row> seen = rows();
    EXPECT_EQ(seen, expected);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().ms, 0);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_LE(seen[i - 1].ms, seen[i].ms) << "row " << i;
    }
    // Each request byte has its pause before the next: sent bytes never share a time.
    for (std::size_t i = 1; i < seen.size(); ++i) {
        if (seen[i - 1].direction == "TX" && seen[i].direction == "TX") {
            EXPECT_LT(seen[i - 1].ms, seen[i].ms) << "row " << i;
        }
    }
}

TEST_F(ExchangeLogTest, FailedReadsAndRawBytesAreLoggedWithTheirResult) {
    logTo(path());
    click("cmdPortOpen");
    setText("txtSendByte", "A5");
    click("cmdSendAByte");
    sim::Faults silent;
    silent.noReply = true;
    wrench.setFaults(silent);
    boxes.answerOk(2); // time-out and help
    click("cmdRead");
    click("cmdPortClose");
    const std::vector<Row> expected{tx("0xA5"), tx("0xC8", "frame start"),
                                    tx("0x00"), tx("0x05"),
                                    end("1"),   {0, "", "", "port closed", ""}};
    EXPECT_EQ(rows(), expected);
}

TEST_F(ExchangeLogTest, ALogThatCannotBeWrittenIsToldOnceAndTheSessionGoesOn) {
    // Missing from the start: told at once.
    boxes.answerOk();
    logTo(dir.filePath("no/such/folder/session.csv"));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].title, "Exchange Log");
    EXPECT_TRUE(boxes.shown()[0].text.contains("no/such/folder/session.csv"));

    // Failing in the middle of an exchange: told when the exchange is over, not during it.
    wrench.poke(0x00, 0x05, 0x33);
    click("cmdPortOpen");
    clock.at(30, [&] { logTo("/dev/full"); });
    bool toldDuringExchange = true;
    boxes.setOnShow(
        [&](const ShownBox&) { toldDuringExchange = mainWindow->link().exchangeRunning(); });
    boxes.answerOk();
    click("cmdRead");
    EXPECT_EQ(text("txtReadData(0)"), "33");
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].title, "Exchange Log");
    EXPECT_FALSE(toldDuringExchange);

    click("cmdRead"); // and never again
    EXPECT_EQ(text("txtReadData(0)"), "33");
    EXPECT_EQ(boxes.shown().size(), 2u);
}

} // namespace
} // namespace zelcor::test
