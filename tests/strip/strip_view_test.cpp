// The strip's view in a scroll area of the window's size: what it shows on screen, for a
// strip much wider than the viewport, at several scroll positions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

#include "platform/Canvas.h"
#include "strip/StripRandom.h"
#include "strip/StripView.h"
#include "strip/WaveRender.h"

namespace {

constexpr int kHeight = 152;
constexpr int kColumns = 6000;   // 20 minutes

// A strip drawn whole on its own bitmap (the reference) and shown by a view in a scroll
// area as the window has it.
class StripViewTest : public ::testing::Test {
protected:
    StripViewTest() : whole(kColumns, kHeight, QImage::Format_RGB32), canvas(&whole), render(&canvas, kColumns, kHeight)
    {
        ResetStripRandomForTesting();
        render.SetWaveWidth(kColumns);
        view = new StripView;
        view->resize(kColumns, kHeight);
        view->SetStrip(&render);
        area.resize(363, 171);
        area.setWidget(view);
        area.show();
        QApplication::processEvents();
    }
    ~StripViewTest() override { view->SetStrip(nullptr); }

    // Whether the screen shows, from the viewport's left edge, the whole strip's columns
    // from the scroll position on.
    void ExpectScreenShowsTheStrip()
    {
        const int first = area.horizontalScrollBar()->value();
        const int shown = std::min(area.viewport()->width(), kColumns - first);
        ASSERT_GT(shown, 0);
        const QImage screen = area.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_GE(screen.height(), kHeight);
        const QImage expected = whole.copy(first, 0, shown, kHeight);
        EXPECT_EQ(screen.copy(0, 0, shown, kHeight), expected) << "scrolled to " << first;
        EXPECT_EQ(view->VisibleImage(), expected) << "scrolled to " << first;
    }

    QImage whole;
    TCanvas canvas;
    TWaveRender render;
    QScrollArea area;
    StripView* view = nullptr;
};

}  // namespace

TEST_F(StripViewTest, ScreenShowsTheWholeStripsColumnsWhereverItIsScrolled)
{
    QScrollBar& bar = *area.horizontalScrollBar();
    ASSERT_EQ(bar.maximum(), kColumns - area.viewport()->width()) << "the scroll range is the strip's width";
    struct Case {
        int scroll;
        int begin, end, cursor;
    };
    const Case cases[] = {
        {0, 100, 150, 20},
        {2500, 2400, 2600, 2700},       // the band crosses the view, the cursor right of it
        {4990, 5000, 5100, 5020},       // numbers past 1000 s, one hanging in from the left
        {bar.maximum(), 5990, 5800, 5999},   // the end, markers reversed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scroll);
        bar.setValue(c.scroll);
        render.SetBeginPos(c.begin);
        render.SetEndPos(c.end);
        render.SetCursorPos(c.cursor);
        QApplication::processEvents();
        ExpectScreenShowsTheStrip();
    }
}

TEST_F(StripViewTest, ChangesShowAfterTheNextRedraw)
{
    area.horizontalScrollBar()->setValue(1000);
    QApplication::processEvents();
    // The cursor moves into view: the view is only told; the screen shows it afterwards.
    render.SetCursorPos(1100);
    QApplication::processEvents();
    ExpectScreenShowsTheStrip();
    const QImage shown = view->VisibleImage();
    EXPECT_EQ(shown.pixel(100, 50), 0xFFA6CAF0u) << "the cursor's line";
    // A strip taken away is no longer drawn from.
    view->SetStrip(nullptr);
    EXPECT_TRUE(view->VisibleImage().isNull());
}

TEST_F(StripViewTest, MouseReleaseGivesTheStripColumn)
{
    area.horizontalScrollBar()->setValue(3000);
    QApplication::processEvents();
    int released = -1;
    QObject::connect(view, &TImage::MouseUp, [&](Qt::MouseButton, Qt::KeyboardModifiers, int x, int) { released = x; });
    // A release 40 pixels from the viewport's left edge lies on column 3040 of the strip.
    const QPoint at = view->mapFrom(area.viewport(), QPoint(40, 30));
    QMouseEvent release(QEvent::MouseButtonRelease, at, view->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(view, &release);
    EXPECT_EQ(released, 3040);
}
