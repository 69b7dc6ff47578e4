// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ComPortControl.h"
#include "platform/SerialPort.h"

#include <QTcpSocket>

#include <functional>
#include <memory>

namespace zelcor {

// The wrench's line through a serial device server on the network, raw TCP or
// COM-PORT-CONTROL, behind the same port as a local device. Every byte written is a segment
// of its own, sent at once, so the pauses between request bytes are the pauses on the line.
// A connection closed by the far end is the port lost.
class NetworkPort final : public SerialPort {
public:
    // How long connecting and settling the line may take, all told.
    static constexpr int kConnectLimitMs = 3000;

    explicit NetworkPort(int connectLimitMs = kConnectLimitMs);
    ~NetworkPort() override;

    // `portName` is tcp://HOST:PORT or rfc2217://HOST:PORT. While it connects, the event loop
    // runs on with the user's input held back, for at most the connect limit.
    bool open(const std::string& portName, const SerialSettings& settings,
              std::string& error) override;
    void close() override;
    bool isOpen() const override;
    bool writeByte(std::uint8_t byte) override;
    // A device server passes a byte on as it comes, but one may leave it up to about 2 ms
    // later than the next (measured through ser2net on this machine's loopback), so a pause
    // would arrive at the wrench that much short. Three more milliseconds keep every pause
    // the wrench sees at least what it needs.
    int pauseMarginMs() const override { return kPauseMarginMs; }
    static constexpr int kPauseMarginMs = 3;

private:
    bool waitFor(const std::function<bool()>& done, int remainingMs);
    void onReadyRead();
    void onGone();
    std::string socketFailure() const;

    int m_connectLimitMs;
    std::unique_ptr<QTcpSocket> m_socket;
    std::unique_ptr<ComPortControl> m_control;
    std::string m_address;
    bool m_open = false;
};

} // namespace zelcor
