// The program as a user sees it, with a simulated ESC behind a simulated
// link cable instead of real hardware: choose Device > ESC to watch it being
// found and identified in the demo catalogue.
#include "CZelvonarRirovaTARVOUSBLinkApp.h"
#include "DeviceSimulator.h"
#include "PortSource.h"
#include "SimulatedDevice.h"

int main(int argc, char** argv) {
    CZelvonarRirovaTARVOUSBLinkApp app(argc, argv);

    devicesim::DeviceSimulator cable;
    devicesim::SimulatedDevice esc(devicesim::SimulatedDevice::Kind::Esc);
    // Software 32.45.1.0 ("ESC 45A V1.0"), hardware 69.83.1.45 ("Demo ESC 45A").
    esc.SetIdentification({32, 45, 1, 0, 69, 83, 1, 45});
    cable.SetResponder(esc.MakeResponder());

    FixedPortSource ports({cable.PortEntry()});
    return app.InitInstance(ports);
}
