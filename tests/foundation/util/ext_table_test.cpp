#include "foundation/util/ext_table.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>

namespace {

using ext::Table;

TEST(ExtTableTest, CentresCellsBetweenRules)
{
    std::ostringstream out;
    Table table(4, 3);
    Table::Sentry(out, table) << ext::delimeter;
    Table::Sentry(out, table) << ext::beginrow << "ab" << ext::nextrow << 'x' << ext::nextrow;
    Table::Sentry(out, table) << ext::delimeter;
    EXPECT_EQ(out.str(),
              "+----+---+\n"
              "| ab | x |\n"
              "+----+---+\n");
}

TEST(ExtTableTest, OddBlankGoesRightAndLongTextPushesTheRow)
{
    std::ostringstream out;
    Table table(4, 4);
    Table::Sentry(out, table) << ext::beginrow << "abcde" << ext::nextrow << "xyz" << ext::nextrow;
    EXPECT_EQ(out.str(), "|abcde|xyz |\n");
}

TEST(ExtTableTest, ShortRowIsCompletedAndSurplusCellsAreDropped)
{
    std::ostringstream out;
    Table table;
    table.add(3);
    table.add(2);
    table.add(1);
    {
        Table::Sentry row(out, table);
        row << ext::beginrow << 7 << ext::nextrow;
    }
    Table::Sentry(out, table) << ext::beginrow << -1 << ext::nextrow << 2u << ext::nextrow << 3 << ext::nextrow << 4
                              << ext::nextrow;
    // A finished row takes no more cells until beginrow starts the next one.
    Table::Sentry(out, table) << "late" << ext::nextrow;
    EXPECT_EQ(out.str(),
              "| 7 |  | |\n"
              "|-1 |2 |3|\n");
}

TEST(ExtTableTest, HexCellsAndEmptyRows)
{
    std::ostringstream out;
    Table table(10);
    Table::Sentry(out, table) << ext::beginrow << std::hex << -1 << ext::nextrow;
    table.gap(out);
    EXPECT_EQ(out.str(),
              "| ffffffff |\n"
              "|          |\n");
}

}  // namespace
