// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/PtyBridge.h"

#include "common/TextConv.h"
#include "platform/QtClock.h"

#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zelcor::sim {

namespace {

speed_t speedFor(int baudRate) {
    switch (baudRate) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    default:
        return B1200;
    }
}

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

constexpr int kRetryMs = 100;
constexpr std::int64_t kUnreadMs = 250;

void closeDescriptor(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

PtyBridge::PtyBridge(WrenchOptions options)
    : m_clock(std::make_unique<QtClock>()),
      m_wrench(std::make_unique<SimulatedWrench>(*m_clock, options)) {
    m_wrench->setHostSink([this](std::uint8_t byte, bool) {
        if (writeToHost(m_wrenchTerminal, byte)) {
            note(byte, true);
        }
    });
}

PtyBridge::~PtyBridge() {
    close(m_testerTerminal);
    close(m_wrenchTerminal);
}

void PtyBridge::close(Terminal& terminal) {
    terminal.retry.reset();
    terminal.notifier.reset();
    if (!terminal.linkPath.empty()) {
        // Remove the link only while it is still ours.
        char target[4096];
        const ssize_t n = ::readlink(terminal.linkPath.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == terminal.slavePath) {
            ::unlink(terminal.linkPath.c_str());
        }
        terminal.linkPath.clear();
    }
    closeDescriptor(terminal.master);
    closeDescriptor(terminal.slave);
}

bool PtyBridge::open(Terminal& terminal, Line line, const std::string& linkPath,
                     std::string& error) {
    close(terminal);
    terminal.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal.master < 0) {
        error = systemError("cannot create a pseudo-terminal");
        return false;
    }
    char name[256];
    if (::grantpt(terminal.master) != 0 || ::unlockpt(terminal.master) != 0 ||
        ::ptsname_r(terminal.master, name, sizeof name) != 0) {
        error = systemError("cannot prepare the pseudo-terminal");
        close(terminal);
        return false;
    }
    terminal.slavePath = name;

    // Holding the device open ourselves means the master never sees a hang-up when the host
    // closes it, which would otherwise wake the notifier again and again.
    terminal.slave = ::open(terminal.slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (terminal.slave < 0 || ::tcgetattr(terminal.slave, &tio) != 0) {
        error = systemError("cannot open " + terminal.slavePath);
        close(terminal);
        return false;
    }
    // Raw before the host opens it: no echo, no line editing, no translation of CR or LF.
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    if (line.twoStopBits) {
        tio.c_cflag |= CSTOPB;
    }
    ::cfsetispeed(&tio, speedFor(line.baudRate));
    ::cfsetospeed(&tio, speedFor(line.baudRate));
    if (::tcsetattr(terminal.slave, TCSANOW, &tio) != 0) {
        error = systemError("cannot set " + terminal.slavePath + " to raw mode");
        close(terminal);
        return false;
    }
    const int flags = ::fcntl(terminal.master, F_GETFL);
    if (flags < 0 || ::fcntl(terminal.master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = systemError("cannot make the pseudo-terminal non-blocking");
        close(terminal);
        return false;
    }

    if (!linkPath.empty()) {
        struct stat st {};
        if (::lstat(linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = QuotedInput(linkPath) + " exists and is not a symbolic link";
                close(terminal);
                return false;
            }
            ::unlink(linkPath.c_str()); // a link left by an earlier run
        }
        if (::symlink(terminal.slavePath.c_str(), linkPath.c_str()) != 0) {
            error = systemError("cannot make the link " + QuotedInput(linkPath));
            close(terminal);
            return false;
        }
        terminal.linkPath = linkPath;
    }

    terminal.retry = m_clock->createTimer([&terminal] {
        if (terminal.notifier) {
            terminal.notifier->setEnabled(true);
        }
    });
    terminal.notifier = std::make_unique<QSocketNotifier>(terminal.master, QSocketNotifier::Read);
    return true;
}

bool PtyBridge::start(const std::string& linkPath, std::string& error) {
    if (!open(m_wrenchTerminal, {m_wrench->options().baudRate, true}, linkPath, error)) {
        return false;
    }
    QObject::connect(m_wrenchTerminal.notifier.get(), &QSocketNotifier::activated,
                     [this] { onMasterReadable(); });
    return true;
}

bool PtyBridge::startTester(const std::string& linkPath, std::string& error) {
    m_tester.reset();
    if (!open(m_testerTerminal, {SimulatedTester::kBaudRate, false}, linkPath, error)) {
        return false;
    }
    m_tester = std::make_unique<SimulatedTester>(*m_clock, *m_wrench);
    m_tester->setHostSink([this](std::uint8_t byte) {
        // A host at another speed or format would read no line of it.
        if (hostLineMatches(m_testerTerminal, {SimulatedTester::kBaudRate, false})) {
            discardUnread(m_testerTerminal);
            writeToHost(m_testerTerminal, byte);
        }
    });
    // The tester listens to nobody: what the host writes to it is dropped.
    QObject::connect(m_testerTerminal.notifier.get(), &QSocketNotifier::activated, [this] {
        std::vector<std::uint8_t> dropped;
        while (readHost(m_testerTerminal, dropped)) {
            dropped.clear();
        }
    });
    return true;
}

std::string PtyBridge::devicePath() const {
    const Terminal& t = m_wrenchTerminal;
    return t.linkPath.empty() ? t.slavePath : t.linkPath;
}

std::string PtyBridge::testerDevicePath() const {
    const Terminal& t = m_testerTerminal;
    return t.linkPath.empty() ? t.slavePath : t.linkPath;
}

bool PtyBridge::hostLineMatches(const Terminal& terminal, Line line) const {
    // The host's settings live on the shared terminal; a host at another speed or format
    // would put only garbage on a real line.
    termios tio{};
    if (::tcgetattr(terminal.slave, &tio) != 0) {
        return true;
    }
    return ::cfgetospeed(&tio) == speedFor(line.baudRate) && (tio.c_cflag & CSIZE) == CS8 &&
           (tio.c_cflag & PARENB) == 0;
}

bool PtyBridge::readHost(Terminal& terminal, std::vector<std::uint8_t>& bytes) {
    std::uint8_t buffer[256];
    for (;;) {
        const ssize_t n = ::read(terminal.master, buffer, sizeof buffer);
        if (n > 0) {
            bytes.assign(buffer, buffer + n);
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            return false;
        }
        // End of file or an error: the descriptor would report itself readable for ever.
        // Holding the device open prevents this; should it happen anyway, look again a
        // little later instead of spinning.
        terminal.notifier->setEnabled(false);
        terminal.retry->start(kRetryMs);
        return false;
    }
}

void PtyBridge::onMasterReadable() {
    ++m_wakeups;
    std::vector<std::uint8_t> bytes;
    while (readHost(m_wrenchTerminal, bytes)) {
        for (std::uint8_t byte : bytes) {
            note(byte, false);
        }
        discardUnread(m_wrenchTerminal);
        const bool clean = hostLineMatches(m_wrenchTerminal, {m_wrench->options().baudRate, true});
        for (std::uint8_t byte : bytes) {
            if (clean) {
                m_wrench->hostSend(byte);
            } else {
                m_wrench->hostSendGarbled();
            }
        }
    }
}

void PtyBridge::discardUnread(Terminal& terminal) {
    // A host that has the device open reads what arrives within moments. Bytes still unread
    // long after they were sent went out while nobody had the port open; a real line would
    // have lost them, so they must not greet the next host as part of its answer.
    int unread = 0;
    if (::ioctl(terminal.slave, FIONREAD, &unread) == 0 && unread > 0 &&
        m_clock->nowMs() - terminal.lastWriteMs > kUnreadMs) {
        ::tcflush(terminal.slave, TCIFLUSH);
    }
}

bool PtyBridge::writeToHost(Terminal& terminal, std::uint8_t byte) {
    if (terminal.master < 0) {
        return false;
    }
    terminal.lastWriteMs = m_clock->nowMs();
    // A full terminal buffer (nobody reading for a long time) loses the byte, as a line would.
    while (::write(terminal.master, &byte, 1) < 0 && errno == EINTR) {
    }
    return true;
}

void PtyBridge::note(std::uint8_t byte, bool toHost) {
    if (m_recordLine) {
        const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        m_lineLog.push_back({byte, toHost, now.count()});
    }
}

} // namespace zelcor::sim
