#include "CSerialPort.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr short HangUpEvents = POLLHUP | POLLERR | POLLNVAL;

int FdOf(std::intptr_t handle) {
    return static_cast<int>(handle);
}

// Raw 8N1 at the link's speed. Flow control stays off in both directions: the
// protocols send 0x11 and 0x13 as ordinary data. CLOCAL keeps the missing
// modem lines of the cable from blocking or hanging up the port.
bool ConfigureLine(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    // VMIN 1 with a non-blocking descriptor: an empty queue reads as EAGAIN,
    // so a read of 0 bytes can only mean the device is gone.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, B19200) != 0 || cfsetospeed(&settings, B19200) != 0) {
        return false;
    }
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

timespec ToTimespec(Clock::duration duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

enum class WaitResult { Ready, TimedOut, HungUp };

// Waits for events on fd until the deadline (none: no limit). A hang-up or an
// error on the descriptor ends the wait at once.
WaitResult WaitFor(int fd, short events, const Clock::time_point* deadline) {
    for (;;) {
        timespec limit{};
        const timespec* limitPointer = nullptr;
        if (deadline != nullptr) {
            const auto remaining = *deadline - Clock::now();
            if (remaining <= Clock::duration::zero()) {
                return WaitResult::TimedOut;
            }
            limit = ToTimespec(remaining);
            limitPointer = &limit;
        }
        pollfd watched{fd, events, 0};
        const int result = ppoll(&watched, 1, limitPointer, nullptr);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            return WaitResult::HungUp;
        }
        if (result == 0) {
            continue; // the deadline check above decides
        }
        if ((watched.revents & events) != 0) {
            return WaitResult::Ready;
        }
        if ((watched.revents & HangUpEvents) != 0) {
            return WaitResult::HungUp;
        }
    }
}

} // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    Close();
}

QString CSerialPort::DeviceNameFor(const QString& comName) {
    if (comName.startsWith(QLatin1Char('/'))) {
        return comName;
    }
    return QStringLiteral("/dev/") + comName;
}

bool CSerialPort::Open(const QString& comName) {
    if (IsOpen()) {
        return false;
    }
    const QByteArray path = DeviceNameFor(comName).toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // The lock keeps out every other opener, root included; TIOCEXCL alone
    // would not.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    portHandle = fd;
    if (ioctl(fd, TIOCEXCL) != 0 || !ConfigureLine(fd)) {
        Close();
        return false;
    }
    // Whatever waited on the line belongs to nobody now.
    Purge();
    return true;
}

void CSerialPort::Close() {
    if (!IsOpen()) {
        return;
    }
    const int fd = FdOf(portHandle);
    // Exclusive mode outlives the descriptor on some terminals (a
    // pseudo-terminal kept open elsewhere); clear it so the port can be
    // opened again.
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    ::close(fd);
    portHandle = InvalidHandle;
}

bool CSerialPort::IsOpen() const {
    return portHandle != InvalidHandle;
}

bool CSerialPort::Purge() {
    if (!IsOpen()) {
        return false;
    }
    return tcflush(FdOf(portHandle), TCIOFLUSH) == 0;
}

bool CSerialPort::Read(std::uint8_t* destination, std::uint8_t count, int timeoutMs) {
    if (!IsOpen()) {
        return false;
    }
    const int fd = FdOf(portHandle);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t received = 0;
    while (received < count) {
        const ssize_t result = ::read(fd, destination + received, count - received);
        if (result > 0) {
            received += static_cast<std::size_t>(result);
            continue;
        }
        if (result == 0) {
            return false; // the device is gone
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return false; // EIO: the cable was pulled
        }
        if (WaitFor(fd, POLLIN, &deadline) != WaitResult::Ready) {
            return false;
        }
    }
    return true;
}

bool CSerialPort::Write(const std::uint8_t* source, std::uint8_t count) {
    if (!IsOpen()) {
        return false;
    }
    const int fd = FdOf(portHandle);
    std::size_t written = 0;
    while (written < count) {
        const ssize_t result = ::write(fd, source + written, count - written);
        if (result > 0) {
            written += static_cast<std::size_t>(result);
            continue;
        }
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        if (WaitFor(fd, POLLOUT, nullptr) != WaitResult::Ready) {
            return false;
        }
    }
    return true;
}

bool CSerialPort::SendCommand(std::uint8_t command) {
    if (!Purge()) {
        return false;
    }
    if (!Write(&command, 1)) {
        return false;
    }
    return Read(rxBuffer.data(), 1, EchoTimeoutMs);
}
