#include "field_scanner.h"

#include <gtest/gtest.h>

namespace quillet::phone {
namespace {

using K = FieldKind;

TEST(FieldScanner, ReadsEachKind) {
  ScanResult r = ScanFields(R"(x, -12 ,"a, b")", {K::Char, K::Int, K::Quoted}, false);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.fields[0].text, "x");
  EXPECT_EQ(r.fields[1].number, -12);
  EXPECT_EQ(r.fields[2].text, "a, b");
  EXPECT_TRUE(r.items.empty());
}

TEST(FieldScanner, IntegerLimits) {
  EXPECT_EQ(ScanFields("2147483647", {K::Int}, false).fields.at(0).number, 2147483647);
  EXPECT_EQ(ScanFields("-2147483648", {K::Int}, false).fields.at(0).number, INT32_MIN);
  EXPECT_EQ(ScanFields("+7", {K::Int}, false).fields.at(0).number, 7);
  EXPECT_FALSE(ScanFields("2147483648", {K::Int}, false).ok);
  EXPECT_FALSE(ScanFields("-", {K::Int}, false).ok);
  EXPECT_FALSE(ScanFields("", {K::Int}, false).ok);
  EXPECT_FALSE(ScanFields("1 2", {K::Int}, false).ok);
}

TEST(FieldScanner, QuoteClosesOnlyWhereTheRestFits) {
  ScanResult r = ScanFields(R"("a",",1,"b",2)", {K::Quoted, K::Int}, false);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.fields[0].text, R"(a",",1,"b)");
  EXPECT_EQ(r.fields[1].number, 2);
}

TEST(FieldScanner, TrailingListIsOptionalAndSplitAtQuoteCommaQuote) {
  ScanResult none = ScanFields("1", {K::Int}, true);
  ASSERT_TRUE(none.ok);
  EXPECT_TRUE(none.items.empty());
  ScanResult some = ScanFields(R"(1,"a","b,c",""," d ")", {K::Int}, true);
  ASSERT_TRUE(some.ok) << some.error;
  EXPECT_EQ(some.items, (std::vector<std::string>{"a", "b,c", "", " d "}));
}

TEST(FieldScanner, NoListWhenNoneIsExpected) {
  EXPECT_FALSE(ScanFields(R"(1,"a")", {K::Int}, false).ok);
}

TEST(FieldScanner, ErrorsSayWhichFieldBroke) {
  ScanResult r = ScanFields("1,x", {K::Int, K::Int}, false);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("field 2"), std::string::npos) << r.error;
  EXPECT_TRUE(r.fields.empty());
}

}  // namespace
}  // namespace quillet::phone
