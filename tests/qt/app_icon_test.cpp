#include "client/qt/app_icon.h"
#include "tests/qt/qt_application.h"

namespace {

// The window's icon holds every size the desktop's icon theme gets, each drawn at that size
// rather than scaled from another.
TEST(AppIcon, HoldsEveryThemeSize) {
    const QIcon icon = AppIcon::Load();
    const QList<QSize> sizes = icon.availableSizes();
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
        EXPECT_EQ(icon.pixmap(side).size(), QSize(side, side)) << side;
    }
}

} // namespace
