#include "app/GoodsQuery.h"

void RunGoodsSearch(store::DataSet& q, const TGoodsFilter& f)
{
    // What is being typed into the list is stored first; a refused value
    // stops the search with the row and its typing kept.
    q.PostPending();
    q.Close();
    q.SetSQL(kGoodsSearchSql);
    q.SetParam("code", ("%" + f.code + "%").toStdString());
    q.SetParam("name", ("%" + f.name + "%").toStdString());
    q.SetParam("remark", ("%" + f.remark + "%").toStdString());
    q.Open();
}

QString GoodsCounterText(const store::DataSet& q)
{
    return QString::asprintf("共计%d条记录,当前第%d条", q.RecordCount(), q.RecNo());
}

int DeleteAllGoods(store::Connection& c) { return c.Execute("delete from spxx "); }
