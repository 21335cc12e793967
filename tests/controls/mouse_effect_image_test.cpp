// The picture button: which of its three pictures it shows after each pointer event,
// and that the window's click and mouse handlers run after the swap.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <string>
#include <vector>

#include "controls/MouseEffectImage.h"

namespace {

TPicture Solid(QRgb colour, int width = 20, int height = 10, PictureFormat format = PictureFormat::Jpeg)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return TPicture(image, format);
}

enum class Step {
    Enter,
    Leave,
    PressLeft,
    ReleaseLeft,
    ReleaseLeftOutside,
    DoubleClickLeft,
    PressRight,
    ReleaseRight,
    PressMiddle,
    ReleaseMiddle,
};

const QPoint kInside(5, 5);
const QPoint kOutside(60, 40);

void Send(QWidget* widget, Step step)
{
    const auto mouse = [widget](QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint at) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    };
    switch (step) {
    case Step::Enter: {
        QEnterEvent event(kInside, kInside, widget->mapToGlobal(kInside));
        QCoreApplication::sendEvent(widget, &event);
        break;
    }
    case Step::Leave: {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(widget, &event);
        break;
    }
    case Step::PressLeft: mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, kInside); break;
    case Step::ReleaseLeft: mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, kInside); break;
    case Step::ReleaseLeftOutside: mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, kOutside); break;
    case Step::DoubleClickLeft: mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, kInside); break;
    case Step::PressRight: mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, kInside); break;
    case Step::ReleaseRight: mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, kInside); break;
    case Step::PressMiddle: mouse(QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton, kInside); break;
    case Step::ReleaseMiddle: mouse(QEvent::MouseButtonRelease, Qt::MiddleButton, Qt::NoButton, kInside); break;
    }
}

// A button with a red normal, a green hover and a blue pressed picture.
class ButtonTest : public ::testing::Test {
protected:
    ButtonTest()
    {
        button.SetOriginPicture(normal);
        button.SetOverPicture(over);
        button.SetDownPicture(down);
        button.show();
    }

    // Which picture the button shows.
    std::string Shown() const
    {
        const TPicture& shown = button.Picture();
        if (shown.Empty())
            return "empty";
        for (const auto& [name, picture] : {std::pair{"normal", &normal}, {"over", &over}, {"down", &down}})
            if (shown.Image() == picture->Image())
                return name;
        return "other";
    }

    TPicture normal = Solid(qRgb(200, 0, 0));
    TPicture over = Solid(qRgb(0, 200, 0));
    TPicture down = Solid(qRgb(0, 0, 200), 20, 10, PictureFormat::Bitmap);
    TMouseEffectImage button;
};

struct StateCase {
    const char* name;
    bool revertOnLeave;
    std::vector<Step> steps;
    std::vector<const char*> shownAfterEach;
};

const StateCase kStateCases[] = {
    {"EnterShowsHover", false, {Step::Enter}, {"over"}},
    {"LeaveShowsNormal", false, {Step::Enter, Step::Leave}, {"over", "normal"}},
    {"PressShowsPressedFromAnyState", false, {Step::PressLeft}, {"down"}},
    {"ReleaseShowsNormalWhileStillOver", false, {Step::Enter, Step::PressLeft, Step::ReleaseLeft},
     {"over", "down", "normal"}},
    {"HoverReturnsOnlyAfterLeavingAndEntering", false,
     {Step::Enter, Step::PressLeft, Step::ReleaseLeft, Step::Leave, Step::Enter},
     {"over", "down", "normal", "normal", "over"}},
    {"RevertOnLeaveKeepsPressedAfterRelease", true,
     {Step::Enter, Step::PressLeft, Step::ReleaseLeft, Step::Leave},
     {"over", "down", "down", "normal"}},
    {"ReleaseOutsideShowsNormal", false, {Step::Enter, Step::PressLeft, Step::Leave, Step::ReleaseLeftOutside},
     {"over", "down", "normal", "normal"}},
    {"ReleaseOutsideBeforeLeaveShowsNormal", false, {Step::Enter, Step::PressLeft, Step::ReleaseLeftOutside},
     {"over", "down", "normal"}},
    {"RevertOnLeaveReleaseOutsideChangesNothing", true,
     {Step::Enter, Step::PressLeft, Step::ReleaseLeftOutside, Step::Leave},
     {"over", "down", "down", "normal"}},
    {"RevertOnLeaveLeaveThenReleaseOutside", true,
     {Step::Enter, Step::PressLeft, Step::Leave, Step::ReleaseLeftOutside},
     {"over", "down", "normal", "normal"}},
    {"DoubleClickShowsNoPressedPicture", false,
     {Step::Enter, Step::PressLeft, Step::ReleaseLeft, Step::Leave, Step::Enter, Step::DoubleClickLeft,
      Step::ReleaseLeft},
     {"over", "down", "normal", "normal", "over", "over", "normal"}},
    {"DoubleClickReleaseFollowsRevertOnLeave", true, {Step::Enter, Step::DoubleClickLeft, Step::ReleaseLeft},
     {"over", "over", "over"}},
    {"RightButtonChangesNothing", false, {Step::Enter, Step::PressRight, Step::ReleaseRight},
     {"over", "over", "over"}},
    {"MiddleButtonChangesNothing", false, {Step::Enter, Step::PressMiddle, Step::ReleaseMiddle},
     {"over", "over", "over"}},
    {"RightReleaseDoesNotEndALeftPress", false, {Step::PressLeft, Step::PressRight, Step::ReleaseRight},
     {"down", "down", "down"}},
};

class StateTable : public ButtonTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(StateTable, ShowsThePictureOfEachState)
{
    const StateCase& c = GetParam();
    button.SetRevertOnLeave(c.revertOnLeave);
    EXPECT_EQ(Shown(), "normal");
    ASSERT_EQ(c.steps.size(), c.shownAfterEach.size());
    for (size_t i = 0; i < c.steps.size(); ++i) {
        Send(&button, c.steps[i]);
        EXPECT_EQ(Shown(), c.shownAfterEach[i]) << "after step " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(MouseEffectImage, StateTable, ::testing::ValuesIn(kStateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MouseEffectImageCreation, StartsEmptyWithAutoSizeAndNoRevert)
{
    TMouseEffectImage button;
    EXPECT_TRUE(button.AutoSize());
    EXPECT_FALSE(button.RevertOnLeave());
    EXPECT_TRUE(button.OriginPicture().Empty());
    EXPECT_TRUE(button.OverPicture().Empty());
    EXPECT_TRUE(button.DownPicture().Empty());
    EXPECT_TRUE(button.Picture().Empty());
}

TEST_F(ButtonTest, PropertiesReadBackWhatWasWritten)
{
    EXPECT_EQ(button.OriginPicture().Image(), normal.Image());
    EXPECT_EQ(button.OverPicture().Image(), over.Image());
    EXPECT_EQ(button.DownPicture().Image(), down.Image());
    EXPECT_EQ(button.DownPicture().Format(), PictureFormat::Bitmap);
    EXPECT_EQ(button.OverPicture().Format(), PictureFormat::Jpeg);
}

TEST_F(ButtonTest, WritingTheNormalPictureShowsItWhateverTheState)
{
    Send(&button, Step::Enter);
    ASSERT_EQ(Shown(), "over");
    const TPicture fresh = Solid(qRgb(255, 255, 0));
    button.SetOriginPicture(fresh);
    EXPECT_EQ(button.Picture().Image(), fresh.Image());
    // The new normal picture is also what a leave shows.
    Send(&button, Step::Leave);
    EXPECT_EQ(button.Picture().Image(), fresh.Image());
}

TEST_F(ButtonTest, WritingHoverOrPressedPictureWaitsForTheNextEntryOrPress)
{
    Send(&button, Step::Enter);
    const TPicture newOver = Solid(qRgb(0, 255, 255));
    const TPicture newDown = Solid(qRgb(255, 0, 255));
    button.SetOverPicture(newOver);
    button.SetDownPicture(newDown);
    EXPECT_EQ(Shown(), "over");
    Send(&button, Step::Leave);
    Send(&button, Step::Enter);
    EXPECT_EQ(button.Picture().Image(), newOver.Image());
    Send(&button, Step::PressLeft);
    EXPECT_EQ(button.Picture().Image(), newDown.Image());
}

TEST_F(ButtonTest, PicturesAreCopiesOfWhatWasGiven)
{
    TPicture source = Solid(qRgb(10, 20, 30));
    button.SetOverPicture(source);
    source.Image().fill(qRgb(90, 90, 90));
    Send(&button, Step::Enter);
    EXPECT_EQ(button.Picture().Image().pixel(0, 0), qRgb(10, 20, 30));
}

TEST_F(ButtonTest, EmptyPictureShowsNothingAndKeepsTheSize)
{
    button.SetOverPicture(TPicture());
    const QSize size = button.size();
    ASSERT_EQ(size, QSize(20, 10));
    int clicks = 0;
    QObject::connect(&button, &TImage::Click, [&] { ++clicks; });
    Send(&button, Step::Enter);
    EXPECT_EQ(Shown(), "empty");
    EXPECT_EQ(button.size(), size);
    // Its mouse events work as before.
    Send(&button, Step::PressLeft);
    Send(&button, Step::ReleaseLeft);
    EXPECT_EQ(clicks, 1);
    Send(&button, Step::Enter);
    Send(&button, Step::Leave);
    EXPECT_EQ(Shown(), "normal");
}

TEST_F(ButtonTest, TakesTheSizeOfEachPictureShown)
{
    button.SetOverPicture(Solid(qRgb(1, 2, 3), 30, 25));
    Send(&button, Step::Enter);
    EXPECT_EQ(button.size(), QSize(30, 25));
    Send(&button, Step::Leave);
    EXPECT_EQ(button.size(), QSize(20, 10));
}

TEST_F(ButtonTest, HandlersRunAfterTheSwap)
{
    std::vector<std::string> seen;
    QObject::connect(&button, &TImage::MouseDown,
                     [&](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { seen.push_back("down:" + Shown()); });
    QObject::connect(&button, &TImage::Click, [&] { seen.push_back("click:" + Shown()); });
    QObject::connect(&button, &TImage::MouseUp,
                     [&](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { seen.push_back("up:" + Shown()); });
    QObject::connect(&button, &TImage::MouseEnter, [&] { seen.push_back("enter:" + Shown()); });
    QObject::connect(&button, &TImage::MouseLeave, [&] { seen.push_back("leave:" + Shown()); });
    for (Step step : {Step::Enter, Step::PressLeft, Step::ReleaseLeft, Step::Leave})
        Send(&button, step);
    const std::vector<std::string> expected = {"enter:over", "down:down", "click:normal", "up:normal",
                                               "leave:normal"};
    EXPECT_EQ(seen, expected);
}

TEST_F(ButtonTest, DesignModeSkipsOnlyTheHoverSwap)
{
    button.SetDesignMode(true);
    Send(&button, Step::Enter);
    EXPECT_EQ(Shown(), "normal");
    Send(&button, Step::PressLeft);
    Send(&button, Step::Leave);
    EXPECT_EQ(Shown(), "normal");
}

}  // namespace
