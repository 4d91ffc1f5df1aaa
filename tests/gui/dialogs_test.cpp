// The About, USB Description String and Driver Download dialogs, and the five web links.
#include <algorithm>

#include "window_fixture.h"

namespace vek::test {
namespace {

using Dialogs = WindowTest;

// Top to bottom, left to right: the labels as they read and the fields as "[text]", or the
// buttons' captions.
std::vector<std::string> Downwards(const QDialog& dialog, bool buttons) {
    std::vector<std::tuple<int, int, std::string>> found;
    for (const QWidget* child : dialog.findChildren<QWidget*>()) {
        QString text = child->property("text").toString();
        if (qobject_cast<const QLineEdit*>(child) != nullptr) {
            text = "[" + text + "]";
        }
        if (!text.isEmpty() && (qobject_cast<const QPushButton*>(child) != nullptr) == buttons) {
            found.emplace_back(child->y(), child->x(), text.toStdString());
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> texts;
    for (const auto& [y, x, text] : found) {
        texts.push_back(text);
    }
    return texts;
}

TEST_F(Dialogs, EachDialogShowsItsTextsAndButtonsInOrder) {
    struct Expected {
        std::string action;
        QString caption;
        std::vector<std::string> texts;
        std::vector<std::string> buttons;
    };
    const std::vector<Expected> dialogs = {
        {"aboutAction",
         "About vekflash",
         {"VEK Flash Version 1.4", "Copyright (C) VEK Design", "USB driver: FTDI D2XX"},
         {"OK", "Restore Window Position"}},
        {"usbDescriptionAction",
         "USB Description String",
         {"In order to connect to the VEK Flash programmer, ",
          "this application will scan all attached USB",
          "devices looking for one with the description ", "string shown here.",
          "USB Description String : ", "[VEK Flash]",
          "This USB description string must be stored in",
          "the non-volatile (EEPROM) memory that is", "located on the VEK Flash programmer board.",
          "The VEK Flash programmer is shipped from the", "factory with this default setting."},
         {"OK"}},
        {"downloadDriversAction",
         "Driver Download Dialog",
         {"This dialog will download the most recent version of FTDI's drivers.  ",
          "This feature assumes your computer is currently connected to the internet. ",
          "Select the driver set to download by clicking one of these buttons :",
#ifdef __linux__
          "On Linux no download is needed when libftdi1 is installed (sudo apt install "
          "libftdi1-2)."
#endif
         },
         {"DLL drivers for VEK Flash programmer", "Standard DLL Drivers", "Standard VCP drivers",
          "OK"}},
    };
    Start();
    for (const Expected& expected : dialogs) {
        WithDialog(expected.action.c_str(), [&](QDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), expected.caption);
            EXPECT_TRUE(dialog.isModal());
            EXPECT_EQ(dialog.parentWidget(), window.get());
            EXPECT_EQ(Downwards(dialog, false), expected.texts) << expected.action;
            EXPECT_EQ(Downwards(dialog, true), expected.buttons) << expected.action;
            // About alone shows the application's icon.
            const auto* icon = dialog.findChild<QLabel*>("applicationIcon");
            EXPECT_EQ(icon != nullptr && !icon->pixmap().isNull(),
                      expected.action == "aboutAction");
        });
    }
    EXPECT_TRUE(answerer.messages.empty());
    EXPECT_TRUE(openedAddresses.empty());
}

TEST_F(Dialogs, RestoreWindowPositionMovesBothWindowsAndTheNextTickSavesIt) {
    Start();
    window->move(QPoint(420, 310));
    QCoreApplication::processEvents();
    const QSize windowSize = window->size();

    WithDialog("aboutAction", [&](QDialog& dialog) {
        const QSize dialogSize = dialog.size();
        dialog.findChild<QPushButton*>("restorePositionButton")->click();
        QCoreApplication::processEvents();

        EXPECT_EQ(dialog.frameGeometry().topLeft(), QPoint(200, 200));
        EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(100, 100));
        EXPECT_EQ(dialog.size(), dialogSize);
        EXPECT_EQ(window->size(), windowSize);
        EXPECT_TRUE(dialog.isVisible());
        // The tick saves the window's own corner, inside the frame.
        Tick();
        EXPECT_EQ(SavedPosition(), window->geometry().topLeft());
    });
}

TEST_F(Dialogs, EachLinkOpensItsAddressAndSaysOnceWithAnExclamationWhenItCannot) {
    struct Link {
        const char* menuAction;
        const char* dialogButton;  // in the Driver Download dialog, opened by menuAction
        std::string address;
    };
    const std::vector<Link> links = {
        {"gotoVekDesignAction", nullptr, "http://www.vekdesign.com"},
        {"gotoFtdiAction", nullptr, "http://www.ftdichip.com"},
        {"downloadDriversAction", "programmerDllDriversButton",
         "http://www.vekdesign.com/drivers/dllflash.zip"},
        {"downloadDriversAction", "standardDllDriversButton",
         "http://www.vekdesign.com/drivers/dll.zip"},
        {"downloadDriversAction", "standardVcpDriversButton",
         "http://www.vekdesign.com/drivers/vcp.zip"},
    };
    Start();
    std::vector<QMessageBox::Icon> icons;
    answerer.whileOpen = [&](QMessageBox& box) { icons.push_back(box.icon()); };
    for (const bool succeeds : {true, false}) {
        for (const Link& link : links) {
            SCOPED_TRACE(link.address + (succeeds ? " opened" : " not opened"));
            openerSucceeds = succeeds;
            openedAddresses.clear();
            answerer.messages.clear();
            icons.clear();
            if (link.dialogButton == nullptr) {
                Trigger(link.menuAction);
            } else {
                WithDialog(link.menuAction, [&](QDialog& dialog) {
                    dialog.findChild<QPushButton*>(link.dialogButton)->click();
                    // Several packages may be fetched in one visit.
                    EXPECT_TRUE(dialog.isVisible());
                });
            }
            EXPECT_EQ(openedAddresses, std::vector<std::string>{link.address});
            if (succeeds) {
                EXPECT_TRUE(answerer.messages.empty());
            } else {
                EXPECT_EQ(answerer.messages,
                          std::vector<std::string>{"Internet access not available."});
                EXPECT_EQ(icons, std::vector<QMessageBox::Icon>{QMessageBox::Warning});
            }
        }
    }
}

TEST_F(Dialogs, ADescriptionTypedIntoTheDialogDoesNotReachTheNextConnection) {
    sim.SetAttached(false);
    Start();
    WithDialog("usbDescriptionAction", [](QDialog& dialog) {
        auto* field = dialog.findChild<QLineEdit*>("descriptionField");
        field->selectAll();
        QTest::keyClicks(field, "Other Board");
        EXPECT_EQ(field->text(), "Other Board");
    });
    sim.SetAttached(true);
    sim.ClearLogs();
    answerer.messages.clear();

    Tick();
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"VEK Flash programmer ready."});
    EXPECT_GT(Calls("FT_OpenEx \"VEK Flash\" 2 -> 0"), 0);
    // Nothing kept between openings either.
    WithDialog("usbDescriptionAction", [](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit*>("descriptionField")->text(), "VEK Flash");
    });
}

}  // namespace
}  // namespace vek::test
