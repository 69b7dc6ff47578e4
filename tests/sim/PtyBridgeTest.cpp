#include "sim/PtyBridge.h"
#include "platform/QtClock.h"

#include <QProcess>
#include <QSocketNotifier>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace zelcor::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Real time: no assertion on durations. Waits end on their condition or on a generous guard
// against hanging.
constexpr int kGuardMs = 5000;

// The host end of the line: the terminal device opened with plain POSIX calls.
class Host {
public:
    Host(QtClock& clock, const std::string& path, speed_t speed = B1200) : m_clock(clock) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) {
            return;
        }
        termios tio{};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD | CSTOPB; // 8N2
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
        ::tcsetattr(m_fd, TCSANOW, &tio);
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
            std::uint8_t buffer[64];
            ssize_t n = 0;
            while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
                m_received.insert(m_received.end(), buffer, buffer + n);
            }
        });
    }
    ~Host() { close(); }

    bool isOpen() const { return m_fd >= 0; }
    void close() {
        m_notifier.reset();
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    // Sends a request and waits for `replyLength` bytes (or the guard).
    Bytes exchange(const Bytes& request, std::size_t replyLength) {
        m_received.clear();
        EXPECT_EQ(::write(m_fd, request.data(), request.size()),
                  static_cast<ssize_t>(request.size()));
        bool guard = false;
        auto timer = m_clock.createTimer([&] { guard = true; });
        timer->start(kGuardMs);
        m_clock.waitUntil([&] { return guard || m_received.size() >= replyLength; });
        return m_received;
    }

    const Bytes& received() const { return m_received; }

private:
    QtClock& m_clock;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    Bytes m_received;
};

std::string tempLinkPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string(name) + "-" + std::to_string(::getpid())))
        .string();
}

TEST(PtyBridge, ExchangesSurviveTheHostClosingAndReopening) {
    QtClock clock;
    PtyBridge bridge;
    std::string error;
    ASSERT_TRUE(bridge.start("", error)) << error;
    EXPECT_EQ(bridge.devicePath(), bridge.terminalPath());

    {
        Host host(clock, bridge.devicePath());
        ASSERT_TRUE(host.isOpen());
        EXPECT_EQ(host.exchange({0xC8, 0x00, 0x10}, 5), (Bytes{0x00, 0x10, 0xAA, 0x02, 0x02}));
        EXPECT_EQ(host.exchange({0xE8, 0x00, 0x30, 0x42}, 3), (Bytes{0x00, 0x30, 0x42}));
    }
    // Closed: the bridge must neither spin nor give up. Let some real time pass and count
    // how often the terminal woke it up meanwhile.
    const auto before = bridge.wakeups();
    clock.delay(300);
    EXPECT_LE(bridge.wakeups() - before, 2u);

    Host again(clock, bridge.devicePath());
    ASSERT_TRUE(again.isOpen());
    EXPECT_EQ(again.exchange({0xC8, 0x00, 0x30}, 5), (Bytes{0x00, 0x30, 0xAA, 0x42, 0x42}));
    bridge.wrench().setFaults({.corruptAt = 1, .extraBytes = {0x99}});
    EXPECT_EQ(again.exchange({0xC8, 0x00, 0x00}, 3), (Bytes{0x00, 0xFF, 0x99}));
    EXPECT_EQ(bridge.wrench().exchangeCount(), 4);
}

TEST(PtyBridge, AReplyNobodyWasThereToReadDoesNotGreetTheNextHost) {
    QtClock clock;
    PtyBridge bridge;
    std::string error;
    ASSERT_TRUE(bridge.start("", error)) << error;
    {
        Host host(clock, bridge.devicePath());
        ASSERT_TRUE(host.isOpen());
        host.exchange({0xC8, 0x00, 0x10}, 0); // and gone before the answer
    }
    clock.waitUntil([&] { return bridge.wrench().exchangeCount() == 1; });
    clock.delay(400); // the answer has gone out to nobody

    Host next(clock, bridge.devicePath());
    ASSERT_TRUE(next.isOpen());
    EXPECT_EQ(next.exchange({0xC8, 0x00, 0x11}, 5), (Bytes{0x00, 0x11, 0xAA, 0x53, 0x53}));
}

TEST(PtyBridge, LinkReplacesAStaleOneAndGoesWithTheBridge) {
    const std::string link = tempLinkPath("zelcor-sim-link");
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/nonexistent/old-terminal", link);
    {
        PtyBridge bridge;
        std::string error;
        ASSERT_TRUE(bridge.start(link, error)) << error;
        EXPECT_EQ(bridge.devicePath(), link);
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), bridge.terminalPath());
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

    // Anything that is not a link is left alone.
    { std::ofstream(link) << "keep"; }
    PtyBridge bridge;
    std::string error;
    EXPECT_FALSE(bridge.start(link, error));
    EXPECT_NE(error.find(link), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_regular_file(link));
    std::filesystem::remove(link);
}

TEST(PtyBridge, TheProgramPrintsItsDeviceAnswersAndCleansUpOnTerminate) {
    const std::string link = tempLinkPath("zelcor-sim-process");
    QProcess sim;
    sim.start(QStringLiteral(ZELCOR_SIM_BINARY), {"--link", QString::fromStdString(link)});
    ASSERT_TRUE(sim.waitForStarted(kGuardMs));
    while (!sim.canReadLine() && sim.waitForReadyRead(kGuardMs)) {
    }
    ASSERT_TRUE(sim.canReadLine());
    EXPECT_EQ(sim.readLine().trimmed().toStdString(), link);

    QtClock clock;
    {
        Host host(clock, link);
        ASSERT_TRUE(host.isOpen());
        EXPECT_EQ(host.exchange({0xC8, 0x00, 0x00}, 2), (Bytes{0x00, 0x00}));
    }
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(kGuardMs));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

    QProcess bad;
    bad.start(QStringLiteral(ZELCOR_SIM_BINARY), {"--corrupt"});
    ASSERT_TRUE(bad.waitForFinished(kGuardMs));
    EXPECT_EQ(bad.exitCode(), 2);
}

} // namespace
} // namespace zelcor::sim
