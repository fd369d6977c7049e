#include "DeviceIdentifier.h"

#include "DeviceCommands.h"
#include "LinkState.h"
#include "ProductCatalogue.h"

namespace {

void IdentifyEsc(const std::array<std::uint8_t, 8>& reply, Identification& results, ProductCatalogue& catalogue) {
    results.hardwareModel = catalogue.FindModelByHardwareVersion(reply[4], reply[5], reply[6], reply[7]);
    const FirmwareMatch firmware = catalogue.FindFirmwareBySoftwareVersion(reply[0], reply[1], reply[2], reply[3]);
    results.firmwareName = firmware.firmwareName;
    results.firmwareFileName = firmware.firmwareFileName;
    results.firmwareModel = firmware.firmwareModel;
    // Uses the models just found, so it must come after both lookups.
    results.updateType = catalogue.FindUpdateType(results.hardwareModel, results.firmwareModel);
}

// The Program Card's two versions overlap: reply bytes 2 and 3 end the
// hardware version and start the software version.
void IdentifyProgramCard(const std::array<std::uint8_t, 8>& reply, Identification& results,
                         ProductCatalogue& catalogue) {
    results.hardwareModel = catalogue.FindModelByHardwareVersion(reply[0], reply[1], reply[2], reply[3]);
    const FirmwareMatch firmware = catalogue.FindFirmwareBySoftwareVersion(reply[2], reply[3], reply[4], reply[5]);
    results.firmwareName = firmware.firmwareName;
    results.firmwareFileName = firmware.firmwareFileName;
    results.firmwareModel = firmware.firmwareModel;
}

} // namespace

bool IdentifyDevice(LinkState& state, ProductCatalogue& catalogue) {
    using namespace DeviceCommands;
    // The reply is read as the device that was asked, even if the user
    // chooses another one while the answer is on its way.
    const DeviceMode askedDevice = state.deviceMode;
    Exchange exchange = state.ExchangeCommand(Identify, IdentifyReplyLength, IdentifyTimeoutMs);
    if (exchange.result != ExchangeResult::Replied) {
        // The eighth byte of a short reply is whatever rxBuffer held there.
        exchange = state.ExchangeCommand(Identify, IdentifyRetryReplyLength, IdentifyTimeoutMs);
        if (exchange.result != ExchangeResult::Replied) {
            return false;
        }
    }

    Identification results = state.ReadIdentification();
    switch (askedDevice) {
    case DeviceMode::Esc:
        IdentifyEsc(exchange.reply, results, catalogue);
        break;
    case DeviceMode::ProgramCard:
        IdentifyProgramCard(exchange.reply, results, catalogue);
        break;
    case DeviceMode::None:
        return true;
    }
    state.WriteIdentification(results);
    return true;
}
