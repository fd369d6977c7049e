#include "CZelvonarRirovaTARVOUSBLinkApp.h"
#include "PortSource.h"

int main(int argc, char** argv) {
    CZelvonarRirovaTARVOUSBLinkApp app(argc, argv);
    SysfsPortSource ports;
    return app.InitInstance(ports);
}
