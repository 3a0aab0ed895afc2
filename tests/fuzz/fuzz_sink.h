#pragma once
// Fuzz targets read into a sink that keeps nothing; only crashes and sanitizer reports
// count. An EngineError is the expected end of a bad input.
#include "drivers/foreign_reader.h"
#include "engine/engine_error.h"

namespace varnoke::fuzz {

struct NullSink : ForeignTableSink {
    void begin(const std::vector<ForeignField>&) override {}
    void row(std::vector<Value>&) override {}
};

} // namespace varnoke::fuzz
