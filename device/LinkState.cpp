#include "LinkState.h"

#include "LinkDiscovery.h"

#include <algorithm>

bool Exchange::RepliedWith(std::initializer_list<std::uint8_t> expected) const {
    return result == ExchangeResult::Replied && std::equal(expected.begin(), expected.end(), reply.begin());
}

Identification LinkState::ReadIdentification() const {
    std::lock_guard lock(identificationLock);
    return identification;
}

void LinkState::WriteIdentification(const Identification& results) {
    std::lock_guard lock(identificationLock);
    identification = results;
}

Exchange LinkState::ExchangeCommand(std::uint8_t command, std::uint8_t replyLength, int replyTimeoutMs) {
    std::lock_guard lock(portLock);
    Exchange exchange;
    if (!serialPort.SendCommand(command)) {
        exchange.result = ExchangeResult::LinkFailed;
    } else if (!serialPort.Read(serialPort.rxBuffer.data(), replyLength, replyTimeoutMs)) {
        exchange.result = ExchangeResult::NoReply;
    } else {
        exchange.result = ExchangeResult::Replied;
    }
    std::copy_n(serialPort.rxBuffer.begin(), exchange.reply.size(), exchange.reply.begin());
    return exchange;
}

bool LinkState::DiscoverLink(PortSource& source) {
    std::lock_guard lock(portLock);
    return LinkDiscovery::DiscoverLink(serialPort, source);
}

void LinkState::ClosePort() {
    std::lock_guard lock(portLock);
    serialPort.Close();
}

bool LinkState::IsPortOpen() {
    std::lock_guard lock(portLock);
    return serialPort.IsOpen();
}
