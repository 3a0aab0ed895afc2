#pragma once
// A reader whose reading child sends its table only once the program has drawn its
// windows: a link through it ends only if the wait for the child lets them be drawn.
// It serves the "Lotus WK4" type while it lives.
#include "drivers/child_read.h"
#include "engine/database.h"

#include <cerrno>
#include <memory>
#include <vector>

#include <unistd.h>

namespace varnoke::test {

class GatedReader final : public ForeignReader {
public:
    GatedReader() {
        if (::pipe(gate_) != 0) gate_[0] = gate_[1] = -1;
    }
    ~GatedReader() override {
        for (int fd : gate_)
            if (fd >= 0) ::close(fd);
    }
    GatedReader(const GatedReader&) = delete;
    GatedReader& operator=(const GatedReader&) = delete;

    // Lets the child send its table.
    void open() const {
        const char go = 'g';
        while (::write(gate_[1], &go, 1) < 0 && errno == EINTR) {
        }
    }

    void read(const LinkSource&, ForeignTableSink& sink) const override {
        // A bounded wait: a child never let through ends the link with an error.
        const drivers::ChildLimits limits{std::chrono::seconds(30), 64u << 20,
                                          std::chrono::seconds(30)};
        const int gate = gate_[0];
        drivers::readInChild("gated.wk4", limits,
                             [gate](ForeignTableSink& out) {
                                 char go = 0;
                                 while (::read(gate, &go, 1) < 0 && errno == EINTR) {
                                 }
                                 out.begin({{"NAME", 10, 20}});
                                 std::vector<Value> row{Value::text("Ann")};
                                 out.row(row);
                             },
                             sink, {gate});
    }

private:
    int gate_[2] = {-1, -1};
};

// Serves "Lotus WK4" links through a GatedReader for as long as it lives.
class GatedLotus {
public:
    GatedLotus() : reader_(std::make_shared<GatedReader>()) {
        Engine::instance().registerReader("Lotus WK4", reader_);
    }
    ~GatedLotus() { Engine::instance().registerReader("Lotus WK4", nullptr); }
    GatedLotus(const GatedLotus&) = delete;
    GatedLotus& operator=(const GatedLotus&) = delete;

    const GatedReader& reader() const { return *reader_; }

private:
    std::shared_ptr<GatedReader> reader_;
};

} // namespace varnoke::test
