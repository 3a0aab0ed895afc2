#include "drivers/dbf_format.h"
#include "drivers/readers.h"

#include <algorithm>

namespace varnoke::drivers {

namespace fs = std::filesystem;

namespace {

// Both files are mapped, not read: a large table is walked a window at a time.
void readDbfFile(const fs::path& file, ForeignTableSink& sink) {
    const MappedFile table(file);
    // The header says which memo format to expect; a file with the other extension is
    // still tried, since copies often lose the right one.
    const bool fpt = dbfUsesFptMemo(table.bytes());
    fs::path memoPath = findCompanion(file, fpt ? ".fpt" : ".dbt");
    if (memoPath.empty()) memoPath = findCompanion(file, fpt ? ".dbt" : ".fpt");
    std::optional<MappedFile> memo;
    if (!memoPath.empty()) memo.emplace(memoPath);
    const std::string name = fileNameOf(file);
    const std::string memoName = memoPath.empty() ? std::string() : fileNameOf(memoPath);
    std::optional<std::string> label;
    if (const fs::path cpg = findCompanion(file, ".cpg"); !cpg.empty()) {
        const Bytes bytes = readWholeFile(cpg);
        label = std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 64));
    }
    readMapped({&table, memo ? &*memo : nullptr}, [&] {
        readDbfImage({table.bytes(), memo ? std::optional<ByteSpan>(memo->bytes()) : std::nullopt,
                      name, memoName,
                      [&] {
                          table.release();
                          if (memo) memo->release();
                      },
                      label},
                     sink);
    });
}

class DbfReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        readDbfFile(findTableFile(source, {".dbf", ".DBF"}), sink);
    }
};

// A container lists tables stored in .dbf files. The link may name the container
// (its first table is read), one of its tables by name, or a table's own file.
class DbcReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const fs::path named = tryFind(source, {".dbc", ".dbf"});
        if (!named.empty() && !equalsNoCase(named.extension().string(), ".dbc")) {
            readDbfFile(named, sink);
            return;
        }
        if (!named.empty()) {
            const auto tables = containerTables(named);
            if (tables.empty())
                throw EngineError(err::TableNotFound, "The database container '" +
                                                          fileNameOf(named) + "' lists no tables.");
            readDbfFile(tableFile(named, tables.front()), sink);
            return;
        }
        // A table name: look through the folder's containers.
        const fs::path folder = source.database.empty() ? fs::path(".") : fs::path(source.database);
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (!equalsNoCase(it->path().extension().string(), ".dbc")) continue;
            for (const auto& table : containerTables(it->path()))
                if (equalsNoCase(table.name, source.sourceTable)) {
                    readDbfFile(tableFile(it->path(), table), sink);
                    return;
                }
        }
        throw EngineError(err::FileNotFound, "Could not find the table '" + source.sourceTable +
                                                 "' in '" + folder.string() + "'.");
    }

private:
    static fs::path tryFind(const LinkSource& source, std::initializer_list<std::string_view> ext) {
        try {
            return findTableFile(source, ext);
        } catch (const EngineError& e) {
            if (e.number() != err::FileNotFound) throw;
            return {};
        }
    }

    static std::vector<DbcTable> containerTables(const fs::path& container) {
        const MappedFile catalog(container);
        const fs::path memoPath = findCompanion(container, ".dct");
        std::optional<MappedFile> memo;
        if (!memoPath.empty()) memo.emplace(memoPath);
        const std::string name = fileNameOf(container);
        const std::string memoName = memoPath.empty() ? std::string() : fileNameOf(memoPath);
        std::vector<DbcTable> tables;
        readMapped({&catalog, memo ? &*memo : nullptr}, [&] {
            tables = readDbcImage({catalog.bytes(),
                                   memo ? std::optional<ByteSpan>(memo->bytes()) : std::nullopt,
                                   name,
                                   memoName,
                                   {},
                                   {}});
        });
        return tables;
    }

    static fs::path tableFile(const fs::path& container, const DbcTable& table) {
        std::string path = table.path;
        std::replace(path.begin(), path.end(), '\\', '/');
        const fs::path folder = container.parent_path();
        LinkSource inFolder{{}, folder.string(), fs::path(path).filename().string()};
        // The stored path may be relative to the container or carry another machine's
        // folders; the file beside the container is what a copied database has.
        if (fs::path(path).is_relative()) {
            const fs::path candidate = folder / path;
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec)) return candidate;
        }
        return findTableFile(inFolder, {".dbf"});
    }
};

} // namespace

const ForeignReader& dbfReader() {
    static const DbfReader reader;
    return reader;
}

const ForeignReader& dbcReader() {
    static const DbcReader reader;
    return reader;
}

} // namespace varnoke::drivers
