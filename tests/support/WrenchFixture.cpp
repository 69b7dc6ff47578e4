// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/WrenchFixture.h"

#include "common/TextConv.h"

#include <QComboBox>

namespace zelcor::test {

void WrenchFixture::SetUp() {
    WindowFixture::SetUp();
    for (int a = 0x0C; a <= 0x2D; ++a) {
        wrench.poke(0x00, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(0x40 + a));
    }
    click("cmdPortOpen");
    ASSERT_TRUE(wrenchPort.isOpen());
}

void WrenchFixture::choose(const char* combo, const QString& item) {
    auto* box = control<QComboBox>(combo);
    const int index = box->findText(item);
    ASSERT_GE(index, 0) << item.toStdString();
    box->setCurrentIndex(index);
    emit box->activated(index);
}

std::string WrenchFixture::hex(int address) const {
    return ByteToHexStr(wrench.peek(0x00, static_cast<std::uint8_t>(address)));
}

std::vector<int> WrenchFixture::addresses(bool writes) const {
    std::vector<int> out;
    for (const sim::ReceivedFrame& f : wrench.receivedFrames()) {
        if (f.write == writes) {
            out.push_back(f.addr0);
        }
    }
    return out;
}

} // namespace zelcor::test
