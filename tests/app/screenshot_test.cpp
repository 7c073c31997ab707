// Saves pictures of the windows for a person to look at; runs only when
// TB_SCREENSHOT_DIR names a folder.
#include <QApplication>

#include "app/Forms.h"
#include "app/goods.h"
#include "app/importlog.h"
#include "app/login.h"
#include "app/main.h"
#include "tests/app/AppFixture.h"
#include "workbook/Workbook.h"

using ScreenshotTest = AppTest;

TEST_F(ScreenshotTest, login_main_and_goods_windows)
{
    QString out = qEnvironmentVariable("TB_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "set TB_SCREENSHOT_DIR to save screenshots";
    for (int i = 0; i < 40; ++i)
        Sql("insert into spxx(spbm, spmc, spsx, spjj, spsj, spkc, bz) values (:c, :n, 'L码', 35.5, 59.9, :k, "
            "'夏季新款')",
            {{":c", "SP" + std::to_string(1000 + i)},
             {":n", "纯棉短袖T恤 款式" + std::to_string(i)},
             {":k", std::int64_t(i % 17)}});
    StartForms();
    Form1->grab().save(out + "/login.png");
    LogIn();
    Form2->showNormal();
    Form2->resize(1200, 700);
    QApplication::processEvents();
    Form2->grab().save(out + "/main.png");
    Form2->ItemClick("商品管理");
    QApplication::processEvents();
    Form2->grab().save(out + "/goods.png");
    Form4->PageControl1->setCurrentIndex(1);
    QApplication::processEvents();
    Form2->grab().save(out + "/entry.png");

    // The import log after a goods template of 30 rows.
    workbook::TXLSWorkbook book;
    const char16_t* header[] = {u"商品编码", u"商品名称", u"商品属性", u"商品进价", u"商品售价", u"商品库存", u"备注"};
    for (uint32_t c = 0; c < 7; ++c) book.Sheet(0).SetAsString(c, 0, header[c]);
    for (uint32_t r = 1; r <= 30; ++r) {
        const std::u16string n = QString::number(r).toStdU16String();
        const std::u16string row[] = {u"NEW" + n, u"亚麻衬衫 款式" + n, u"M码", u"42.00", u"79.00", u"12", u""};
        for (uint32_t c = 0; c < 7; ++c)
            if (!row[c].empty()) book.Sheet(0).SetAsString(c, r, row[c]);
    }
    const QString file = QString::fromStdString(dir.file("goods.xls"));
    book.SetFilename(file.toStdU16String());
    book.Write();
    Form4->PageControl1->setCurrentIndex(0);
    prompter.files = {file};
    Form4->BitBtn3->click();
    QApplication::processEvents();
    Form8->grab().save(out + "/importlog.png");
}
