// A workbook encrypted with a password a user must know is refused with 3051, whatever
// the encryption: the built-in password Excel uses when none is asked for (tried on
// each) does not open it. Those that Excel encrypted with its built-in password are
// read in lotus_corpus_test.cpp, against gnumeric's reading of them.
#include "table_collector.h"

#include <gtest/gtest.h>

#include <string>

namespace varnoke::test {
namespace {

struct Locked {
    const char* label;
    const char* file; // in tests/data/xls-encrypted
};

void PrintTo(const Locked& l, std::ostream* out) {
    *out << l.file;
}

class UsersPasswordTest : public ::testing::TestWithParam<Locked> {};

TEST_P(UsersPasswordTest, IsRefusedAsProtected) {
    const std::string file = GetParam().file;
    try {
        readLinked("Excel 8.0;DATABASE=" + std::string(VARNOKE_TEST_DATA) + "/xls-encrypted/" +
                       file,
                   "Sheet1");
        FAIL() << "a workbook that needs a user's password was read";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3051);
        EXPECT_EQ(std::string(e.what()), "The workbook '" + file +
                                             "' is protected by a password; Varnoke cannot "
                                             "read it.");
    }
}

INSTANTIATE_TEST_SUITE_P(Workbooks, UsersPasswordTest,
                         ::testing::Values(Locked{"Rc4", "poi_password.xls"},
                                           Locked{"XorObfuscation", "poi_xor-encryption-abc.xls"},
                                           Locked{"Rc4CryptoApi",
                                                  "sheetjs_password_2002_40_basecrypto.xls"}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
