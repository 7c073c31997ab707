// GUI tests run the real windows on Qt's offscreen platform.
#include <gtest/gtest.h>

#include "app/ErrorReport.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TALLYBROOK_NO_UPDATE_CHECK", "1");
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
