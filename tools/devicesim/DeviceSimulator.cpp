#include "DeviceSimulator.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace devicesim {

namespace {

using Clock = std::chrono::steady_clock;

// One start bit, eight data bits and one stop bit at 19200 baud.
constexpr std::int64_t BitsPerByte = 10;
constexpr std::int64_t BaudRate = 19200;

// When the bytes handed to the line have left it, at the real pace. The times
// are counted from the start of the current burst, so rounding and late
// wake-ups never add up over a long transfer.
class PacedLine {
public:
    // When a byte that is ready at `ready` has been sent completely.
    Clock::time_point FinishOf(Clock::time_point ready) const {
        if (ready >= Free()) {
            return ready + DurationOf(1);
        }
        return burstStart + DurationOf(bytesInBurst + 1);
    }
    void Send(Clock::time_point ready) {
        if (ready >= Free()) {
            burstStart = ready;
            bytesInBurst = 0;
        }
        ++bytesInBurst;
    }

private:
    Clock::time_point Free() const { return burstStart + DurationOf(bytesInBurst); }
    static Clock::duration DurationOf(std::int64_t bytes) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(bytes * BitsPerByte * 1'000'000'000 / BaudRate));
    }

    Clock::time_point burstStart{};
    std::int64_t bytesInBurst = 0;
};

// One byte waiting to go out, with the device's answer that follows it once it
// has left (the reply to a byte starts after that byte's echo).
struct Outgoing {
    std::uint8_t byte = 0;
    std::optional<Reply> followUp;
};

// Bytes in the order they may leave: by the time they are ready, then by the
// order they were queued.
class OutputQueue {
public:
    void Add(Clock::time_point ready, std::uint8_t byte, std::optional<Reply> followUp = std::nullopt) {
        entries.emplace(Key{ready, nextOrder++}, Outgoing{byte, std::move(followUp)});
    }
    void AddReply(Clock::time_point from, const Reply& reply) {
        for (std::uint8_t byte : reply.bytes) {
            Add(from + reply.delay, byte);
        }
    }
    bool Empty() const { return entries.empty(); }
    Clock::time_point FirstReady() const { return entries.begin()->first.first; }
    Outgoing TakeFirst() {
        auto first = entries.begin();
        Outgoing taken = std::move(first->second);
        entries.erase(first);
        return taken;
    }

private:
    using Key = std::pair<Clock::time_point, std::uint64_t>;
    std::map<Key, Outgoing> entries;
    std::uint64_t nextOrder = 0;
};

timespec ToTimespec(Clock::duration duration) {
    if (duration < Clock::duration::zero()) {
        duration = Clock::duration::zero();
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

struct DeviceSimulator::Impl {
    int master = -1;
    // Held for the simulator's whole life: the terminal keeps its settings
    // while the program has the port closed, and the master never sees a
    // hang-up then.
    int keptSlave = -1;
    int wakeUp = -1;
    QString slavePath;
    std::thread thread;

    std::atomic<bool> echo{true};
    std::atomic<bool> paced{false};

    mutable std::mutex mutex;
    mutable std::condition_variable receivedGrew;
    std::vector<std::uint8_t> received;
    std::shared_ptr<const Responder> responder;
    std::vector<std::uint8_t> injected;
    bool stopping = false;

    // Owned by the simulator's thread alone.
    OutputQueue output;
    PacedLine line;
    std::vector<std::uint8_t> unsent;
    bool masterBroken = false;

    bool Create();
    void Start();
    void Stop();
    void Wake() const;
    void Run();
    bool TakeRequests();
    void Receive(std::uint8_t byte, Clock::time_point now);
    std::optional<Clock::time_point> SendDue(Clock::time_point now);
    void Flush();
    void ReadMaster();
};

bool DeviceSimulator::Impl::Create() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        return false;
    }
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        return false;
    }
    const int flags = fcntl(master, F_GETFL);
    if (flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        return false;
    }
    keptSlave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (keptSlave < 0) {
        return false;
    }
    // A fresh terminal cooks its input (echo, CR translation, XON/XOFF); the
    // line must carry bytes untouched even before the program configures it.
    termios settings{};
    if (tcgetattr(keptSlave, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, B19200);
    cfsetospeed(&settings, B19200);
    if (tcsetattr(keptSlave, TCSANOW, &settings) != 0) {
        return false;
    }
    wakeUp = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeUp < 0) {
        return false;
    }
    slavePath = QString::fromLocal8Bit(name);
    return true;
}

void DeviceSimulator::Impl::Start() {
    thread = std::thread([this] { Run(); });
}

void DeviceSimulator::Impl::Stop() {
    if (thread.joinable()) {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        Wake();
        thread.join();
    }
    CloseIfOpen(master);
    CloseIfOpen(keptSlave);
}

void DeviceSimulator::Impl::Wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeUp, &one, sizeof one);
}

// Moves the test thread's requests over; false once the simulator stops.
bool DeviceSimulator::Impl::TakeRequests() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = ::read(wakeUp, &count, sizeof count);
    std::vector<std::uint8_t> bytes;
    {
        std::lock_guard lock(mutex);
        if (stopping) {
            return false;
        }
        bytes.swap(injected);
    }
    const auto now = Clock::now();
    for (std::uint8_t byte : bytes) {
        output.Add(now, byte);
    }
    return true;
}

void DeviceSimulator::Impl::Receive(std::uint8_t byte, Clock::time_point now) {
    std::shared_ptr<const Responder> answer;
    {
        std::lock_guard lock(mutex);
        received.push_back(byte);
        answer = responder;
    }
    receivedGrew.notify_all();
    std::optional<Reply> reply;
    if (answer && *answer) {
        reply = (*answer)(byte);
    }
    if (echo.load()) {
        output.Add(now, byte, std::move(reply));
    } else if (reply) {
        output.AddReply(now, *reply);
    }
}

// Hands over every byte whose time has come; returns when the next one is due.
std::optional<Clock::time_point> DeviceSimulator::Impl::SendDue(Clock::time_point now) {
    const bool pacedNow = paced.load();
    while (!output.Empty()) {
        const Clock::time_point ready = output.FirstReady();
        const Clock::time_point leaves = pacedNow ? line.FinishOf(ready) : ready;
        if (leaves > now) {
            return leaves;
        }
        if (pacedNow) {
            line.Send(ready);
        }
        Outgoing byte = output.TakeFirst();
        unsent.push_back(byte.byte);
        if (byte.followUp) {
            // Scheduled from when the byte was due to leave, not from when
            // this thread got round to it.
            output.AddReply(leaves, *byte.followUp);
        }
    }
    return std::nullopt;
}

void DeviceSimulator::Impl::Flush() {
    std::size_t done = 0;
    while (done < unsent.size()) {
        const ssize_t result = ::write(master, unsent.data() + done, unsent.size() - done);
        if (result > 0) {
            done += static_cast<std::size_t>(result);
        } else if (result < 0 && errno == EINTR) {
            continue;
        } else {
            break; // the terminal's input is full; POLLOUT says when to go on
        }
    }
    unsent.erase(unsent.begin(), unsent.begin() + static_cast<std::ptrdiff_t>(done));
}

void DeviceSimulator::Impl::ReadMaster() {
    std::uint8_t buffer[256];
    for (;;) {
        const ssize_t result = ::read(master, buffer, sizeof buffer);
        if (result > 0) {
            const auto now = Clock::now();
            for (ssize_t i = 0; i < result; ++i) {
                Receive(buffer[i], now);
            }
            continue;
        }
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        // Only possible if every slave descriptor were closed; stop watching
        // rather than spin on a permanent hang-up.
        masterBroken = true;
        return;
    }
}

void DeviceSimulator::Impl::Run() {
    // Paced bytes are due every 520 microseconds; the default timer slack of
    // 50 microseconds would make each wake-up late.
    prctl(PR_SET_TIMERSLACK, 1UL);
    for (;;) {
        if (!TakeRequests()) {
            return;
        }
        const std::optional<Clock::time_point> nextDue = SendDue(Clock::now());
        Flush();

        pollfd watched[2] = {{masterBroken ? -1 : master, POLLIN, 0}, {wakeUp, POLLIN, 0}};
        if (!unsent.empty()) {
            watched[0].events |= POLLOUT;
        }
        timespec limit{};
        const timespec* limitPointer = nullptr;
        // While bytes wait for the terminal to take them, POLLOUT wakes us.
        if (nextDue && unsent.empty()) {
            limit = ToTimespec(*nextDue - Clock::now());
            limitPointer = &limit;
        }
        if (ppoll(watched, 2, limitPointer, nullptr) < 0) {
            continue; // EINTR
        }
        if ((watched[0].revents & POLLIN) != 0) {
            ReadMaster();
        } else if ((watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            masterBroken = true;
        }
    }
}

DeviceSimulator::DeviceSimulator() : impl(std::make_unique<Impl>()) {
    if (impl->Create()) {
        impl->Start();
    } else {
        impl->Stop();
    }
}

DeviceSimulator::~DeviceSimulator() {
    impl->Stop();
    CloseIfOpen(impl->wakeUp);
}

bool DeviceSimulator::IsValid() const {
    return impl->master >= 0;
}

QString DeviceSimulator::SlavePath() const {
    return impl->slavePath;
}

SSerInfo DeviceSimulator::PortEntry(const QString& usbIdentifiers) const {
    const QString terminalNumber = impl->slavePath.section(QLatin1Char('/'), -1);
    SSerInfo entry;
    entry.devicePath = QStringLiteral("/sim/") + terminalNumber + QLatin1Char('#') + usbIdentifiers;
    // No "COM" in a terminal's path, so discovery takes everything up to ")".
    entry.friendlyName = impl->slavePath + QLatin1Char(')');
    return entry;
}

void DeviceSimulator::SetResponder(Responder responder) {
    auto shared = std::make_shared<const Responder>(std::move(responder));
    std::lock_guard lock(impl->mutex);
    impl->responder = std::move(shared);
}

void DeviceSimulator::SetEcho(bool on) {
    impl->echo.store(on);
}

void DeviceSimulator::SetPaced(bool on) {
    impl->paced.store(on);
    impl->Wake();
}

void DeviceSimulator::Inject(const std::vector<std::uint8_t>& bytes) {
    {
        std::lock_guard lock(impl->mutex);
        impl->injected.insert(impl->injected.end(), bytes.begin(), bytes.end());
    }
    impl->Wake();
}

void DeviceSimulator::HangUp() {
    impl->Stop();
}

std::vector<std::uint8_t> DeviceSimulator::Received() const {
    std::lock_guard lock(impl->mutex);
    return impl->received;
}

void DeviceSimulator::ClearReceived() {
    std::lock_guard lock(impl->mutex);
    impl->received.clear();
}

bool DeviceSimulator::WaitForReceived(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(impl->mutex);
    return impl->receivedGrew.wait_for(lock, limit, [&] { return impl->received.size() >= count; });
}

} // namespace devicesim
