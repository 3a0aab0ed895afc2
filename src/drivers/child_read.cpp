#include "drivers/child_read.h"

#include "drivers/reader_support.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace varnoke::drivers {

namespace {

// The pipe carries messages: a kind letter, a 32-bit length and that many bytes.
enum Message : char { Chose = 'T', Begin = 'B', Row = 'R', Failure = 'E', Done = 'D' };

// The longest message taken from the child: a row of long memos and pictures.
constexpr std::uint32_t kMaxMessage = 64u * 1024 * 1024;

void putU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
}

void putU64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
}

void putText(std::string& out, std::string_view text) {
    putU32(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

void putDouble(std::string& out, double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    putU64(out, bits);
}

class Decoder {
public:
    explicit Decoder(std::string_view data) : data_(data) {}

    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t{byte()} << (8 * i);
        return v;
    }
    std::uint64_t u64() {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= std::uint64_t{byte()} << (8 * i);
        return v;
    }
    double real() {
        const std::uint64_t bits = u64();
        double d = 0;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    std::string text() {
        const std::uint32_t n = u32();
        if (n > data_.size() - at_) broken();
        std::string s(data_.substr(at_, n));
        at_ += n;
        return s;
    }
    // A count of items of at least itemBytes each that are still to come, at most most.
    std::size_t count(std::size_t itemBytes, std::size_t most) {
        const std::uint32_t n = u32();
        if (n > most || n > (data_.size() - at_) / itemBytes) broken();
        return n;
    }
    std::uint8_t byte() {
        if (at_ >= data_.size()) broken();
        return static_cast<std::uint8_t>(data_[at_++]);
    }

private:
    [[noreturn]] static void broken() {
        throw EngineError(err::ExternalFormat, "The reading process sent a damaged table.");
    }
    std::string_view data_;
    std::size_t at_ = 0;
};

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ::_exit(3); // the parent went away
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void sendMessage(int fd, Message kind, const std::string& body) {
    std::string head(1, static_cast<char>(kind));
    putU32(head, static_cast<std::uint32_t>(body.size()));
    writeAll(fd, head);
    writeAll(fd, body);
}

// A message's head takes this much room before its body.
constexpr std::size_t kHeadBytes = 5;

// Sends a message built behind kHeadBytes of room in one write: the pipe's reader
// wakes once a message, not once for its head and again for its body.
void sendBuilt(int fd, Message kind, std::string& built) {
    const auto length = static_cast<std::uint32_t>(built.size() - kHeadBytes);
    built[0] = static_cast<char>(kind);
    for (int i = 0; i < 4; ++i)
        built[1 + i] = static_cast<char>(length >> (8 * i) & 0xFF);
    writeAll(fd, built);
}

// The child's end: each call becomes a message.
class PipeSink final : public ForeignTableSink {
public:
    explicit PipeSink(int fd) : fd_(fd) {}

    void chose(std::string_view table) override {
        std::string body;
        putText(body, table);
        sendMessage(fd_, Chose, body);
    }

    void begin(const std::vector<ForeignField>& fields) override {
        std::string body;
        putU32(body, static_cast<std::uint32_t>(fields.size()));
        for (const auto& f : fields) {
            putText(body, f.name);
            putU32(body, static_cast<std::uint32_t>(f.type));
            putU32(body, static_cast<std::uint32_t>(f.size));
        }
        sendMessage(fd_, Begin, body);
    }

    void row(std::vector<Value>& values) override {
        body_.assign(kHeadBytes, '\0');
        putU32(body_, static_cast<std::uint32_t>(values.size()));
        for (const auto& v : values) {
            body_ += static_cast<char>(v.kind());
            switch (v.kind()) {
            case Value::Kind::Boolean:
                body_ += static_cast<char>(v.asBoolean());
                break;
            case Value::Kind::Number:
                putDouble(body_, v.asNumber());
                break;
            case Value::Kind::Currency:
                putU64(body_, static_cast<std::uint64_t>(v.asCurrency().tenThousandths));
                break;
            case Value::Kind::Date:
                putDouble(body_, v.asDateSerial());
                break;
            case Value::Kind::Text:
                putText(body_, v.asText());
                break;
            default:
                break;
            }
        }
        sendBuilt(fd_, Row, body_);
    }

private:
    int fd_;
    std::string body_;
};

Value valueFrom(Decoder& d) {
    switch (static_cast<Value::Kind>(d.byte())) {
    case Value::Kind::Empty:
        return {};
    case Value::Kind::Null:
        return Value::null();
    case Value::Kind::Boolean:
        return Value::boolean(d.byte() != 0);
    case Value::Kind::Number:
        return Value::number(d.real());
    case Value::Kind::Currency:
        return Value::currency(Currency{static_cast<std::int64_t>(d.u64())});
    case Value::Kind::Date:
        return Value::date(d.real());
    case Value::Kind::Text:
        return Value::text(d.text());
    }
    throw EngineError(err::ExternalFormat, "The reading process sent a damaged table.");
}

// Pages of address space the process holds now.
std::size_t addressSpaceNow() {
    char text[128] = {};
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    std::size_t pages = 0;
    if (got > 0) std::from_chars(text, text + got, pages);
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// Closes the descriptors from first to last; one by one where the kernel cannot.
void closeRange(unsigned first, unsigned last) {
    if (::close_range(first, last, 0) == 0) return;
    const long open = ::sysconf(_SC_OPEN_MAX);
    const unsigned end = std::min(last, open > 0 ? static_cast<unsigned>(open - 1) : 1023u);
    for (unsigned fd = first; fd <= end; ++fd)
        ::close(static_cast<int>(fd));
}

// Closes every descriptor of the process but stdin, stdout, stderr and those in keep.
void closeAllBut(std::vector<int> keep) {
    keep.insert(keep.end(), {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO});
    std::sort(keep.begin(), keep.end());
    unsigned from = 0;
    for (const int fd : keep) {
        if (fd < 0) continue;
        const auto kept = static_cast<unsigned>(fd);
        if (kept > from) closeRange(from, kept - 1);
        from = std::max(from, kept + 1);
    }
    closeRange(from, ~0u);
}

// What a library writes to stderr when an allocation fails (GLib's words), kept from
// the end of its messages.
constexpr std::string_view kFailedAllocation = "failed to allocate";

// A library may catch a failed allocation and report only that it could not read the
// file; the child says first, where the parent reads it, that memory ran out.
void tellFailedAllocation() {
    constexpr std::string_view text = "Varnoke: failed to allocate memory\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, text.data(), text.size());
    throw std::bad_alloc();
}

[[noreturn]] void runChild(pid_t parent, int fd, int chatter, const ChildLimits& limits,
                           const std::function<void(ForeignTableSink&)>& read,
                           std::initializer_list<int> keep) {
    // The child ends with the program, however the program ends; a parent that ended
    // before the request was made is seen by the parent's id having changed.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(4);
    // Nothing of the program's stays open here: not the pipes' read ends, which would
    // keep a write to a parent that went away waiting for good, nor the working
    // database's file.
    std::vector<int> kept(keep);
    kept.insert(kept.end(), {fd, chatter});
    closeAllBut(std::move(kept));
    std::signal(SIGPIPE, SIG_IGN);
    // The library's own messages are no business of the user's terminal; what it
    // writes to stderr goes to the parent, which reads a failed allocation there.
    if (const int null = ::open("/dev/null", O_RDWR); null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        if (null > STDERR_FILENO) ::close(null);
    }
    ::dup2(chatter, STDERR_FILENO);
    if (chatter != STDERR_FILENO) ::close(chatter);
    const rlimit memory{addressSpaceNow() + limits.memory, addressSpaceNow() + limits.memory};
    ::setrlimit(RLIMIT_AS, &memory);
    std::set_new_handler(tellFailedAllocation);
    // Processor time never exceeds the time the whole read may take; past it the
    // kernel sends SIGXCPU, and a second later kills the child outright.
    const auto seconds =
        static_cast<rlim_t>(std::chrono::ceil<std::chrono::seconds>(limits.total).count());
    const rlimit cpu{seconds, seconds + 1};
    ::setrlimit(RLIMIT_CPU, &cpu);
    std::string failure;
    int number = err::ExternalFormat;
    try {
        PipeSink sink(fd);
        read(sink);
        sendMessage(fd, Done, {});
        ::_exit(0);
    } catch (const EngineError& e) {
        number = e.number();
        failure = e.what();
    } catch (const std::bad_alloc&) {
        failure.clear(); // told apart below, with no room to build a text here
        number = -1;
    } catch (...) {
        number = -2;
    }
    std::string body;
    putU32(body, static_cast<std::uint32_t>(number));
    putText(body, failure);
    sendMessage(fd, Failure, body);
    ::_exit(0);
}

struct Pipe {
    int read = -1;
    int write = -1;
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    void closeRead() {
        if (read >= 0) ::close(std::exchange(read, -1));
    }
    void closeWrite() {
        if (write >= 0) ::close(std::exchange(write, -1));
    }
};

struct Child {
    pid_t pid = -1;

    ~Child() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            wait();
        }
    }

    int wait() {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }

    // Processor time the child has used so far, from /proc; nullopt where it cannot be
    // read. Read after every piece of the table, so without a stream's cost.
    std::optional<std::chrono::milliseconds> processorTime() const {
        char path[40];
        std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return std::nullopt;
        char stat[1024];
        ssize_t got = 0;
        do {
            got = ::read(fd, stat, sizeof stat - 1);
        } while (got < 0 && errno == EINTR);
        ::close(fd);
        if (got <= 0) return std::nullopt;
        const std::string_view text(stat, static_cast<std::size_t>(got));
        // The name in parentheses may hold blanks; utime and stime are the 12th and 13th
        // fields after it.
        const auto close = text.rfind(')');
        if (close == std::string_view::npos) return std::nullopt;
        const char* at = text.data() + close + 1;
        const char* const end = text.data() + text.size();
        auto field = [&](unsigned long long& value) {
            while (at < end && *at == ' ')
                ++at;
            const auto [next, ec] = std::from_chars(at, end, value);
            if (ec != std::errc{}) {
                // a field that is no number (the state letter) is passed over whole
                while (at < end && *at != ' ')
                    ++at;
                return false;
            }
            at = next;
            return true;
        };
        unsigned long long value = 0;
        for (int i = 0; i < 11; ++i)
            field(value);
        unsigned long long user = 0, system = 0;
        if (!field(user) || !field(system)) return std::nullopt;
        const long ticks = ::sysconf(_SC_CLK_TCK);
        if (ticks <= 0) return std::nullopt;
        return std::chrono::milliseconds((user + system) * 1000 /
                                         static_cast<unsigned long long>(ticks));
    }
};

constexpr std::size_t kChatterKept = 4096;

// Reads what is there; false at the end. Keeps only the end of a long text.
bool drain(int fd, std::string& kept) {
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) return errno == EINTR;
    if (got == 0) return false;
    kept.append(buffer, static_cast<std::size_t>(got));
    if (kept.size() > 2 * kChatterKept) kept.erase(0, kept.size() - kChatterKept);
    return true;
}

constexpr const char* kNeedsMoreMemory = "reading it needs more memory than Varnoke allows";

// The parent's end: decodes the child's messages and hands them to the sink.
class Receiver {
public:
    // ranOutOfMemory tells whether the child said an allocation failed.
    Receiver(ForeignTableSink& sink, const ChildLimits& limits,
             std::function<void(const std::string&)> failed, std::function<bool()> ranOutOfMemory)
        : sink_(sink), limits_(limits), failed_(std::move(failed)),
          ranOutOfMemory_(std::move(ranOutOfMemory)) {}

    // Takes the whole messages at the front of pending; true once Done arrived.
    bool take(std::string& pending) {
        std::size_t at = 0;
        while (pending.size() - at >= 5) {
            Decoder head(std::string_view(pending).substr(at + 1, 4));
            const std::uint32_t length = head.u32();
            if (length > kMaxMessage)
                failed_("the reading process sent a row larger than " +
                        std::to_string(kMaxMessage / (1024 * 1024)) + " MB");
            if (pending.size() - at - 5 < length) break;
            const char kind = pending[at];
            Decoder body(std::string_view(pending).substr(at + 5, length));
            at += 5 + length;
            handle(kind, body);
        }
        pending.erase(0, at);
        return done_;
    }

private:
    void handle(char kind, Decoder& body) {
        if (kind == Chose) {
            sink_.chose(body.text());
        } else if (kind == Begin) {
            std::vector<ForeignField> fields(body.count(12, kMaxTableFields));
            for (auto& f : fields) {
                f.name = body.text();
                f.type = static_cast<int>(body.u32());
                f.size = static_cast<int>(body.u32());
            }
            sink_.begin(fields);
        } else if (kind == Row) {
            if (++rows_ > limits_.rows)
                failed_("it sent more than " + std::to_string(limits_.rows) +
                        " rows, more than a file of its size holds");
            values_.resize(body.count(1, kMaxTableFields));
            for (auto& v : values_)
                v = valueFrom(body);
            sink_.row(values_);
        } else if (kind == Failure) {
            const auto number = static_cast<int>(body.u32());
            const std::string text = body.text();
            // The reader's own words about a file the library gave up on are not the
            // reason when the library gave up for want of memory.
            if (number == -1 || ranOutOfMemory_()) failed_(kNeedsMoreMemory);
            if (number < 0) failed_("it could not be read");
            throw EngineError(number, text);
        } else if (kind == Done) {
            done_ = true;
        }
    }

    ForeignTableSink& sink_;
    const ChildLimits& limits_;
    std::function<void(const std::string&)> failed_;
    std::function<bool()> ranOutOfMemory_;
    std::vector<Value> values_;
    std::size_t rows_ = 0;
    bool done_ = false;
};

} // namespace

ChildLimits limitsForFile(std::size_t fileSize, std::size_t cells) {
    constexpr std::size_t MiB = 1024 * 1024;
    // Under AddressSanitizer the child runs several times slower than in a user's build.
#ifdef __SANITIZE_ADDRESS__
    constexpr long long slowdown = 4;
#else
    constexpr long long slowdown = 1;
#endif
    const auto megabytes = static_cast<long long>(fileSize / MiB);
    // libwps keeps about 600 bytes a cell and ours 150 more while it reads, and takes
    // up to 9 microseconds of processor time for one: twice the room and five times the
    // time leave a slower machine its margin.
    constexpr std::size_t kCellRoom = 2048;
    constexpr long long kCellMicroseconds = 50;
    const auto cellTime = std::chrono::milliseconds(
        slowdown * static_cast<long long>(std::min<std::size_t>(cells, 1u << 30)) *
        kCellMicroseconds / 1000);
    const std::size_t memory =
        128 * MiB + 16 * fileSize + kCellRoom * std::min<std::size_t>(cells, 1u << 30);
    // A row takes at least a byte of its file; a worksheet may leave a million rows
    // empty between two cells.
    return {std::chrono::milliseconds(slowdown * (1000 + 1000 * megabytes)) + cellTime,
            std::min<std::size_t>(memory, 4096 * MiB),
            std::chrono::milliseconds(slowdown * (10'000 + 2000 * megabytes)) + 2 * cellTime,
            (1u << 20) + fileSize};
}

void readInChild(std::string_view fileName, const ChildLimits& limits,
                 const std::function<void(ForeignTableSink&)>& read, ForeignTableSink& sink,
                 std::initializer_list<int> keep) {
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    const std::string name(fileName);
    auto failed = [&](const std::string& why) { throwBadFormat(name, why); };
    auto cannotStart = [&] {
        throw EngineError(err::CannotOpen, "Varnoke cannot start reading '" + name + "'.");
    };
    Pipe data, chatter;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) cannotStart();
    data.read = fds[0];
    data.write = fds[1];
    if (::pipe2(fds, O_CLOEXEC) != 0) cannotStart();
    chatter.read = fds[0];
    chatter.write = fds[1];
    const pid_t parent = ::getpid();
    Child child;
    // The child of a program with other threads may meet locks that those threads held
    // at the fork, and stay in them. It takes only these: malloc's and stdio's, which
    // glibc's fork() hands over unlocked, and the reader's library, which has no lock
    // another thread of this program could hold (nothing else of it runs here before
    // the link). Should one wait all the same, the time limit ends it, and its message
    // says the reading took too long, not that the file is damaged.
    // The child's end-with-its-parent follows the thread that forks it: this one, which
    // waits here until the child has ended.
    child.pid = ::fork();
    if (child.pid < 0) cannotStart();
    if (child.pid == 0) runChild(parent, data.write, chatter.write, limits, read, keep);
    data.closeWrite();
    chatter.closeWrite();

    auto tookTooLong = [&](milliseconds limit, std::string_view what) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(limit.count()) / 1000.0);
        failed("reading it took longer than " + std::string(seconds) + " seconds" +
               std::string(what) + " (the file may be damaged)");
    };
    std::string messages;
    // What the child wrote to stderr before it wrote what is read now is there to read
    // now.
    auto saidOutOfMemory = [&] {
        for (pollfd q{chatter.read, POLLIN, 0}; chatter.read >= 0 && ::poll(&q, 1, 0) > 0;)
            if (!drain(chatter.read, messages)) break;
        return messages.find(kFailedAllocation) != std::string::npos;
    };
    Receiver receiver(sink, limits, failed, saidOutOfMemory);
    const auto deadline = Clock::now() + limits.total;
    auto lastPiece = Clock::now(); // time the sink spends storing does not count
    auto busyAtPiece = child.processorTime();
    // The sink is told this often that the read waits, also while rows keep coming, so
    // the program's windows are drawn during a long read.
    constexpr milliseconds kWaitingEvery{50};
    auto nextWaiting = Clock::now() + kWaitingEvery;
    std::string pending;
    std::vector<char> chunk(64 * 1024);
    bool done = false;
    for (;;) {
        if (Clock::now() >= nextWaiting) {
            sink.waiting();
            nextWaiting = Clock::now() + kWaitingEvery;
        }
        const auto now = Clock::now();
        const auto left = std::chrono::ceil<milliseconds>(deadline - now);
        if (left.count() <= 0) tookTooLong(limits.total, " in all");
        const auto quiet = std::chrono::ceil<milliseconds>(lastPiece + limits.time - now);
        if (quiet.count() <= 0) {
            // On a busy machine the child may wait long for a processor: only the time it
            // spent reading counts, so a sound file is not refused for the machine's load.
            // A child that does not read at all is ended by the whole read's deadline.
            const auto busyNow = child.processorTime();
            if (!busyAtPiece || !busyNow || *busyNow - *busyAtPiece >= limits.time)
                tookTooLong(limits.time, " without sending a row");
            lastPiece = now - (*busyNow - *busyAtPiece);
            continue;
        }
        pollfd p[2]{{data.read, POLLIN, 0}, {chatter.read, POLLIN, 0}};
        const auto untilWaiting = std::chrono::ceil<milliseconds>(nextWaiting - now);
        const auto timeout = std::max(std::min({quiet, left, untilWaiting}), milliseconds(0));
        const int ready = ::poll(p, chatter.read >= 0 ? 2 : 1, static_cast<int>(timeout.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue; // the limits above decide
        if (chatter.read >= 0 && p[1].revents != 0 && !drain(chatter.read, messages))
            chatter.closeRead();
        if (p[0].revents == 0) continue;
        const ssize_t got = ::read(data.read, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(chunk.data(), static_cast<std::size_t>(got));
        done = receiver.take(pending);
        lastPiece = Clock::now();
        busyAtPiece = child.processorTime();
    }
    const int status = child.wait();
    if (done) return;
    // A library that cannot allocate says so before it aborts.
    if (saidOutOfMemory()) failed(kNeedsMoreMemory);
    if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL))
        tookTooLong(limits.total, " of processor time");
    // A child that runs out of memory inside the library may die of it.
    failed("the library reading it failed (the file may be damaged)");
}

} // namespace varnoke::drivers
