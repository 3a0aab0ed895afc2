#include "support/full_disk.h"

#include <filesystem>
#include <stdexcept>

namespace varnoke::test {

namespace {

// SQLite gives each open file szOsFile bytes: the real file system's record first, so
// its methods work on the same pointer, then the file's name.
std::size_t nameOffset(const sqlite3_vfs* real) {
    return (static_cast<std::size_t>(real->szOsFile) + alignof(const char*) - 1) /
           alignof(const char*) * alignof(const char*);
}

} // namespace

FullDisk::FullDisk() : real_(sqlite3_vfs_find(nullptr)) {
    if (!real_) throw std::runtime_error("SQLite has no file system");
    vfs_ = *real_; // the real file system's other calls do not read pAppData
    vfs_.zName = "varnoke-full-disk";
    vfs_.pNext = nullptr;
    vfs_.pAppData = this;
    vfs_.szOsFile = static_cast<int>(nameOffset(real_) + sizeof(const char*));
    vfs_.xOpen = &FullDisk::open;
    if (sqlite3_vfs_register(&vfs_, 1) != SQLITE_OK)
        throw std::runtime_error("cannot register the full disk");
}

FullDisk::~FullDisk() {
    sqlite3_vfs_unregister(&vfs_);
}

void FullDisk::fill(const std::string& folder) {
    fillAfter(folder, 0);
}

void FullDisk::fillAfter(const std::string& folder, int writes) {
    folder_ = std::filesystem::canonical(folder).string() + "/";
    full_ = true;
    room_ = writes;
    refused_ = 0;
}

const char** FullDisk::nameSlot(sqlite3_file* file) const {
    return reinterpret_cast<const char**>(reinterpret_cast<char*>(file) + nameOffset(real_));
}

int FullDisk::open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags,
                   int* outFlags) {
    auto* disk = static_cast<FullDisk*>(vfs->pAppData);
    const int rc = disk->real_->xOpen(disk->real_, name, file, flags, outFlags);
    if (rc != SQLITE_OK || !file->pMethods) return rc;
    Methods* kind = nullptr;
    for (std::size_t i = 0; i < disk->kindCount_ && !kind; ++i)
        if (disk->kinds_[i].real == file->pMethods) kind = &disk->kinds_[i];
    if (!kind) {
        if (disk->kindCount_ == disk->kinds_.size()) return rc; // left unchecked
        kind = &disk->kinds_[disk->kindCount_++];
        *kind = Methods{*file->pMethods, disk, file->pMethods};
        kind->io.xWrite = &FullDisk::write;
    }
    file->pMethods = &kind->io;
    // SQLite keeps the name unchanged until the file closes; temporary files have none.
    *disk->nameSlot(file) = name;
    return rc;
}

int FullDisk::write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    const auto& kind = *reinterpret_cast<const Methods*>(file->pMethods);
    FullDisk& disk = *kind.disk;
    const char* name = *disk.nameSlot(file);
    if (disk.full_ && name && std::string_view(name).starts_with(disk.folder_)) {
        sqlite3_int64 size = 0;
        if (kind.real->xFileSize(file, &size) != SQLITE_OK || offset + amount > size) {
            if (disk.room_ == 0) {
                ++disk.refused_;
                return SQLITE_FULL;
            }
            --disk.room_;
        }
    }
    return kind.real->xWrite(file, data, amount, offset);
}

std::vector<std::string> committedTexts(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::vector<std::string> out;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot read " + path);
    }
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    while (rc == SQLITE_OK) {
        if (const int step = sqlite3_step(st); step != SQLITE_ROW) {
            rc = step == SQLITE_DONE ? SQLITE_OK : step;
            break;
        }
        const auto* text = sqlite3_column_text(st, 0);
        out.emplace_back(text ? reinterpret_cast<const char*>(text) : "<Null>");
    }
    std::string error = rc == SQLITE_OK ? "" : sqlite3_errmsg(db);
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (!error.empty()) throw std::runtime_error(error + ": " + sql);
    return out;
}

} // namespace varnoke::test
