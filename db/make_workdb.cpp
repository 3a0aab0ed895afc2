// Builds a fresh working database from the schema script: make_workdb schema.sql out.mdb
// The old file is replaced, so a build always starts from the shipped rows.
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s schema.sql varnoker.mdb\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream sql;
    sql << in.rdbuf();
    const std::string tmp = std::string(argv[2]) + ".new";
    std::remove(tmp.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(tmp.c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s: %s\n", tmp.c_str(), sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &err);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "schema failed: %s\n", err ? err : "unknown error");
        sqlite3_free(err);
        std::remove(tmp.c_str());
        return 1;
    }
    if (std::rename(tmp.c_str(), argv[2]) != 0) {
        std::perror("rename");
        return 1;
    }
    return 0;
}
