// Time from process start to the main window shown, with the catalogue beside
// this program (the demo catalogue in the build), key derivation included.
// Run by hand: it starts the window the way the program does, reports, ends.
#include "CZelvonarRirovaTARVOUSBLinkApp.h"
#include "CZelvonarRirovaTARVOUSBLinkDlg.h"
#include "PortSource.h"

#include <QTest>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// Seconds since this process was started, from the kernel's own record.
double SecondsSinceProcessStart() {
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    // Field 22 (starttime, in clock ticks since boot) counts from after the
    // command name, which ends with the last ')'.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int index = 3; index <= 22; ++index) {
        fields >> field;
    }
    const double startedAt = std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec + now.tv_nsec / 1e9 - startedAt;
}

} // namespace

int main(int argc, char** argv) {
    CZelvonarRirovaTARVOUSBLinkApp app(argc, argv);
    SysfsPortSource ports;
    CZelvonarRirovaTARVOUSBLinkDlg dialog(ports, CZelvonarRirovaTARVOUSBLinkApp::ExeDirectory());
    if (!dialog.OnInitDialog()) {
        std::fprintf(stderr, "the catalogue beside this program could not be opened\n");
        return 1;
    }
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    const double shown = SecondsSinceProcessStart();
    std::printf("process start to window shown: %.0f ms (goal: under 250 ms; clock tick %.0f ms)\n", shown * 1000,
                1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK)));
    dialog.done(0);
    dialog.Teardown();
    return 0;
}
