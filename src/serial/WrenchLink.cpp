// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/WrenchLink.h"

#include "common/TextConv.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace zelcor {

WrenchLink::WrenchLink(Clock& clock, SerialPort& port, MessageBoxes& boxes, Echo echo)
    : m_clock(clock), m_port(port), m_boxes(boxes), m_echo(std::move(echo)), m_loggedPort(port),
      m_engine(clock, [this](const std::string& state) { m_echo.showState(state); }),
      m_protocol(clock, m_loggedPort, m_engine,
                 [this](const std::string& text) { m_echo.appendLocal(text); }) {
    m_port.setReceiveHandler([this](const std::vector<std::uint8_t>& bytes) { onReceive(bytes); });
    m_port.setErrorHandler([this](const std::string& message) { onPortError(message); });
}

WrenchLink::~WrenchLink() {
    // The port outlives the link: it must not call into it any more.
    m_port.setReceiveHandler(nullptr);
    m_port.setErrorHandler(nullptr);
}

bool WrenchLink::open(const std::string& portName, const SerialSettings& settings,
                      std::string& error) {
    close();
    if (!m_port.open(portName, settings, error)) {
        return false;
    }
    m_portName = portName;
    if (m_log != nullptr) {
        m_log->portOpened(portName, settings);
    }
    return true;
}

void WrenchLink::close() {
    if (m_port.isOpen()) {
        m_port.close();
        if (m_log != nullptr) {
            m_log->portClosed();
        }
    }
    // No reply can come through a closed port.
    m_engine.lineLost();
    if (m_onClosed) {
        m_onClosed();
    }
}

void WrenchLink::setExchangeLog(ExchangeLog* log) {
    m_log = log;
    m_loggedPort.setLog(log);
    if (m_log != nullptr) {
        m_log->setFailureHandler([this](const std::string& reason) {
            m_logFailure = reason;
            if (!busy()) {
                showLogFailure();
            }
        });
    }
}

void WrenchLink::showLogFailure() {
    if (m_logFailure.empty()) {
        return;
    }
    const QString reason = QString::fromStdString(m_logFailure);
    m_logFailure.clear();
    m_boxes.show(
        tr("The exchange log cannot be written: %1\r\nThe session goes on without it.").arg(reason),
        tr("Exchange Log"), BoxIcon::Warning, BoxButtons::Ok);
}

bool WrenchLink::isOpen() const {
    return m_port.isOpen();
}

void WrenchLink::setPortLostHandler(std::function<void(const std::string&)> handler) {
    m_onPortLost = std::move(handler);
}

void WrenchLink::onPortError(const std::string& message) {
    // The exchange on the wire ends first, so its time-out is not left running under the
    // box the handler shows.
    m_engine.lineLost();
    if (m_log != nullptr) {
        m_log->portClosed(message);
    }
    if (m_onClosed) {
        m_onClosed();
    }
    if (m_onPortLost) {
        m_onPortLost(message);
    }
}

void WrenchLink::onReceive(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) {
        return;
    }
    if (m_log != nullptr) {
        m_log->received(bytes);
    }
    m_engine.receive(bytes);
    std::string line;
    line.reserve(bytes.size() * 5 + 2);
    for (const std::uint8_t b : bytes) {
        line += "&H" + ByteToHexStr(b) + ' ';
    }
    line += "\r\n";
    m_echo.appendRemote(line);
}

bool WrenchLink::beginExchange() {
    if (m_exchangeRunning) {
        showBusy();
        return false;
    }
    m_exchangeRunning = true;
    if (m_log != nullptr) {
        m_log->frameStarts();
    }
    return true;
}

void WrenchLink::endExchange(CommResult result) {
    m_exchangeRunning = false;
    if (m_log != nullptr) {
        m_log->exchangeEnded(CommResultCode(result));
    }
}

std::optional<WrenchLink::Hold> WrenchLink::beginOperation() {
    if (m_exchangeRunning) {
        showBusy();
        return std::nullopt;
    }
    return std::optional<Hold>(std::in_place, *this);
}

void WrenchLink::showBusy() {
    m_boxes.show(tr("Another exchange with the wrench is still running.\r\nThis request was not "
                    "sent."),
                 tr("Link Busy"), BoxIcon::Warning, BoxButtons::Ok);
}

bool WrenchLink::sendByte(std::uint8_t InpB) {
    if (m_exchangeRunning) {
        // A raw byte in the middle of a request would change what the wrench receives.
        showBusy();
        return false;
    }
    return m_loggedPort.writeByte(InpB);
}

ReadReply WrenchLink::read(std::uint8_t InAddr1, std::uint8_t InAddr0) {
    if (!beginExchange()) {
        return ReadReply{CommResult::Busy, false, {}};
    }
    const Hold hold(*this);
    const ReadReply reply = m_protocol.read(InAddr1, InAddr0);
    endExchange(reply.result);
    if (m_observer) {
        m_observer({false, InAddr1, InAddr0, 0, reply});
    }
    return reply;
}

CommResult WrenchLink::write(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t InData) {
    if (!beginExchange()) {
        return CommResult::Busy;
    }
    const Hold hold(*this);
    const CommResult result = m_protocol.write(InAddr1, InAddr0, InData);
    endExchange(result);
    if (m_observer) {
        m_observer({true, InAddr1, InAddr0, InData, {result, false, {}}});
    }
    return result;
}

void WrenchLink::ShowCommResult(CommResult Result) {
    QString message;
    switch (Result) {
    case CommResult::TimeOut:
        message = tr("Data Receving is time-out");
        break;
    case CommResult::Incomplete:
        message = tr("Data Receving is not enough");
        break;
    case CommResult::SyntaxError:
        message = tr("Data Receving has an error(syntax err)");
        break;
    case CommResult::Success:
    case CommResult::Busy:
        return;
    }
    m_boxes.show(message, tr("Communication Error"), BoxIcon::Critical, BoxButtons::Ok);
    HelpMsg();
}

void WrenchLink::HelpMsg() {
    m_boxes.show(tr("Step1:Connect Rs232 cable firmly.\r\nStep2:Make sure the wrench is on "
                    "'send'state.\r\nStep3:Try again!"),
                 tr("Help"), BoxIcon::Information, BoxButtons::Ok);
}

void WrenchLink::MyDelay(std::int16_t Period) {
    m_protocol.MyDelay(Period);
}

void WrenchLink::resetReceive() {
    m_engine.reset();
}

void WrenchLink::clearEchoes() {
    m_echo.clear();
}

void WrenchLink::setReplyLength(std::int16_t length) {
    if (!m_exchangeRunning) {
        m_engine.setReplyLength(length);
    }
}

WrenchLink::Hold::Hold(WrenchLink& link) : m_link(link) {
    if (m_link.m_holds++ == 0) {
        m_link.notifyBusy();
    }
}

WrenchLink::Hold::~Hold() {
    if (--m_link.m_holds == 0) {
        m_link.notifyBusy();
        m_link.showLogFailure();
    }
}

int WrenchLink::addBusyListener(std::function<void(bool)> listener) {
    listener(busy());
    m_busyListeners.emplace_back(++m_nextListenerId, std::move(listener));
    return m_nextListenerId;
}

void WrenchLink::removeBusyListener(int id) {
    std::erase_if(m_busyListeners, [id](const auto& entry) { return entry.first == id; });
}

void WrenchLink::notifyBusy() {
    for (const auto& [id, listener] : m_busyListeners) {
        listener(busy());
    }
}

} // namespace zelcor
