// SPDX-License-Identifier: GPL-3.0-or-later
// The exchange log of a session on the link, read back from its file.
#include "support/LinkFixture.h"

#include "serial/ExchangeLog.h"

#include <QFile>
#include <QTemporaryDir>

namespace zelcor::test {
namespace {

std::string contents(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll().toStdString();
}

TEST(ExchangeLog, EveryByteWithItsTimeFromTheOpeningAndEachExchangesEndAsEchoed) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.csv"));
    LinkFixture f;
    f.link.close();
    auto log = std::make_unique<ExchangeLog>(f.clock, path.toStdString(), false,
                                             "2026-12-07T09:30:00.125+01:00");
    f.link.setExchangeLog(log.get());
    f.clock.advance(700); // time before the port opens does not count
    std::string error;
    ASSERT_TRUE(f.link.open("/dev/ttyUSB0", SerialSettings{2400, 'E', 7, 1}, error));
    f.schedule("770: 00 12 AA 5A 5A | 1070: 00 10 7F");
    f.link.sendByte(0xA5);
    f.link.beginJob("Get");
    f.link.read(0x00, 0x12);
    f.link.write(0x00, 0x10, 0x7F);
    f.port.close();
    f.port.fail("Input/output error");
    f.link.read(0x00, 0x05); // failed at once with nothing sent: no frame starts
    ASSERT_TRUE(f.link.open("/dev/ttyUSB0", SerialSettings{}, error));
    f.link.sendByte(0x5A);
    f.link.close();
    // A second session adds to the file: no second header.
    f.link.setExchangeLog(nullptr);
    log = std::make_unique<ExchangeLog>(f.clock, path.toStdString(), true, "2026-12-07T10:00:00Z");

    EXPECT_EQ(contents(path), "ms,direction,byte,marker,result\n"
                              "0,,,session start 2026-12-07T09:30:00.125+01:00,\n"
                              "0,,,\"port open /dev/ttyUSB0 2400,E,7,1\",\n0,TX,0xA5,,\n"
                              "0,TX,0xC8,Get; frame start,\n20,TX,0x00,,\n40,TX,0x12,,\n70,RX,0x00,,\n"
                              "70,RX,0x12,,\n70,RX,0xAA,,\n70,RX,0x5A,,\n70,RX,0x5A,,\n"
                              "70,,,exchange end,0\n70,TX,0xE8,frame start,\n120,TX,0x00,,\n"
                              "170,TX,0x10,,\n220,TX,0x7F,,\n370,RX,0x00,,\n370,RX,0x10,,\n"
                              "370,RX,0x7F,,\n370,,,exchange end,0\n"
                              "370,,,port lost: Input/output error,\n370,,,exchange end,1\n"
                              "0,,,\"port open /dev/ttyUSB0 1200,N,8,2\",\n0,TX,0x5A,,\n"
                              "0,,,port closed,\n0,,,session start 2026-12-07T10:00:00Z,\n");
    // The transmit echo shows the command bytes as 10 and 01, and the raw bytes not at all.
    EXPECT_EQ(f.local, "Read-------------\r\n&H10 &H00 &H12 \r\nWrite-----------\r\n"
                       "&H01 &H00 &H10 &H7F\r\n");
}

TEST(ExchangeLog, ALogThatCannotBeWrittenIsToldOnceAfterTheExchangeAndTheSessionGoesOn) {
    QTemporaryDir dir;
    const std::string missing = dir.filePath(QStringLiteral("no/such.csv")).toStdString();
    const std::string told = "warning Exchange Log: The exchange log cannot be written: ";
    const std::string goesOn = "\r\nThe session goes on without it.\n";
    LinkFixture f;
    ExchangeLog unopened(f.clock, missing);
    f.boxes.answerOk(2);
    f.link.setExchangeLog(&unopened); // told at once
    EXPECT_EQ(f.shown(), told + missing + ": No such file or directory" + goesOn);

    // Failing during an exchange: told when it is over, and never again.
    std::unique_ptr<ExchangeLog> full;
    f.clock.at(30, [&] {
        full = std::make_unique<ExchangeLog>(f.clock, "/dev/full");
        f.link.setExchangeLog(full.get());
    });
    f.boxes.setOnShow([&](const ShownBox&) { EXPECT_FALSE(f.link.exchangeRunning()); });
    f.schedule("100: 00 05 AA 33 33 | 200: 00 05 AA 34 34");
    EXPECT_EQ(f.link.read(0x00, 0x05).data[0], 0x33);
    EXPECT_EQ(f.link.read(0x00, 0x05).data[0], 0x34);
    EXPECT_EQ(f.shown(), told + missing + ": No such file or directory" + goesOn + told +
                             "/dev/full: No space left on device" + goesOn);
}

} // namespace
} // namespace zelcor::test
