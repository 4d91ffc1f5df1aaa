#include "system_menu.h"

#include <windows.h>

#include <QGuiApplication>
#include <QWidget>

namespace vek {

namespace {

constexpr UINT ABOUT_COMMAND = 16;
constexpr const wchar_t* ABOUT_ITEM_TEXT = L"&About vekflash...";
// Windows keeps its own flags in a system command's low four bits.
constexpr WPARAM SYSTEM_COMMAND_MASK = 0xFFF0;

}  // namespace

void AddAboutToSystemMenu(QWidget* window) {
    if (QGuiApplication::platformName() != "windows") {
        return;
    }
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
    if (menu == nullptr) {
        return;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, ABOUT_COMMAND, ABOUT_ITEM_TEXT);
}

bool IsAboutCommand(const QByteArray& eventType, const void* message) {
    const auto* msg = static_cast<const MSG*>(message);
    return eventType == "windows_generic_MSG" && msg->message == WM_SYSCOMMAND &&
           (msg->wParam & SYSTEM_COMMAND_MASK) == ABOUT_COMMAND;
}

}  // namespace vek
