#pragma once

#include "CatalogueFixture.h"
#include "ConnectionMonitor.h"
#include "DeviceSimulator.h"
#include "LinkState.h"
#include "PortSource.h"
#include "ProductCatalogue.h"
#include "SimulatedDevice.h"

#include <atomic>
#include <memory>

// A simulated cable with a device behind it, the link state and a catalogue
// that knows the simulated devices' default versions.
struct LinkRig {
    // ESC: hardware 0x31 0x0A 0x02 0x01 is "Sim ESC One", 0x31 0x0A 0x02 0x00
    // "Sim ESC Zero"; software 1.2.0.5 is "Sim ESC FW 1.2.0.5" of "Sim ESC
    // One". Program Card: hardware 0x50 0x43 0x01 0x02, software 0x01 0x02
    // 0x03 0x00.
    static QByteArray CatalogueSql() {
        return CatalogueFixture::Schema + R"(
INSERT INTO DeviceList VALUES ('Sim ESC One', 1, 49, 10, 2, 1, '2', 1);
INSERT INTO DeviceList VALUES ('Sim ESC Zero', 1, 49, 10, 2, 0, '1', 1);
INSERT INTO DeviceList VALUES ('Sim Card', 0, 80, 67, 1, 2, NULL, 1);
INSERT INTO FirmwareList VALUES ('Sim ESC FW 1.2.0.5', 'SimEsc_1205', 'Sim ESC One', 1, 2, 0, 5, 1);
INSERT INTO FirmwareList VALUES ('Sim Card FW 1.2.3', 'SimCard_123', 'Sim Card', 1, 2, 3, 0, 1);
)";
    }

    explicit LinkRig(devicesim::SimulatedDevice::Kind kind = devicesim::SimulatedDevice::Kind::Esc)
        : device(kind) {
        simulator.SetResponder(device.MakeResponder());
        ports.SetEntries({simulator.PortEntry()});
        if (catalogueFixture.Write(CatalogueSql())) {
            catalogue.OpenCatalogue(catalogueFixture.Directory());
        }
        state.deviceMode = kind == devicesim::SimulatedDevice::Kind::Esc ? DeviceMode::Esc : DeviceMode::ProgramCard;
    }

    // Puts the link where a test wants to start from: 0 port closed, 1 port
    // open, 2 port open and device identified.
    bool StartIn(ConnectionState start) {
        if (start != ConnectionState::NoLink && !state.DiscoverLink(ports)) {
            return false;
        }
        state.connectionState = start;
        return true;
    }

    std::unique_ptr<ConnectionMonitor> MakeMonitor() {
        return std::make_unique<ConnectionMonitor>(state, catalogue, ports, [this] { ++refreshes; });
    }

    devicesim::DeviceSimulator simulator;
    devicesim::SimulatedDevice device;
    FixedPortSource ports;
    CatalogueFixture catalogueFixture;
    ProductCatalogue catalogue;
    LinkState state;
    std::atomic<int> refreshes{0};
};
