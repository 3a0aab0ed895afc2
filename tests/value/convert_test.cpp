#include "value/convert.h"
#include "value/runtime_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace varnoke;

namespace {

int errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(LeadingNumber, ReadsTheNumberATextBeginsWith) {
    EXPECT_EQ(leadingNumber("12/31/2003"), 12);
    EXPECT_EQ(leadingNumber(" .5"), 0.5);
    EXPECT_EQ(leadingNumber("-2.5"), -2.5);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber(""), 0);
    EXPECT_EQ(leadingNumber("1E+16"), 1e16);
    EXPECT_EQ(leadingNumber("3.5e"), 3.5);
    EXPECT_EQ(leadingNumber("1.2.3"), 1.2);
    EXPECT_EQ(leadingNumber("-"), 0);
}

TEST(LeadingNumber, SkipsBlanksTabsAndLineFeedsWhereverTheyStand) {
    EXPECT_EQ(leadingNumber("  1 2\t3\n4x5"), 1234);
    EXPECT_EQ(leadingNumber("\t- 2 . 5"), -2.5);
}

TEST(NumberTexts, SignedAndPlain) {
    EXPECT_EQ(signedNumberText(5), " 5");
    EXPECT_EQ(signedNumberText(-5), "-5");
    EXPECT_EQ(signedNumberText(-2.5), "-2.5");
    EXPECT_EQ(signedNumberText(0.5), " .5");
    EXPECT_EQ(signedNumberText(-0.5), "-.5");
    EXPECT_EQ(signedNumberText(0), " 0");
    EXPECT_EQ(numberText(0.5), "0.5");
    EXPECT_EQ(numberText(1e16), "1E+16");
    EXPECT_EQ(numberText(123456789012345.0), "123456789012345");
    EXPECT_EQ(numberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberText(1.5e-7), "1.5E-07");
}

TEST(DateTexts, ShortFormWithTimeOnlyWhenThereIsOne) {
    EXPECT_EQ(dateText(makeDateSerial(2003, 12, 31)), "12/31/2003");
    EXPECT_EQ(dateText(makeDateSerial(2000, 8, 7, 13, 5, 9)), "8/7/2000 1:05:09 PM");
    EXPECT_EQ(dateText(makeDateSerial(2000, 8, 7, 0, 0, 1)), "8/7/2000 12:00:01 AM");
    EXPECT_EQ(dateText(0), "12/30/1899");
    EXPECT_EQ(dateText(0.5), "12:00:00 PM");
    EXPECT_EQ(makeDateSerial(1900, 1, 1), 2);
    EXPECT_EQ(makeDateSerial(2000, 1, 1), 36526);
    EXPECT_EQ(dateText(-1), "12/29/1899");
}

// Far past any calendar (a Double stored in a date field, or handed to Year), a serial
// is held at the bound rather than cast out of range.
TEST(DateTexts, SerialsBeyondAnyCalendarAreHeldAtTheBound) {
    EXPECT_EQ(dateText(1e308), dateText(1e11));
    EXPECT_EQ(dateText(-std::numeric_limits<double>::infinity()), dateText(-1e11));
    EXPECT_EQ(dateText(std::nan("")), dateText(0));
    EXPECT_EQ(civilFromSerial(-1e300).year, civilFromSerial(-1e11).year);
}

TEST(DateTexts, ParseTheAcceptedForms) {
    EXPECT_EQ(parseDateText("12/31/2003"), makeDateSerial(2003, 12, 31));
    EXPECT_EQ(parseDateText("8/7/00"), makeDateSerial(2000, 8, 7));
    EXPECT_EQ(parseDateText("8/7/29"), makeDateSerial(2029, 8, 7));
    EXPECT_EQ(parseDateText("8/7/30"), makeDateSerial(1930, 8, 7));
    EXPECT_EQ(parseDateText("2003-12-31"), makeDateSerial(2003, 12, 31));
    EXPECT_EQ(parseDateText(" 8/7/2000 1:05:09 PM "), makeDateSerial(2000, 8, 7, 13, 5, 9));
    EXPECT_EQ(parseDateText("12:00:00 AM"), 0);
    for (const char* bad :
         {"", "abc", "13/1/2000", "2/30/2001", "12", "1/2", "1/2/2000 x", "25:00", "1/2/200"})
        EXPECT_FALSE(parseDateText(bad).has_value()) << bad;
    // A date text survives the round trip through its own text form.
    const double serial = makeDateSerial(1999, 2, 28, 23, 59, 59);
    EXPECT_EQ(parseDateText(dateText(serial)), serial);
}

TEST(ValueConversions, TextOfEachKind) {
    EXPECT_EQ(textOf(Value()), "");
    EXPECT_EQ(textOf(Value::boolean(true)), "True");
    EXPECT_EQ(textOf(Value::number(2.5)), "2.5");
    EXPECT_EQ(textOf(Value::currency(3.25)), "3.25");
    EXPECT_EQ(textOf(Value::date(makeDateSerial(2003, 1, 2))), "1/2/2003");
    EXPECT_EQ(textOf(Value::text("O'Brien")), "O'Brien");
    EXPECT_EQ(errorNumber([] { textOf(Value::null()); }), kErrInvalidUseOfNull);
    EXPECT_EQ(textOrBlank(Value::null()), "");
}

TEST(ValueConversions, DateOfAndIsDate) {
    EXPECT_EQ(dateOf(Value::text("1/2/2003")), makeDateSerial(2003, 1, 2));
    EXPECT_EQ(dateOf(Value::number(36526)), 36526);
    EXPECT_EQ(dateOf(Value::text(" 36526")), 36526);
    EXPECT_EQ(errorNumber([] { dateOf(Value::text("abc")); }), kErrTypeMismatch);
    EXPECT_EQ(errorNumber([] { dateOf(Value::null()); }), kErrInvalidUseOfNull);
    EXPECT_TRUE(isDate(Value::date(1)));
    EXPECT_TRUE(isDate(Value::text("1/2/2003")));
    EXPECT_FALSE(isDate(Value::text("36526")));
    EXPECT_FALSE(isDate(Value::number(36526)));
    EXPECT_FALSE(isDate(Value::null()));
}

TEST(ValueConversions, NumberOf) {
    EXPECT_EQ(numberOf(Value::text(" 12 ")), 12);
    EXPECT_EQ(numberOf(Value::text("-2.5")), -2.5);
    EXPECT_EQ(numberOf(Value::boolean(true)), -1);
    EXPECT_EQ(numberOf(Value()), 0);
    EXPECT_EQ(errorNumber([] { numberOf(Value::text("12/31/2003")); }), kErrTypeMismatch);
    EXPECT_EQ(errorNumber([] { numberOf(Value::text("inf")); }), kErrTypeMismatch);
    EXPECT_EQ(errorNumber([] { numberOf(Value::text("")); }), kErrTypeMismatch);
}

TEST(Blank, OnlyEmptyNullAndZeroLengthText) {
    EXPECT_TRUE(isBlank(Value()));
    EXPECT_TRUE(isBlank(Value::null()));
    EXPECT_TRUE(isBlank(Value::text("")));
    // Zero is a value: "= 0" must match zeros and a replacement of 0 must write 0.
    EXPECT_FALSE(isBlank(Value::number(0)));
    EXPECT_FALSE(isBlank(Value::boolean(false)));
    EXPECT_FALSE(isBlank(Value::date(0)));
    EXPECT_FALSE(isBlank(Value::text(" ")));
}

TEST(Compare, TextsExactNumbersAndDatesByValueNullUnordered) {
    EXPECT_EQ(compareValues(Value::text("abc"), Value::text("abc")), 0);
    EXPECT_NE(compareValues(Value::text("abc"), Value::text("ABC")), 0);
    EXPECT_EQ(compareValues(Value::text("abc "), Value::text("abc")), 1);
    EXPECT_EQ(compareValues(Value::number(2), Value::number(10)), -1);
    EXPECT_EQ(compareValues(Value::date(36526), Value::number(36526)), 0);
    EXPECT_EQ(compareValues(Value::currency(1.5), Value::number(1.5)), 0);
    EXPECT_EQ(compareValues(Value(), Value::number(0)), 0);
    EXPECT_EQ(compareValues(Value(), Value::text("")), 0);
    EXPECT_EQ(compareValues(Value::number(5), Value::text("5")), -1);
    EXPECT_FALSE(compareValues(Value::null(), Value::null()).has_value());
    EXPECT_FALSE(compareValues(Value::number(1), Value::null()).has_value());
}
