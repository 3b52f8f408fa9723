#include "client/qt/list_box.h"
#include "tests/qt/window_fixture.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QScrollBar>

#include <cmath>

namespace {

class LogViewTest : public WindowFixture {
protected:
};

// Whether the row stands wholly within the list's height, wherever the list is scrolled sideways.
bool InView(LogView& view, int row) {
    const QRect rect = view.visualRect(view.Model().index(row, 0));
    return rect.top() >= 0 && rect.bottom() < view.viewport()->height();
}

struct ExtentCase {
    const char* name;
    QString text;
};

TEST_F(LogViewTest, ScrollRangeEndsAtTheExtentOfTheLongestEntry) {
    const ExtentCase cases[] = {
        {"short", "abc"},
        {"ascii wider than the list", QString(200, 'x')},
        {"kanji wider than the list", QString(90, QChar(0x65E5))},
    };
    for (const ExtentCase& c : cases) {
        LoadedWindow loadedFresh;
        ASSERT_TRUE(loadedFresh.loaded);
        MainWindow& fresh = loadedFresh.window;
        fresh.show();
        fresh.Form().AddLog(c.text.toStdString());
        fresh.Form().AddLog("x");
        Settle();
        LogView& view = fresh.Log();
        const QString longest = view.Model().Entry(0) + " ";
        const int extent = static_cast<int>(
            std::lround(QFontMetricsF(view.font()).horizontalAdvance(longest) + 16));
        EXPECT_EQ(view.HorizontalExtent(), extent) << c.name;
        EXPECT_EQ(view.horizontalScrollBar()->maximum(),
                  std::max(0, extent - view.viewport()->width()))
            << c.name;
        // The entry is drawn across the whole range, not cut off at the list's edge.
        EXPECT_GE(view.visualRect(view.Model().index(0, 0)).width(), extent - 16) << c.name;
    }
}

// Counts a widget's paintings and notes the list's extent at the first of them.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(LogView& view) : m_view(view) { view.viewport()->installEventFilter(this); }
    int Paints = 0;
    int ExtentAtFirstPaint = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && Paints++ == 0) {
            ExtentAtFirstPaint = m_view.HorizontalExtent();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    LogView& m_view;
};

TEST_F(LogViewTest, ABurstInOneTurnIsMeasuredBeforeTheListPaints) {
    window.show();
    window.Form().AddLog("first");
    Settle();
    LogView& view = window.Log();
    PaintWatch watch(view);
    for (int i = 0; i < 300; ++i) {
        window.Form().AddLog(i == 40 ? "日本語 " + std::string(120, 'w')
                                     : "entry " + std::to_string(i));
    }
    Settle();
    const QString caption = view.Model().Entry(41) + " ";
    const int extent =
        static_cast<int>(std::lround(QFontMetricsF(view.font()).horizontalAdvance(caption) + 16));
    EXPECT_EQ(Get<QLabel>("Label1").text(), caption);
    EXPECT_EQ(view.HorizontalExtent(), extent);
    ASSERT_GT(watch.Paints, 0);
    EXPECT_EQ(watch.ExtentAtFirstPaint, extent);
}

// Whether text is drawn in the row between the view's x positions from and to: a dark pixel (the
// current row's frame and background are light).
bool Inked(LogView& view, int row, int from, int to) {
    const QImage image = view.viewport()->grab().toImage();
    const QRect rect = view.visualRect(view.Model().index(row, 0));
    for (int y = std::max(0, rect.top()); y <= std::min(rect.bottom(), image.height() - 1); ++y) {
        for (int x = std::max(0, from); x < std::min(to, image.width()); ++x) {
            if (image.pixelColor(x, y).lightness() < 100) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(LogViewTest, AnEntryTooLongToLayOutWholeIsMeasuredAndDrawnToItsEnd) {
    window.show();
    std::string text;
    for (int i = 0; i < 250; ++i) {
        text += "東京駅 see you ";
    }
    window.Form().AddLog(text);
    Settle();
    LogView& view = window.Log();
    const QString entry = view.Model().Entry(0);
    ASSERT_GT(entry.size(), 2000);
    const double exact = QFontMetricsF(view.font()).horizontalAdvance(entry + " ") + 16;
    EXPECT_NEAR(view.HorizontalExtent(), exact, exact * 0.005);

    QScrollBar& bar = *view.horizontalScrollBar();
    const int width = view.viewport()->width();
    for (const int column : {0, bar.maximum() / 2, bar.maximum()}) {
        bar.setValue(column);
        Settle();
        // Drawn across the view, and at the far end up to the margin after the entry's last
        // characters.
        const int end = column == bar.maximum() ? width - 24 : width;
        EXPECT_TRUE(Inked(view, 0, 0, width / 3)) << "scrolled to " << column;
        EXPECT_TRUE(Inked(view, 0, end - width / 3, end)) << "scrolled to " << column;
    }
}

struct FloodCase {
    const char* name;
    int entries;
    bool turnPerEntry;
    bool shownAfterwards;
    // Entries wider than the list bring up the horizontal scroll bar within the flood, which takes
    // height from the rows.
    bool wide = false;
};

TEST_F(LogViewTest, AfterAFloodTheNewestEntryIsInViewAndNothingSelected) {
    const FloodCase cases[] = {
        {"all in one turn", 3000, false, false},
        {"one turn per entry", 300, true, false},
        {"while the window is hidden", 2000, false, true},
        {"wider than the list, all in one turn", 3000, false, false, true},
        {"wider than the list, while the window is hidden", 2000, false, true, true},
    };
    for (const FloodCase& c : cases) {
        LoadedWindow loadedFresh;
        ASSERT_TRUE(loadedFresh.loaded);
        MainWindow& fresh = loadedFresh.window;
        if (!c.shownAfterwards) {
            fresh.show();
        }
        LogView& view = fresh.Log();
        fresh.Form().AddLog("first");
        Settle();
        // An entry the reader selected loses its selection to the flood.
        view.selectionModel()->select(view.Model().index(0, 0), QItemSelectionModel::Select);
        // An entry no longer than the logged ones first: the list scrolls to its end before the
        // flood's longest entry is measured.
        fresh.Form().AddLog("x");
        for (int i = 0; i < c.entries; ++i) {
            fresh.Form().AddLog((c.wide ? std::string(150, 'w') + " entry " : "entry ") +
                                std::to_string(i));
            if (c.turnPerEntry) {
                QCoreApplication::processEvents();
            }
        }
        if (c.shownAfterwards) {
            Settle();
            fresh.show();
        }
        Settle();
        const int count = view.Model().rowCount();
        ASSERT_EQ(count, c.entries + 3) << c.name;
        EXPECT_EQ(view.Model().Entry(count - 2).right(10),
                  QString(" entry %1").arg(c.entries - 1).right(10))
            << c.name;
        for (const int row : {count - 2, count - 1}) {
            EXPECT_TRUE(InView(view, row)) << c.name << ": row " << row << " is not in view";
        }
        EXPECT_FALSE(view.selectionModel()->hasSelection()) << c.name;
    }
}

TEST_F(LogViewTest, ASelectionTakesEffectAtTheEndOfTheTurnAndFollowsItsRow) {
    window.show();
    for (int i = 0; i < 5; ++i) {
        window.Form().AddLog("entry " + std::to_string(i));
    }
    Settle();
    LogView& view = window.Log();
    QtListBox box(view);
    auto selected = [&] {
        const QModelIndexList rows = view.selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    };

    box.SetListIndex(2);
    box.AddItem("above", 0); // the selected row moves down before the turn ends
    EXPECT_EQ(box.ListIndex(), 3);
    Settle();
    EXPECT_EQ(selected(), 3);
    EXPECT_EQ(box.ListIndex(), 3);

    box.SetListIndex(box.ListCount() - 1);
    box.AddItem("newest", box.ListCount() - 1); // the blank last entry stays last
    EXPECT_EQ(box.ListIndex(), box.ListCount() - 1);
    Settle();
    EXPECT_EQ(selected(), box.ListCount() - 1);

    box.SetListIndex(1);
    box.SetListIndex(-1); // a later request in the same turn replaces the earlier one
    EXPECT_EQ(box.ListIndex(), -1);
    Settle();
    EXPECT_EQ(selected(), -1);
}

TEST_F(LogViewTest, ScrollingToTheNewestEntryKeepsTheReadersColumn) {
    window.show();
    window.Form().AddLog(std::string(300, 'x'));
    for (int i = 0; i < 50; ++i) {
        window.Form().AddLog("earlier");
    }
    Settle();
    QScrollBar& bar = *window.Log().horizontalScrollBar();
    ASSERT_GT(bar.maximum(), 100);
    bar.setValue(100);
    for (int i = 0; i < 50; ++i) {
        window.Form().AddLog("more");
    }
    Settle();
    EXPECT_EQ(bar.value(), 100);
    EXPECT_TRUE(InView(window.Log(), Log().rowCount() - 1));
}

} // namespace
