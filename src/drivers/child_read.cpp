#include "drivers/child_read.h"

#include "drivers/reader_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <string>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace varnoke::drivers {

namespace {

// The pipe carries messages: a kind letter, a 32-bit length and that many bytes.
enum Message : char { Begin = 'B', Row = 'R', Failure = 'E', Done = 'D' };

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

// The child's end: each call becomes a message.
class PipeSink final : public ForeignTableSink {
public:
    explicit PipeSink(int fd) : fd_(fd) {}

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
        body_.clear();
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
        sendMessage(fd_, Row, body_);
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
        return Value::currency(static_cast<double>(static_cast<std::int64_t>(d.u64())) / 10000.0);
    case Value::Kind::Date:
        return Value::date(d.real());
    case Value::Kind::Text:
        return Value::text(d.text());
    }
    throw EngineError(err::ExternalFormat, "The reading process sent a damaged table.");
}

// Pages of address space the process holds now.
std::size_t addressSpaceNow() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

[[noreturn]] void runChild(int fd, const ChildLimits& limits,
                           const std::function<void(ForeignTableSink&)>& read) {
    std::signal(SIGPIPE, SIG_IGN);
    // The library's own messages are no business of the user's terminal.
    if (const int null = ::open("/dev/null", O_RDWR); null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        if (null > STDERR_FILENO) ::close(null);
    }
    const rlimit memory{addressSpaceNow() + limits.memory, addressSpaceNow() + limits.memory};
    ::setrlimit(RLIMIT_AS, &memory);
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

struct Child {
    pid_t pid = -1;
    int fd = -1;

    ~Child() {
        if (fd >= 0) ::close(fd);
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }

    // How the child ended; -1 while it runs.
    int wait() {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }
};

} // namespace

ChildLimits limitsForFile(std::size_t fileSize) {
    constexpr std::size_t MiB = 1024 * 1024;
    const std::size_t megabytes = fileSize / MiB;
    return {std::chrono::milliseconds(1000 + 1000 * static_cast<long long>(megabytes)),
            std::min<std::size_t>(128 * MiB + 16 * fileSize, 4096 * MiB)};
}

void readInChild(std::string_view fileName, const ChildLimits& limits,
                 const std::function<void(ForeignTableSink&)>& read, ForeignTableSink& sink) {
    const std::string name(fileName);
    auto failed = [&](const std::string& why) { throwBadFormat(name, why); };
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw EngineError(err::CannotOpen, "Varnoke cannot start reading '" + name + "'.");
    Child child;
    child.pid = ::fork();
    if (child.pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw EngineError(err::CannotOpen, "Varnoke cannot start reading '" + name + "'.");
    }
    if (child.pid == 0) {
        ::close(fds[0]);
        runChild(fds[1], limits, read);
    }
    ::close(fds[1]);
    child.fd = fds[0];

    std::string pending;
    std::vector<char> chunk(64 * 1024);
    std::vector<Value> values;
    bool done = false;
    for (;;) {
        pollfd p{child.fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(limits.time.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.1f",
                          static_cast<double>(limits.time.count()) / 1000.0);
            failed("reading it took longer than " + std::string(seconds) +
                   " seconds (the file may be damaged)");
        }
        const ssize_t got = ::read(child.fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(chunk.data(), static_cast<std::size_t>(got));
        std::size_t at = 0;
        while (pending.size() - at >= 5) {
            Decoder head(std::string_view(pending).substr(at + 1, 4));
            const std::uint32_t length = head.u32();
            if (pending.size() - at - 5 < length) break;
            const char kind = pending[at];
            Decoder body(std::string_view(pending).substr(at + 5, length));
            at += 5 + length;
            if (kind == Begin) {
                std::vector<ForeignField> fields(body.u32());
                for (auto& f : fields) {
                    f.name = body.text();
                    f.type = static_cast<int>(body.u32());
                    f.size = static_cast<int>(body.u32());
                }
                sink.begin(fields);
            } else if (kind == Row) {
                values.resize(body.u32());
                for (auto& v : values)
                    v = valueFrom(body);
                sink.row(values);
            } else if (kind == Failure) {
                const auto number = static_cast<int>(body.u32());
                const std::string text = body.text();
                if (number == -1) failed("reading it needs more memory than Varnoke allows");
                if (number < 0) failed("it could not be read");
                throw EngineError(number, text);
            } else if (kind == Done) {
                done = true;
            }
        }
        pending.erase(0, at);
    }
    const int status = child.wait();
    if (done) return;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
        failed("reading it took too long (the file may be damaged)");
    // A child that runs out of memory inside the library may die of it.
    failed("the library reading it failed (the file may be damaged)");
}

} // namespace varnoke::drivers
