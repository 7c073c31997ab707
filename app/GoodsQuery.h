// The goods list's work, without widgets: the search, the record counter
// and deleting all goods.
#pragma once

#include <QString>

#include "store/Connection.h"
#include "store/DataSet.h"

struct TGoodsFilter {
    QString code;
    QString name;
    QString remark;
};

// Closes `q`, gives it the search for the three filters and opens it. The
// texts travel as bound patterns "%text%": wildcards typed into a box act as
// wildcards, quotes are searched for as quotes.
void RunGoodsSearch(store::DataSet& q, const TGoodsFilter& f);

// "共计%d条记录,当前第%d条" for the data set's count and current record.
QString GoodsCounterText(const store::DataSet& q);

// Removes every goods row; sales lines stay. Returns the number removed.
int DeleteAllGoods(store::Connection& c);

inline constexpr const char* kGoodsSearchSql =
    "select spbm as 商品编码,spmc as 商品名称,spsx as 商品属性,spjj as 商品进价,spsj as 商品售价,"
    "spkc as 商品库存,bz as 备注 from spxx where spbm like :code  and spmc like :name and bz like :remark "
    "order by spkc ";
