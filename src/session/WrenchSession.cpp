// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/WrenchSession.h"

#include "common/TextConv.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"

#include <QDateTime>

namespace zelcor {

std::optional<std::int16_t> DivisorForDigits(int digits) {
    switch (digits) {
    case 0:
        return 1;
    case 1:
        return 10;
    case 2:
        return 100;
    case 3:
        return 1000;
    default:
        return std::nullopt;
    }
}

WrenchSession::WrenchSession(Clock& clock, SerialPort& port, MessageBoxes& boxes,
                             std::function<std::string()> nextRequestCode)
    : m_clock(clock, m_waits), m_boxes(boxes, m_waits),
      m_link(m_clock, port, m_boxes,
             WrenchLink::Echo{
                 [this](const std::string& text) { emit localEcho(text); },
                 [this](const std::string& text) { emit remoteEcho(text); },
                 [this] { emit echoesCleared(); },
                 [this](const std::string& state) { emit receiveState(state); },
             }),
      m_recorder(clock), m_nextRequestCode(std::move(nextRequestCode)) {
    m_memory.changed = [this](int address) {
        if (!m_loadingPreset) {
            m_presetModel.clear();
        }
        emit memoryChanged(address);
    };
    m_link.setExchangeObserver([this](const WrenchLink::Exchange& e) { m_recorder.exchange(e); });
    m_link.setClosedObserver([this] { m_recorder.forgetWrench(); });
    m_link.setPortLostHandler([this](const std::string& message) {
        // A live reading would go on reporting a failed read every cycle: it stops after its
        // current cycle.
        if (m_testRunning) {
            stopTest();
        }
        emit portLost(message);
    });
    m_link.addBusyListener([this](bool busy) { emit busyChanged(busy); });
    m_tester.setLineHandler([this](const std::string& line) { takeTesterLine(line); });
    m_tester.setLostHandler([this](const std::string& message) {
        m_testerLost = m_verifying;
        emit testerLost(message);
    });
    m_today = [] {
        return QDateTime::currentDateTimeUtc().date().toString(Qt::ISODate).toStdString();
    };
}

WrenchSession::~WrenchSession() = default;

void WrenchSession::WaitClock::processPendingEvents() {
    ++waits;
    inner.processPendingEvents();
    --waits;
}

void WrenchSession::WaitClock::waitUntil(const std::function<bool()>& condition) {
    ++waits;
    inner.waitUntil(condition);
    --waits;
}

BoxAnswer WrenchSession::WaitBoxes::show(const QString& text, const QString& title, BoxIcon icon,
                                         BoxButtons buttons) {
    ++waits;
    const BoxAnswer answer = inner.show(text, title, icon, buttons);
    --waits;
    return answer;
}

bool WrenchSession::open(const std::string& portName, const SerialSettings& settings,
                         std::string& error) {
    close();
    if (!m_link.open(portName, settings, error)) {
        return false;
    }
    emit portOpened();
    return true;
}

void WrenchSession::close() {
    const bool wasOpen = m_link.isOpen();
    m_link.close();
    if (wasOpen) {
        emit portClosed();
    }
}

// ---- jobs ----------------------------------------------------------------------------------

WrenchSession::Job::Job(WrenchSession& session, std::string name, bool recorded)
    : m_session(session) {
    WrenchSession& s = m_session;
    // A job asked for while the holder waits comes from an event of others (a timer, a click
    // inside a box): it would put its exchanges between the holder's.
    const bool foreign =
        s.m_jobDepth > 0 ? s.m_waits != s.m_holderWaits : s.m_link.exchangeRunning();
    if (foreign) {
        s.m_link.showBusy();
        return;
    }
    if (s.m_jobDepth++ == 0) {
        s.m_holderWaits = s.m_waits;
    }
    m_held = true;
    m_named = !name.empty();
    m_hold.emplace(s.m_link);
    s.beginJob(name, recorded);
}

WrenchSession::Job::~Job() {
    end({});
}

JobResult WrenchSession::Job::end(JobResult result) {
    if (m_held && !m_ended) {
        m_ended = true;
        m_session.endJob(result, m_named);
        m_hold.reset();
    }
    return result;
}

void WrenchSession::beginJob(const std::string& name, bool recorded) {
    if (name.empty()) {
        return; // a hold: not a job of its own
    }
    if (m_recorder.begin(name, recorded, m_link.portName())) {
        m_link.beginJob(name);
    }
}

void WrenchSession::endJob(const JobResult& result, bool named) {
    if (--m_jobDepth == 0) {
        m_holderWaits = -1;
    }
    if (!named) {
        return;
    }
    if (const auto record = m_recorder.end(result)) {
        emit jobRecorded(*record);
    }
}

void WrenchSession::recordSetting() {
    m_recorder.setting(m_setting.DirCCW, m_setting.FraDigits);
}

void WrenchSession::setDirection(bool ccw) {
    m_setting.DirCCW = ccw;
}

void WrenchSession::setDigits(int digits) {
    if (DivisorForDigits(digits) && digits != m_setting.FraDigits) {
        m_setting.FraDigits = digits;
        emit maxTorqueChanged();
    }
}

std::string WrenchSession::maxTorqueText() const {
    const double divisor = DivisorForDigits(m_setting.FraDigits).value_or(1);
    return TorqueText(m_maxTorqueRaw / divisor);
}

void WrenchSession::setTestPause(std::string text) {
    const double pause = std::floor(ValueOfText(text));
    m_pause.reset();
    if (pause >= 1 && pause <= 32767) {
        m_pause = static_cast<std::int16_t>(pause);
    }
    m_pauseText = std::move(text);
}

std::string WrenchSession::recordText(std::string_view pattern,
                                      std::initializer_list<std::string_view> args) {
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '%' && next >= '1' && next < '1' + int(args.size())) {
            text += args.begin()[next - '1'];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

void WrenchSession::reportError(const QString& text) {
    m_boxes.show(text, tr("Error!!!"), BoxIcon::Exclamation, BoxButtons::Ok);
}

// ---- the register console -----------------------------------------------------------------

ReadReply WrenchSession::readRegister(std::uint8_t addr1, std::uint8_t addr0) {
    const auto job = this->job("Console Read", false);
    if (!job) {
        return ReadReply{CommResult::Busy, false, {}};
    }
    return m_link.read(addr1, addr0);
}

CommResult WrenchSession::writeRegister(std::uint8_t addr1, std::uint8_t addr0, std::uint8_t data) {
    auto job = this->job("Console Write");
    if (!job) {
        return CommResult::Busy;
    }
    const CommResult result = m_link.write(addr1, addr0, data);
    job.end(result == CommResult::Success
                ? JobResult{}
                : JobResult{JobEnd::Failed, result, addr1 * 256 + addr0, {}});
    return result;
}

bool WrenchSession::sendByte(std::uint8_t byte) {
    auto job = this->job("Send Byte");
    if (!job) {
        return false;
    }
    const bool sent = m_link.sendByte(byte);
    if (ServiceRecord* r = record()) {
        r->detail =
            "byte " + ByteToHexStr(byte) + (sent ? " sent" : " not sent: the port is closed");
    }
    // A byte that never went out has no exchange code.
    job.end(sent ? JobResult{} : JobResult{JobEnd::Failed, CommResult::Success, -1, {}});
    return sent;
}

} // namespace zelcor
