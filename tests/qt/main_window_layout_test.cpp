#include "tests/qt/window_fixture.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>

namespace {

struct Placed {
    const char* name;
    QRect pixels; // the layout's twips at 15 a pixel, to the nearest pixel
    const char* caption;
    bool visible;
};

const Placed Expected[] = {
    {"Lst_Msg", {0, 0, 481, 218}, "", true},
    {"Txt_SendMsg", {0, 219, 481, 19}, "", true},
    {"Txt_Host", {200, 240, 182, 19}, "localhost:6667", true},
    {"Txt_UserID", {200, 260, 61, 19}, "UserID", true},
    {"Cmd_Connect", {384, 240, 97, 19}, "Connect", true},
    {"Txt_RealName", {262, 260, 156, 19}, "RealName", true},
    {"Cmd_SetUser", {420, 260, 61, 19}, "SetUser", true},
    {"Txt_NickName", {200, 280, 69, 19}, "NickName", true},
    {"Cmd_SetNick", {271, 280, 61, 19}, "SetNick", true},
    {"Txt_Ch", {336, 280, 82, 19}, "#Channel", true},
    {"Cmd_Join", {420, 280, 61, 19}, "Join", true},
    {"Cmd_Part", {420, 280, 61, 19}, "Part", false},
    {"Cmd_Disconnect", {384, 240, 97, 19}, "Disconnect", false},
};

QString CaptionOf(QWidget& widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        return edit->text();
    }
    if (auto* button = qobject_cast<QPushButton*>(&widget)) {
        return button->text();
    }
    return {};
}

class MainWindowLayout : public WindowFixture {};

TEST_F(MainWindowLayout, WindowHasItsTitleAndClientArea) {
    EXPECT_EQ(window.windowTitle(), "Hoshiwa");
    EXPECT_EQ(window.size(), QSize(482, 300));
}

TEST_F(MainWindowLayout, ControlsStandInTheirPlacesWithTheirCaptions) {
    window.show();
    for (const Placed& expected : Expected) {
        QWidget& widget = Get<QWidget>(expected.name);
        EXPECT_EQ(widget.geometry(), expected.pixels) << expected.name;
        EXPECT_EQ(CaptionOf(widget), QString::fromUtf8(expected.caption)) << expected.name;
        EXPECT_EQ(widget.isVisible(), expected.visible) << expected.name;
    }
}

TEST_F(MainWindowLayout, LogStartsWithOneBlankEntry) {
    ASSERT_EQ(Log().rowCount(), 1);
    EXPECT_EQ(Log().Entry(0), " ");
}

TEST_F(MainWindowLayout, TabOrderFollowsTabIndex) {
    const QStringList order = {"Lst_Msg",       "Txt_SendMsg",  "Txt_Host",    "Txt_UserID",
                               "Cmd_Connect",   "Txt_RealName", "Cmd_SetUser", "Txt_NickName",
                               "Cmd_SetNick",   "Txt_Ch",       "Cmd_Join",    "Cmd_Part",
                               "Cmd_Disconnect"};
    QStringList chain;
    QWidget* widget = &Get<QWidget>("Lst_Msg");
    do {
        if (widget->parentWidget() == &window && (widget->focusPolicy() & Qt::TabFocus)) {
            chain << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != &Get<QWidget>("Lst_Msg") && chain.size() <= order.size());
    EXPECT_EQ(chain, order);
}

TEST_F(MainWindowLayout, MeasuringLabelIsHiddenAndTakesNoInput) {
    window.show();
    auto& label = Get<QLabel>("Label1");
    EXPECT_FALSE(label.isVisible());
    EXPECT_EQ(label.pos(), QPoint(0, 0));
    EXPECT_EQ(label.focusPolicy(), Qt::NoFocus);
}

TEST_F(MainWindowLayout, TextBoxesUseTheJapaneseGothicFont) {
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    for (const char* name :
         {"Txt_SendMsg", "Txt_Host", "Txt_UserID", "Txt_RealName", "Txt_NickName", "Txt_Ch"}) {
        const QFont font = Get<QLineEdit>(name).font();
        EXPECT_EQ(font.family(), QString::fromUtf8("ＭＳ Ｐゴシック")) << name;
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 9.75) << name;
        EXPECT_EQ(font.weight(), QFont::Normal) << name;
        // Drawn in a font that has Japanese glyphs of its own, not in a fallback.
        EXPECT_TRUE(japanese.contains(QFontInfo(font).family()))
            << name << " is drawn in " << QFontInfo(font).family().toStdString();
    }
}

TEST_F(MainWindowLayout, MeasuringLabelSharesTheLogsFontAfterLoad) {
    const QFont log = window.Log().font();
    const QFont label = Get<QLabel>("Label1").font();
    // One face with Japanese glyphs of its own draws every entry, its time included.
    EXPECT_TRUE(QFontDatabase::families(QFontDatabase::Japanese).contains(QFontInfo(log).family()))
        << QFontInfo(log).family().toStdString();
    EXPECT_EQ(QFontInfo(label).family(), QFontInfo(log).family());
    EXPECT_EQ(label.family(), log.family());
    EXPECT_DOUBLE_EQ(label.pointSizeF(), log.pointSizeF());
    EXPECT_EQ(label.bold(), log.bold());
    EXPECT_EQ(label.italic(), log.italic());
}

} // namespace
