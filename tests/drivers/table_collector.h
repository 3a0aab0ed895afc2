#pragma once
// A sink that keeps what a reader sends, and the reading of one linked table.
#include "drivers/foreign_reader.h"
#include "engine/engine_error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnoke::test {

struct Table : ForeignTableSink {
    std::vector<ForeignField> fields;
    std::vector<std::vector<Value>> rows;
    void begin(const std::vector<ForeignField>& f) override { fields = f; }
    void row(std::vector<Value>& values) override {
        EXPECT_EQ(values.size(), fields.size()) << "a row must have one value a field";
        rows.push_back(values);
    }
};

// Reads through the registry, as the engine does when it links a table.
inline Table readLinked(const std::string& connect, const std::string& sourceTable) {
    const auto* reader = findReader(connect);
    if (!reader) throw EngineError(3170, "no reader for " + connect);
    const auto at = connect.find("DATABASE=");
    const LinkSource source{connect, at == std::string::npos ? "" : connect.substr(at + 9),
                            sourceTable};
    Table table;
    reader->read(source, table);
    return table;
}

} // namespace varnoke::test
