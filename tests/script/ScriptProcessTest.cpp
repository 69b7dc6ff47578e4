// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program played by scripts: zelcor --script as a technician's session would run it
// headless, its standard output, and its exit code. Each run has a home and settings folder
// of its own, so the request codes its Gets hand out never touch the user's.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Finished {
    int code = -1; // -1: crashed or never ended
    QString out;
    QString err;

    // The program's own lines on standard error, without the warnings of the headless window
    // system once the windows are there.
    QString said() const {
        QString lines;
        for (const QString& line : err.split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith("zelcor: ")) {
                lines += line + '\n';
            }
        }
        return lines;
    }
};

// A process whose script the test writes as it goes, with what it has printed so far.
struct Live {
    QProcess process;
    QByteArray out;
    QByteArray err;

    // Reads what comes until `text` has appeared on `channel`; false when the process ended
    // (or a generous guard ran out) before.
    bool waitFor(QProcess::ProcessChannel channel, const QByteArray& text) {
        QByteArray& seen = channel == QProcess::StandardOutput ? out : err;
        process.setReadChannel(channel);
        do {
            seen += process.readAll();
            if (seen.contains(text)) {
                return true;
            }
        } while (process.waitForReadyRead(30'000));
        seen += process.readAll();
        return seen.contains(text);
    }
    Finished finish() {
        // A generous guard against a process that never ends; not a measure of speed.
        if (!process.waitForFinished(60'000)) {
            process.kill();
            process.waitForFinished();
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(out + process.readAllStandardOutput()),
                QString::fromUtf8(err + process.readAllStandardError())};
    }
};

class ScriptProcess : public ::testing::Test {
protected:
    void launch(QProcess& process, const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(ZELCOR_BINARY), arguments);
    }
    Finished zelcor(const QStringList& arguments, const QByteArray& input = {}) {
        Live live;
        launch(live.process, arguments);
        live.process.write(input);
        live.process.closeWriteChannel();
        return live.finish();
    }
    Finished play(const QByteArray& script, const QStringList& options = {}) {
        QFile file(dir.filePath(QStringLiteral("session.zs")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(script);
        file.close();
        return zelcor(options + QStringList{QStringLiteral("--script"), file.fileName()});
    }

    QTemporaryDir dir;
    QTemporaryDir home;
};

QByteArray readScript(const QString& name) {
    QFile file(QStringLiteral(ZELCOR_E2E_DIR "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

// The repository's own sessions against the simulated wrench, through the real serial port.
TEST_F(ScriptProcess, SessionsAgainstTheSimulatedWrenchHold) {
    const QStringList scripts =
        QDir(QStringLiteral(ZELCOR_E2E_DIR)).entryList({QStringLiteral("*.zs")}, QDir::Files);
    ASSERT_FALSE(scripts.isEmpty());
    for (const QString& name : scripts) {
        const Finished run = play(readScript(name), {QStringLiteral("--simulator")});
        EXPECT_EQ(run.code, 0) << name.toStdString() << "\n"
                               << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QLatin1String("script passed"))) << name.toStdString();
    }
    // Get kept its request code in this run's own settings.
    EXPECT_TRUE(QFile::exists(home.filePath(".config/Zelcor/Zelcor.conf")));
}

TEST_F(ScriptProcess, ALineThatFailsOrEndEarlyExitsOneNamingTheLine) {
    QByteArray script = readScript(QStringLiteral("port-open-close.zs"));
    script.replace("expect-enabled cmdRead true", "expect-enabled cmdRead false");
    const Finished failed = play(script, {QStringLiteral("--simulator")});
    EXPECT_EQ(failed.code, 1);
    EXPECT_TRUE(failed.out.endsWith("line 9: failed: cmdRead enabled: expected false, seen true\n"
                                    "script failed at line 9\n"))
        << failed.out.toStdString();

    // The program ending early is a failed script, not the program's own clean exit.
    const Finished early = play("click cmdEnd\nexpect txtState IDLE0\n");
    EXPECT_EQ(early.code, 1);
    EXPECT_TRUE(early.out.endsWith(
        "script ended at line 1: the program was ended, line 2 and after never ran\n"))
        << early.out.toStdString();
}

TEST_F(ScriptProcess, ScriptsThatCannotBeUnderstoodExitTwoBeforeAnythingRuns) {
    const Finished run = play("click cmdRs232WRPara\n\nclick cmdNothing\n");
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(run.err.contains("zelcor: " + dir.filePath("session.zs") +
                                 ": line 3: no control named cmdNothing"))
        << run.err.toStdString();
    EXPECT_EQ(run.out, "") << "something ran";
    const Finished missing = zelcor({"--script", dir.filePath("no.zs")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(missing.err.contains("cannot read")) << missing.err.toStdString();
    // Input without end is refused when it is over the size, not when the memory runs out.
    const Finished endless = zelcor({"--script", "/dev/zero"});
    EXPECT_EQ(endless.code, 2);
    EXPECT_EQ(endless.said(), "zelcor: /dev/zero: line 1: the line is longer than 65536 bytes\n");
    const Finished big = play(QByteArray("idle\n").repeated(16 * 1024 * 1024 / 5 + 1));
    EXPECT_EQ(big.code, 2);
    EXPECT_EQ(big.err,
              "zelcor: " + dir.filePath("session.zs") + " is larger than 16 MiB: not a script\n");
    EXPECT_EQ(big.out, "");
}

// A named pipe whose writer has not come yet, and then falls silent after line 3: the
// program says which line it waits for, where. Lines end in CR LF or LF, blank ones count.
TEST_F(ScriptProcess, AWriterThatFallsSilentIsWaitedForAtItsNextLine) {
    const QString fifo = dir.filePath(QStringLiteral("session.fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Live live;
    launch(live.process, {QStringLiteral("--script"), fifo});
    const QByteArray onFifo = " of the script on " + QFile::encodeName(fifo) + "\n";
    ASSERT_TRUE(live.waitFor(QProcess::StandardError, "zelcor: waiting for line 1" + onFifo))
        << live.out.toStdString() << live.err.toStdString();
    // The program has the pipe open for reading, so this does not wait.
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const QByteArray lines = "print txtState\r\n\r\nprint txtState\n";
    EXPECT_EQ(::write(writer, lines.constData(), lines.size()), lines.size());
    EXPECT_TRUE(live.waitFor(QProcess::StandardError, "zelcor: waiting for line 4" + onFifo))
        << live.out.toStdString() << live.err.toStdString();
    ::close(writer);
    const Finished run = live.finish();
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "line 1: print txtState\ntxtState = IDLE0\nline 3: print txtState\n"
                       "txtState = IDLE0\nscript passed (2 lines)\n");
    EXPECT_EQ(run.said(),
              "zelcor: waiting for line 1" + onFifo + "zelcor: waiting for line 4" + onFifo);
}

// From a pipe each line runs as it arrives: the writer sees line 1's output before it has
// written line 3. A line that cannot be played ends the script when it arrives, its writer
// still open.
TEST_F(ScriptProcess, ABadLineFromAPipeExitsTwoNamingItsLine) {
    Live live;
    launch(live.process, {QStringLiteral("--script"), QStringLiteral("-")});
    live.process.write("print txtState\n# then\n");
    ASSERT_TRUE(live.waitFor(QProcess::StandardOutput, "txtState = IDLE0\n"))
        << live.out.toStdString() << live.err.toStdString();
    live.process.write("click cmdNothing\nprint txtState\n");
    const Finished run = live.finish();
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.said(), "zelcor: standard input: line 3: no control named cmdNothing\n");
    EXPECT_EQ(run.out, "line 1: print txtState\ntxtState = IDLE0\nscript error at line 3\n");

    // More than a script may hold is refused as it comes over the limit.
    const Finished big =
        zelcor({QStringLiteral("--script"), QStringLiteral("-")},
               ("#" + QByteArray(65'000, '-') + "\n").repeated(16 * 1024 * 1024 / 65'001 + 1));
    EXPECT_EQ(big.code, 2);
    EXPECT_EQ(big.said(), "zelcor: standard input is larger than 16 MiB: not a script\n");
}

// The log is written as the session goes, so what is in the file when the program has ended
// is every byte, in order, with times that never go back.
TEST_F(ScriptProcess, TheLogOfAWriteAndAReadHoldsTheirFramesAndReplies) {
    const QString log = dir.filePath(QStringLiteral("session.csv"));
    const Finished run = play("click cmdPortOpen\nset txtAddr0Write 10\nset txtWriteData 7F\n"
                              "click cmdWrite\nset txtAddr0Read 10\nclick cmdRead\n",
                              {QStringLiteral("--simulator"), QStringLiteral("--log"), log});
    ASSERT_EQ(run.code, 0) << run.out.toStdString() << run.err.toStdString();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(rows.size(), 2);
    EXPECT_EQ(rows[0], "ms,direction,byte,marker,result");
    EXPECT_TRUE(rows[1].startsWith("0,,,session start ")) << rows[1].toStdString();
    QStringList traffic; // direction and byte, or marker and result
    qint64 last = 0;
    for (qsizetype i = 3; i < rows.size(); ++i) {
        const QStringList f = rows[i].split(',');
        ASSERT_EQ(f.size(), 5) << rows[i].toStdString();
        EXPECT_GE(f[0].toLongLong(), last) << rows[i].toStdString();
        last = f[0].toLongLong();
        traffic << (f[1].isEmpty() ? f[3] + ' ' + f[4] : f[1] + ' ' + f[2]);
    }
    EXPECT_TRUE(rows[3].contains(",Console Write; frame start,")) << rows[3].toStdString();
    EXPECT_EQ(traffic.join(", "), "TX 0xE8, TX 0x00, TX 0x10, TX 0x7F, RX 0x00, RX 0x10, RX 0x7F, "
                                  "exchange end 0, TX 0xC8, TX 0x00, TX 0x10, RX 0x00, RX 0x10, "
                                  "RX 0xAA, RX 0x7F, RX 0x7F, exchange end 0, port closed ");
}

} // namespace
