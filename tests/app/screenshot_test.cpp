// Saves pictures of the windows for a person to look at; runs only when
// TB_SCREENSHOT_DIR names a folder.
#include <QApplication>

#include "app/Forms.h"
#include "app/goods.h"
#include "app/login.h"
#include "app/main.h"
#include "tests/app/AppFixture.h"

using ScreenshotTest = AppTest;

TEST_F(ScreenshotTest, login_main_and_goods_windows) {
    QString out = qEnvironmentVariable("TB_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "set TB_SCREENSHOT_DIR to save screenshots";
    for (int i = 0; i < 40; ++i)
        Sql("insert into spxx(spbm, spmc, spsx, spjj, spsj, spkc, bz) values (:c, :n, 'L码', 35.5, 59.9, :k, '夏季新款')",
            {{":c", "SP" + std::to_string(1000 + i)}, {":n", "纯棉短袖T恤 款式" + std::to_string(i)}, {":k", std::int64_t(i % 17)}});
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
}
