#pragma once
// A disk that fills up under one folder, for SQLite: while the disk is full, no file
// there may grow (a write past a file's end fails with SQLITE_FULL, as on a full file
// system) while the room a file already has can still be written. It is SQLite's default
// file system from construction to destruction, so a database opened in between goes
// through it; close such databases before it ends.
#include <sqlite3.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::test {

class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // From now on no file under `folder` grows.
    void fill(const std::string& folder);
    // As fill, once `writes` more writes have grown files under `folder`: a disk that
    // fills part way through the work.
    void fillAfter(const std::string& folder, int writes);
    // Files grow again.
    void clear() { full_ = false; }
    // Writes refused since the disk filled.
    int refusedWrites() const { return refused_; }

private:
    // One kind of file's methods (a database's, a journal's), with writes checked,
    // and the disk they belong to: SQLite hands the file's methods back with every call.
    struct Methods {
        sqlite3_io_methods io;
        FullDisk* disk;
        const sqlite3_io_methods* real;
    };
    static int open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags,
                    int* outFlags);
    static int write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset);
    // Where, after the real file system's record, the file's name is kept.
    const char** nameSlot(sqlite3_file* file) const;

    sqlite3_vfs vfs_{};
    sqlite3_vfs* real_ = nullptr;
    std::array<Methods, 4> kinds_{};
    std::size_t kindCount_ = 0;
    std::string folder_;
    bool full_ = false;
    int room_ = 0; // writes that may still grow a file once full_
    int refused_ = 0;
};

// What the engine says when a full disk made SQLite give up the writes gathered since the
// last commit (error 3026).
inline constexpr std::string_view kDiskFullLoss =
    "Not enough space on disk.  The changes made since the last automatic save were undone; "
    "everything saved before them is kept.";

// The first column of every row a query gives on the file as another program reads it:
// only what has been committed. Null reads as "<Null>".
std::vector<std::string> committedTexts(const std::string& path, const std::string& sql);

} // namespace varnoke::test
