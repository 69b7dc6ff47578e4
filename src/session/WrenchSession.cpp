// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/WrenchSession.h"

#include "common/TextConv.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"

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
    : m_clock(clock), m_boxes(boxes),
      m_link(clock, port, boxes,
             WrenchLink::Echo{
                 [this](const std::string& text) { emit localEcho(text); },
                 [this](const std::string& text) { emit remoteEcho(text); },
                 [this] { emit echoesCleared(); },
                 [this](const std::string& state) { emit receiveState(state); },
             }),
      m_nextRequestCode(std::move(nextRequestCode)) {
    m_memory.changed = [this](int address) {
        if (!m_loadingPreset) {
            m_presetModel.clear();
        }
        emit memoryChanged(address);
    };
    m_link.setExchangeObserver([this](const WrenchLink::Exchange& e) { onExchange(e); });
    m_link.setClosedObserver([this] { forgetWrench(); });
    m_link.setPortLostHandler([this](const std::string& message) {
        // A live reading would go on reporting a failed read every cycle: it stops after its
        // current cycle.
        if (m_testRunning) {
            stopTest();
        }
        emit portLost(message);
    });
}

WrenchSession::~WrenchSession() = default;

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
    if (m_link.exchangeRunning()) {
        return m_link.read(addr1, addr0); // refused as busy, and not a job
    }
    const Recording job(*this, "Console Read", false);
    return m_link.read(addr1, addr0);
}

CommResult WrenchSession::writeRegister(std::uint8_t addr1, std::uint8_t addr0, std::uint8_t data) {
    if (m_link.exchangeRunning()) {
        return m_link.write(addr1, addr0, data); // refused as busy, and not a job
    }
    Recording recording(*this, "Console Write");
    const CommResult result = m_link.write(addr1, addr0, data);
    recording.end(result == CommResult::Success
                      ? JobResult{}
                      : JobResult{JobEnd::Failed, result, addr1 * 256 + addr0, {}});
    return result;
}

bool WrenchSession::sendByte(std::uint8_t byte) {
    if (m_link.exchangeRunning()) {
        return m_link.sendByte(byte); // refused as busy, and not a job
    }
    Recording recording(*this, "Send Byte");
    const bool sent = m_link.sendByte(byte);
    if (ServiceRecord* r = record()) {
        r->detail =
            "byte " + ByteToHexStr(byte) + (sent ? " sent" : " not sent: the port is closed");
    }
    // A byte that never went out has no exchange code.
    recording.end(sent ? JobResult{} : JobResult{JobEnd::Failed, CommResult::Success, -1, {}});
    return sent;
}

} // namespace zelcor
