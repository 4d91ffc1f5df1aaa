// The system menu's About item, which only a native Windows window has: these tests run on
// Qt's windows platform, under Wine on an X server.
#include <windows.h>

#include "window_fixture.h"

namespace vek::test {
namespace {

using WindowsSystemMenu = WindowTest;

std::wstring ItemText(HMENU menu, int position) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
    return text;
}

TEST_F(WindowsSystemMenu, EndsWithASeparatorAndAboutWhoseCommandOpensTheAboutDialog) {
    ASSERT_EQ(QGuiApplication::platformName(), "windows");
    Start();
    const auto window = reinterpret_cast<HWND>(this->window->winId());
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(ItemText(menu, count - 1), L"&About vekflash...");
    EXPECT_EQ(GetMenuItemID(menu, count - 1), 16u);

    // The menu posts the command and Windows may set its low four bits; another program may
    // send it.
    const struct {
        WPARAM command;
        bool posted;
    } ways[] = {{16, true}, {16 | 0x3, true}, {16, false}};
    for (const auto& way : ways) {
        QString opened;
        QTimer closer;  // closes the dialog once it is open
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = dialog->windowTitle();
                dialog->accept();
            }
        });
        closer.start(0);
        if (way.posted) {
            PostMessageW(window, WM_SYSCOMMAND, way.command, 0);
        } else {
            SendMessageW(window, WM_SYSCOMMAND, way.command, 0);
        }
        const char* how = way.posted ? " posted" : " sent";
        EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); })) << way.command << how;
        EXPECT_EQ(opened, "About vekflash") << way.command << how;
    }

    // Every other system command keeps its own meaning.
    SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(this->window->isMinimized());
}

}  // namespace
}  // namespace vek::test
