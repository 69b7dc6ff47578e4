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
    m_wrench->setHostSink([this](std::uint8_t byte, bool) { writeToHost(byte); });
}

PtyBridge::~PtyBridge() {
    shutdown();
}

void PtyBridge::shutdown() {
    m_retry.reset();
    m_notifier.reset();
    if (!m_linkPath.empty()) {
        // Remove the link only while it is still ours.
        char target[4096];
        const ssize_t n = ::readlink(m_linkPath.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == m_slavePath) {
            ::unlink(m_linkPath.c_str());
        }
        m_linkPath.clear();
    }
    closeDescriptor(m_master);
    closeDescriptor(m_slave);
}

bool PtyBridge::start(const std::string& linkPath, std::string& error) {
    shutdown();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        error = systemError("cannot create a pseudo-terminal");
        return false;
    }
    char name[256];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0) {
        error = systemError("cannot prepare the pseudo-terminal");
        shutdown();
        return false;
    }
    m_slavePath = name;

    // Holding the device open ourselves means the master never sees a hang-up when the host
    // closes it, which would otherwise wake the notifier again and again.
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0) {
        error = systemError("cannot open " + m_slavePath);
        shutdown();
        return false;
    }
    // Raw before the host opens it: no echo, no line editing, no translation of CR or LF.
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | CSTOPB;
    ::cfsetispeed(&tio, speedFor(m_wrench->options().baudRate));
    ::cfsetospeed(&tio, speedFor(m_wrench->options().baudRate));
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        error = systemError("cannot set " + m_slavePath + " to raw mode");
        shutdown();
        return false;
    }
    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = systemError("cannot make the pseudo-terminal non-blocking");
        shutdown();
        return false;
    }

    if (!linkPath.empty()) {
        struct stat st {};
        if (::lstat(linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = QuotedInput(linkPath) + " exists and is not a symbolic link";
                shutdown();
                return false;
            }
            ::unlink(linkPath.c_str()); // a link left by an earlier run
        }
        if (::symlink(m_slavePath.c_str(), linkPath.c_str()) != 0) {
            error = systemError("cannot make the link " + QuotedInput(linkPath));
            shutdown();
            return false;
        }
        m_linkPath = linkPath;
    }

    m_retry = m_clock->createTimer([this] {
        if (m_notifier) {
            m_notifier->setEnabled(true);
        }
    });
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { onMasterReadable(); });
    return true;
}

std::string PtyBridge::devicePath() const {
    return m_linkPath.empty() ? m_slavePath : m_linkPath;
}

bool PtyBridge::hostLineMatches() const {
    // The host's settings live on the shared terminal; a host at another speed or format
    // would put only garbage on a real line.
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0) {
        return true;
    }
    return ::cfgetospeed(&tio) == speedFor(m_wrench->options().baudRate) &&
           (tio.c_cflag & CSIZE) == CS8 && (tio.c_cflag & PARENB) == 0;
}

void PtyBridge::onMasterReadable() {
    ++m_wakeups;
    std::uint8_t buffer[256];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                note(buffer[i], false);
            }
            discardUnreadReplies();
            const bool clean = hostLineMatches();
            for (ssize_t i = 0; i < n; ++i) {
                if (clean) {
                    m_wrench->hostSend(buffer[i]);
                } else {
                    m_wrench->hostSendGarbled();
                }
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            return;
        }
        // End of file or an error: the descriptor would report itself readable for ever.
        // Holding the device open prevents this; should it happen anyway, look again a
        // little later instead of spinning.
        m_notifier->setEnabled(false);
        m_retry->start(kRetryMs);
        return;
    }
}

void PtyBridge::discardUnreadReplies() {
    // A host that has the device open reads what arrives within moments. Reply bytes still
    // unread long after they were sent went out while nobody had the port open; a real line
    // would have lost them, so they must not greet the next host as part of its reply.
    int unread = 0;
    if (::ioctl(m_slave, FIONREAD, &unread) == 0 && unread > 0 &&
        m_clock->nowMs() - m_lastWriteMs > kUnreadMs) {
        ::tcflush(m_slave, TCIFLUSH);
    }
}

void PtyBridge::writeToHost(std::uint8_t byte) {
    if (m_master < 0) {
        return;
    }
    m_lastWriteMs = m_clock->nowMs();
    // A full terminal buffer (nobody reading for a long time) loses the byte, as a line would.
    while (::write(m_master, &byte, 1) < 0 && errno == EINTR) {
    }
    note(byte, true);
}

void PtyBridge::note(std::uint8_t byte, bool toHost) {
    if (m_recordLine) {
        const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        m_lineLog.push_back({byte, toHost, now.count()});
    }
}

} // namespace zelcor::sim
