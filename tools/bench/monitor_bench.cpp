// The connection monitor against a simulated ESC at the real line speed:
// how long from the cable appearing to the device identified, and how much
// of one core the monitor takes while it polls a connected device. The
// simulator runs in a child process so that this process's CPU time is the
// monitor's own. Run by hand: monitor_bench [seconds of polling, default 60]
#include "ConnectionMonitor.h"
#include "DeviceSimulator.h"
#include "LinkState.h"
#include "PortSource.h"
#include "ProductCatalogue.h"
#include "SimulatedDevice.h"

#include <QCoreApplication>
#include <QDir>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono;

namespace {

// The child: a paced simulated ESC known to the demo catalogue. It writes its
// pseudo-terminal's path to the pipe and plays the device until killed.
[[noreturn]] void RunSimulatedEsc(int pathPipe) {
    devicesim::DeviceSimulator cable;
    cable.SetPaced(true);
    devicesim::SimulatedDevice esc(devicesim::SimulatedDevice::Kind::Esc);
    esc.SetIdentification({32, 45, 1, 0, 69, 83, 1, 45});
    cable.SetResponder(esc.MakeResponder());
    const QByteArray path = cable.SlavePath().toLocal8Bit() + '\n';
    if (write(pathPipe, path.constData(), path.size()) != path.size()) {
        _exit(1);
    }
    close(pathPipe);
    for (;;) {
        pause();
    }
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const int pollingSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return 1;
    }
    const pid_t simulator = fork();
    if (simulator == 0) {
        close(pipeEnds[0]);
        RunSimulatedEsc(pipeEnds[1]);
    }
    close(pipeEnds[1]);
    char buffer[256] = {};
    const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer - 1);
    close(pipeEnds[0]);
    if (got <= 0) {
        return 1;
    }
    const QString slavePath = QString::fromLocal8Bit(buffer).trimmed();

    QCoreApplication app(argc, argv);
    ProductCatalogue catalogue;
    if (catalogue.OpenCatalogue(QCoreApplication::applicationDirPath() + QLatin1Char('/')) !=
        CatalogueOpenResult::Opened) {
        std::fprintf(stderr, "no catalogue beside this program\n");
        return 1;
    }
    LinkState state;
    state.deviceMode = DeviceMode::Esc;
    FixedPortSource ports;
    ConnectionMonitor monitor(state, catalogue, ports, {});
    monitor.Start();

    // The cable appears at a moment unrelated to the monitor's rhythm.
    std::this_thread::sleep_for(milliseconds(137));
    const auto appeared = steady_clock::now();
    ports.SetEntries({SSerInfo{QStringLiteral("bench#vid_10c4&pid_ea60"), slavePath + QLatin1Char(')')}});
    while (state.connectionState != ConnectionState::Device && steady_clock::now() - appeared < seconds(10)) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    const double toIdentified = duration<double, std::milli>(steady_clock::now() - appeared).count();
    std::printf("cable appearing to device identified: %.0f ms (goal: within 700 ms), identified as %s\n",
                toIdentified, qPrintable(state.ReadIdentification().firmwareName));

    const double cpuBefore = CpuSeconds();
    const auto wallBefore = steady_clock::now();
    std::this_thread::sleep_for(seconds(pollingSeconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = duration<double>(steady_clock::now() - wallBefore).count();
    std::printf("monitor CPU while polling a connected ESC for %.0f s: %.3f%% of one core (goal: under 0.2%%)\n",
                wall, 100.0 * cpu / wall);
    std::printf("still identified: %s\n", state.connectionState == ConnectionState::Device ? "yes" : "no");

    monitor.Stop();
    kill(simulator, SIGKILL);
    waitpid(simulator, nullptr, 0);
    return 0;
}
