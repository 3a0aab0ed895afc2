// Copying a foreign table: rows are written a batch at a time, one INSERT a batch, with
// each value converted to its column's type as the engine stores it.
#include "engine/table_import.h"

#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "engine/new_table.h"
#include "engine/sql_ast.h"

#include <algorithm>
#include <optional>

namespace varnoke::detail {
namespace {

// Copies a foreign table into a new local table as the reader delivers it. Rows are
// written a batch at a time, one statement a batch, bound without copying the values;
// finish() writes the last, shorter batch.
class ImportSink : public ForeignTableSink {
public:
    ImportSink(Connection& c, std::string table, std::function<void()> whileWaiting)
        : c_(c), table_(std::move(table)), whileWaiting_(std::move(whileWaiting)) {}

    void begin(const std::vector<ForeignField>& fields) override {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            ColumnInfo col;
            col.name = fields[i].name.empty() ? "Field" + std::to_string(i + 1) : fields[i].name;
            col.type = {fields[i].type, fields[i].size};
            if (col.type.code == fieldtype::Text && (col.type.size <= 0 || col.type.size > 255))
                col.type.size = col.type.size > 255 ? 0 : 255;
            if (col.type.code == fieldtype::Text && col.type.size == 0)
                col.type = {fieldtype::Memo, 0};
            if (col.type.code != fieldtype::Text) col.type.size = defaultFieldSize(col.type.code);
            cols_.push_back(std::move(col));
        }
        if (cols_.empty())
            throw EngineError(err::ExternalFormat, "External table isn't in the expected format.");
        const std::string defs = newTableColumns(cols_);
        std::string names;
        for (std::size_t i = 0; i < cols_.size(); ++i)
            names += (i ? ", " : "") + quoteName(cols_[i].name);
        c_.exec("CREATE TABLE main." + quoteName(table_) + " (" + defs + ")");
        insertHead_ = "INSERT INTO main." + quoteName(table_) + " (" + names + ") VALUES ";
        const auto limit = static_cast<std::size_t>(
            std::max(1, sqlite3_limit(c_.handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1)));
        batchRows_ = std::clamp<std::size_t>(limit / cols_.size(), 1, kBatchRows);
        batch_.resize(batchRows_ * cols_.size());
        begun_ = true;
    }

    void row(std::vector<Value>& values) override {
        Value* slot = &batch_[filled_ * cols_.size()];
        for (std::size_t i = 0; i < cols_.size(); ++i) {
            if (i >= values.size()) {
                slot[i] = Value::null();
                continue;
            }
            Value& v = values[i];
            const ColumnInfo& col = cols_[i];
            slot[i] = storesAsIs(v, col.type) ? std::move(v) : storeValue(v, col.type, col.name);
        }
        if (++filled_ == batchRows_) write();
    }

    void chose(std::string_view table) override { chosen_ = table; }
    const std::string& chosen() const { return chosen_; }

    void waiting() override {
        if (whileWaiting_) whileWaiting_();
    }

    void finish() {
        if (filled_ > 0) write();
    }

    bool begun() const { return begun_; }

private:
    static constexpr std::size_t kBatchRows = 64;

    void write() {
        if (!full_ && filled_ == batchRows_) full_.emplace(c_.prepare(insertSql(batchRows_)));
        auto once = filled_ == batchRows_ ? std::optional<Stmt>()
                                          : std::optional<Stmt>(c_.prepare(insertSql(filled_)));
        Stmt& st = once ? *once : *full_;
        const std::size_t count = filled_ * cols_.size();
        for (std::size_t i = 0; i < count; ++i)
            bindValue(st.get(), static_cast<int>(i + 1), batch_[i], true);
        filled_ = 0;
        st.run();
        sqlite3_reset(st.get());
    }

    std::string insertSql(std::size_t rows) const {
        std::string sqlText = insertHead_;
        int param = 0;
        for (std::size_t r = 0; r < rows; ++r) {
            sqlText += r ? ", (" : "(";
            for (std::size_t i = 0; i < cols_.size(); ++i)
                sqlText += (i ? ", ?" : "?") + std::to_string(++param);
            sqlText += ")";
        }
        return sqlText;
    }

    Connection& c_;
    std::string table_;
    std::function<void()> whileWaiting_;
    std::vector<ColumnInfo> cols_;
    std::string insertHead_;
    std::size_t batchRows_ = 1;
    std::vector<Value> batch_; // batchRows_ rows of values, filled_ of them waiting
    std::size_t filled_ = 0;
    std::optional<Stmt> full_;
    bool begun_ = false;
    std::string chosen_;
};

} // namespace

std::string importForeignTable(Connection& c, const std::string& table, const ForeignReader& reader,
                               const LinkSource& source,
                               const std::function<void()>& whileWaiting) {
    ImportSink sink(c, table, whileWaiting);
    reader.read(source, sink);
    sink.finish();
    if (!sink.begun())
        throw EngineError(err::ExternalFormat, "External table isn't in the expected format.");
    return sink.chosen();
}

} // namespace varnoke::detail
