// Sound Jet and ACE files that a link cannot read, each refused for its own reason and
// never as damage: a database enciphered under a password, a table whose visible column
// holds attachments or lists of values.
#include "table_collector.h"

#include <gtest/gtest.h>

#include <string>

namespace varnoke::test {
namespace {

const std::string kMdb = std::string(VARNOKE_TEST_DATA) + "/mdb/";
const std::string kFound = std::string(VARNOKE_JET_PUBLIC) + "/found/";
const std::string kNorthwind =
    std::string(VARNOKE_JET_PUBLIC) + "/northwind/spider6_Northwind2007.accdb";

struct Refusal {
    const char* label;
    std::string file;
    const char* table;
    int number;
    const char* says;
};

void PrintTo(const Refusal& r, std::ostream* out) {
    *out << r.label;
}

class JetRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(JetRefusal, SaysWhy) {
    const auto& r = GetParam();
    try {
        readLinked("JetTable;DATABASE=" + r.file, r.table);
        FAIL() << "linked";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), r.number) << e.what();
        EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sound, JetRefusal,
    ::testing::Values(
        // RC4 under the CryptoAPI, and the agile form of Office 2010 and later.
        Refusal{"CryptoApiPassword", kMdb + "protected/andipaetzold_office-agile-4.2.accdb", "",
                3051,
                "The database 'andipaetzold_office-agile-4.2.accdb' is protected by a password"},
        Refusal{"AgilePassword", kMdb + "protected/andipaetzold_V2010_with-password.accdb", "",
                3051, "is protected by a password"},
        // Its hidden version history is left out, its lists of values are not.
        Refusal{"ListOfValuesBesideAHistory", kFound + "ucanaccess_complex.accdb", "t_complex",
                3274, "its column 'multi-value-data' holds attachments or lists of values"},
        Refusal{"ListOfValues", kNorthwind, "Products", 3274,
                "its column 'Supplier IDs' holds attachments or lists of values"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
