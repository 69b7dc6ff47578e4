// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bench.h"

#include <unistd.h>

namespace zelcor::bench {

std::int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Steady::now().time_since_epoch())
        .count();
}

std::string format(const char* pattern, double value) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

QPushButton* button(zelcor::frmRs232SetCmd& window, const char* name) {
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

long residentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

void Table::print() const {
    const Row header{"Figure", "Measured", "Limit/goal", "Over", "How / detail"};
    std::size_t w[4] = {};
    widen(header, w);
    for (const Row& r : m_rows) {
        widen(r, w);
    }
    printRow(header, w);
    std::printf("%s\n", std::string(w[0] + w[1] + w[2] + w[3] + 4 * 3 + 12, '-').c_str());
    for (const Row& r : m_rows) {
        printRow(r, w);
    }
}

void Table::widen(const Row& r, std::size_t* w) {
    w[0] = std::max(w[0], r.figure.size());
    w[1] = std::max(w[1], r.measured.size());
    w[2] = std::max(w[2], r.limit.size());
    w[3] = std::max(w[3], r.over.size());
}

void Table::printRow(const Row& r, const std::size_t* w) {
    if (r.measured.empty() && r.limit.empty() && r.over.empty() && r.note.empty()) {
        std::printf("%s\n", r.figure.c_str()); // a heading
        return;
    }
    std::printf("%-*s | %*s | %*s | %*s | %s\n", int(w[0]), r.figure.c_str(), int(w[1]),
                r.measured.c_str(), int(w[2]), r.limit.c_str(), int(w[3]), r.over.c_str(),
                r.note.c_str());
}

ExchangeRig::ExchangeRig(const Line& line, std::optional<zelcor::sim::DeviceServer::Mode> front)
    : m_wrench(
          zelcor::sim::WrenchOptions{.baudRate = line.baudRate, .turnaroundMs = line.turnaroundMs}),
      m_front(front) {}

ExchangeRig::~ExchangeRig() {
    // The port goes before its far end, so it never sees the wrench vanish.
    m_window.reset();
    m_port.close();
}

bool ExchangeRig::open(std::string& error) {
    std::string path;
    const bool started = m_wrench.run([&] {
        auto& bridge = m_wrench.bridge();
        bridge.recordLine(true);
        const bool ok = bridge.start({}, error);
        path = bridge.devicePath();
        return ok;
    });
    if (!started) {
        return false;
    }
    if (m_front) {
        if (!m_server.start(path, *m_front, error)) {
            return false;
        }
        path = m_server.url();
    }
    m_session =
        std::make_unique<zelcor::WrenchSession>(m_clock, m_port, m_boxes, zelcor::NextRequestCode);
    m_window = std::make_unique<zelcor::frmRs232SetCmd>(
        *m_session, zelcor::Platform{m_clock, m_port, m_boxes, [] {}});
    m_window->show();
    m_window->choosePort(QString::fromStdString(path));
    button(*m_window, "cmdPortOpen")->click();
    if (!m_port.isOpen()) {
        error = "could not open " + path;
        return false;
    }
    return true;
}

std::uint8_t ExchangeRig::peek(std::uint8_t addr0) {
    return m_wrench.run([&] { return m_wrench.bridge().wrench().peek(0x00, addr0); });
}

double ExchangeRig::timeExchange(const std::function<bool()>& exchange, Phases& phases, bool& ok) {
    collect();
    const std::int64_t start = nowUs();
    ok = exchange();
    const std::int64_t end = nowUs();
    const auto sent = m_port.written;
    const Seen seen = collect();
    if (!sent.empty() && seen.requestBytes == sent.size() && seen.lastReplyUs > 0) {
        const auto ms = [&](std::int64_t us) { return (us - sent.back().atUs) / 1000.0; };
        phases.toFirst.add((sent.front().atUs - start) / 1000.0);
        phases.pauses.add((sent.back().atUs - sent.front().atUs) / 1000.0);
        phases.taken.add(ms(seen.lastRequestUs));
        phases.replied.add(ms(seen.lastReplyUs));
        phases.in.add(ms(m_port.lastReceiveUs));
        phases.returned.add(ms(end));
    }
    return (end - start) / 1000.0;
}

double ExchangeRig::timeOperation(const std::function<void()>& operation) {
    collect();
    const std::int64_t start = nowUs();
    operation();
    const std::int64_t end = nowUs();
    m_lastTailMs = (end - m_port.lastReceiveUs) / 1000.0;
    collect();
    return (end - start) / 1000.0;
}

ExchangeRig::Gaps ExchangeRig::gaps() const {
    Gaps g;
    requestGaps(m_far, g.farReads, g.farWrites);
    requestGaps(m_sent, g.sentReads, g.sentWrites);
    if (m_far.size() == m_sent.size()) {
        for (std::size_t i = 0; i < m_far.size(); ++i) {
            g.lag.add((m_far[i].atUs - m_sent[i].atUs) / 1000.0);
        }
    }
    return g;
}

void ExchangeRig::requestGaps(const std::vector<zelcor::sim::LineByte>& b, Spread& reads,
                              Spread& writes) {
    for (std::size_t i = 0; i < b.size();) {
        const bool read = b[i].value == 0xC8;
        const std::size_t length = read ? 3 : 4;
        if ((!read && b[i].value != 0xE8) || i + length > b.size()) {
            ++i;
            continue;
        }
        for (std::size_t k = i + 1; k < i + length; ++k) {
            (read ? reads : writes).add((b[k].atUs - b[k - 1].atUs) / 1000.0);
        }
        i += length;
    }
}

ExchangeRig::Seen ExchangeRig::collect() {
    const auto log = m_wrench.run([&] {
        auto& bridge = m_wrench.bridge();
        auto taken = bridge.lineLog();
        bridge.clearLineLog();
        return taken;
    });
    Seen seen;
    for (const auto& byte : log) {
        if (byte.toHost) {
            seen.lastReplyUs = byte.atUs;
        } else {
            m_far.push_back(byte);
            ++seen.requestBytes;
            seen.lastRequestUs = byte.atUs;
        }
    }
    m_sent.insert(m_sent.end(), m_port.written.begin(), m_port.written.end());
    m_port.written.clear();
    return seen;
}

} // namespace zelcor::bench
