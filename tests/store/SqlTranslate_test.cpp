#include "store/SqlTranslate.h"

#include <gtest/gtest.h>

using store::TranslateSql;

TEST(SqlTranslate, double_quoted_strings_become_sql_literals)
{
    EXPECT_EQ(TranslateSql(R"(select * from spxx where spbm like "%a%")"), "select * from spxx where spbm like '%a%'");
    EXPECT_EQ(TranslateSql(R"(select "it's" from t)"), "select 'it''s' from t");
    EXPECT_EQ(TranslateSql(R"(select "say ""hi""" from t)"), "select 'say \"hi\"' from t");
}

TEST(SqlTranslate, spacing_inside_literals_is_kept)
{
    EXPECT_EQ(TranslateSql("select 'a  b' from t  where x = 1 "), "select 'a  b' from t where x = 1");
}

TEST(SqlTranslate, top_n_becomes_a_limit)
{
    EXPECT_EQ(TranslateSql("select top 10 * from spxx where spmc like \"%x%\""),
              "select * from spxx where spmc like '%x%' limit 10");
    EXPECT_EQ(TranslateSql("select distinct top 3 spmc from spxx"), "select distinct spmc from spxx limit 3");
}

TEST(SqlTranslate, date_literals_in_either_order)
{
    EXPECT_EQ(TranslateSql("select * from xssp where xssj > #2013-10-20#"),
              "select * from xssp where xssj > '2013-10-20'");
    EXPECT_EQ(TranslateSql("select * from xssp where xssj > #10/2/2013#"),
              "select * from xssp where xssj > '2013-10-02'");
}

TEST(SqlTranslate, day_range_compares_stored_time_so_the_index_applies)
{
    EXPECT_EQ(TranslateSql(
                  R"(select * from xssp where format(xssj,"yyyy-mm-dd") between #2013-10-01# and #2013-10-31#)"),
              "select * from xssp where (xssj between '2013-10-01' and '2013-10-31 99')");
}

TEST(SqlTranslate, other_format_calls_and_parameters_pass_through)
{
    EXPECT_EQ(TranslateSql(R"(select format(xssj,"yyyy") from xssp where ddbh = :ddbh)"),
              "select format(xssj,'yyyy') from xssp where ddbh = :ddbh");
}

TEST(SqlTranslate, unterminated_literal_is_an_error)
{
    EXPECT_THROW(TranslateSql("select \"abc from t"), std::runtime_error);
    EXPECT_THROW(TranslateSql("select * from t where d > #2013-01-01"), std::runtime_error);
}
