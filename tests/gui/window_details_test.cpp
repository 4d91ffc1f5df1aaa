// What a person notices first about the window: where it comes up, where the focus goes, and
// whether a programmer is connected.
#include <QComboBox>
#include <QLabel>
#include <QScreen>

#include "window_fixture.h"

namespace vek::test {
namespace {

using WindowDetails = WindowTest;

TEST_F(WindowDetails, ASavedPositionOffEveryScreenStartsAtTheDefault) {
    // The offscreen platform's one screen.
    ASSERT_EQ(QGuiApplication::screens().size(), 1);
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 800, 800));
    const std::vector<std::pair<QPoint, QPoint>> savedToShown = {
        {QPoint(321, 234), QPoint(321, 234)},
        {QPoint(790, 790), QPoint(790, 790)},    // a corner still on the screen
        {QPoint(-150, -20), QPoint(-150, -20)},  // hanging off the top left
        {QPoint(800, 100), QPoint(100, 100)},    // just right of the screen
        {QPoint(2500, 1400), QPoint(100, 100)},  // on a monitor unplugged since
        {QPoint(-3000, 50), QPoint(100, 100)},
    };
    for (const auto& [saved, shown] : savedToShown) {
        settings.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, saved.x());
        settings.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, saved.y());
        Start();
        Tick();
        EXPECT_EQ(window->geometry().topLeft(), shown) << saved.x() << "," << saved.y();
        EXPECT_EQ(QPoint(SavedInt(KEY_SCREEN_X), SavedInt(KEY_SCREEN_Y)), shown);
    }
}

TEST_F(WindowDetails, TabGoesFromTopLeftToBottomRightAndTheDeviceListHasTheFocusFirst) {
    Start();
    EXPECT_EQ(window->focusWidget(), Find<QComboBox>("deviceList"));

    // The focus chain that Tab follows, with the controls that Tab can reach.
    std::vector<std::string> order;
    QWidget* first = Find<QWidget>("blankCheckButton");
    QWidget* widget = first;
    do {
        if (widget->window() == window.get() && (widget->focusPolicy() & Qt::TabFocus)) {
            order.push_back(widget->objectName().toStdString());
        }
        widget = widget->nextInFocusChain();
    } while (widget != first);
    EXPECT_EQ(order, (std::vector<std::string>{
                         "blankCheckButton", "eraseButton", "programButton", "verifyButton",
                         "readButton", "deviceList", "hexFileField", "fuseField", "fuseSetButton",
                         "fuseXField", "fuseXSetButton", "lastConfigButton", "devWordField"}));
}

TEST_F(WindowDetails, TheConnectionLabelFollowsAPlugAndAnUnplug) {
    sim.SetAttached(false);
    Start();
    auto* label = Find<QLabel>("connectionLabel");
    EXPECT_EQ(label->text(), "No programmer");

    sim.SetAttached(true);
    Tick();
    EXPECT_EQ(label->text(), "Programmer connected");
    Tick();
    EXPECT_EQ(label->text(), "Programmer connected");

    sim.SetAttached(false);
    Find<QAction>("connectAction")->trigger();
    EXPECT_EQ(label->text(), "No programmer");

    // Only the commands spoke; the label never does.
    EXPECT_EQ(answerer.messages, (std::vector<std::string>{
                                     "Error: Unable to detect presence of VEK Flash programmer.",
                                     "VEK Flash programmer ready.",
                                     "Error: Unable to detect presence of VEK Flash programmer."}));
}

}  // namespace
}  // namespace vek::test
