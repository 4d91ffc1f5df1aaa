// Where the windows around the main window open: beside it without covering it or each other,
// whole on the screen, and the file dialogs centred over it, wide enough for their columns.
#include "window_placement.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

const QRect SMALL(0, 0, 1280, 800);
const QRect LARGE(0, 0, 1920, 1080);

TEST(FreeSpot, RightThenLeftThenBelowWholeOnTheScreen) {
    struct Case {
        QRect screen, main;
        std::vector<QRect> taken;
        QPoint wanted;
        QSize size;
        QPoint expected;
    };
    const Case cases[] = {
        // The wanted spot is free.
        {LARGE, {100, 100, 400, 300}, {}, {600, 50}, {300, 200}, {600, 50}},
        // The wanted spot covers the main window.
        {LARGE, {100, 100, 400, 300}, {}, {300, 150}, {300, 200}, {508, 100}},
        // Right is taken at the top: under that window.
        {LARGE, {100, 100, 400, 300}, {{508, 100, 300, 200}}, {300, 150}, {300, 200}, {508, 308}},
        // No room to the right.
        {SMALL, {1000, 100, 270, 300}, {}, {1100, 100}, {300, 200}, {692, 100}},
        // The main window as wide as the screen.
        {SMALL, {0, 0, 1280, 500}, {}, {1288, 0}, {300, 200}, {0, 508}},
        // Below is taken on its left.
        {SMALL, {0, 0, 1280, 500}, {{0, 508, 300, 200}}, {1288, 0}, {300, 200}, {308, 508}},
        // No room anywhere: the wanted spot on the screen.
        {SMALL, {0, 0, 1280, 700}, {}, {1288, 600}, {300, 200}, {980, 600}},
        // Beside the main window, moved up onto the screen.
        {SMALL, {400, 700, 300, 100}, {}, {500, 750}, {300, 200}, {708, 600}},
        // A window larger than the screen keeps its corner on it.
        {SMALL, {0, 0, 200, 200}, {}, {-50, -50}, {1400, 900}, {0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FreeSpot(c.screen, c.main, c.taken, c.wanted, c.size, 8), c.expected)
            << c.expected.x() << "," << c.expected.y();
    }
}

class Placement : public WindowTest {};

// Leaves the columns of a file dialog that shows narrower than their titles, as a header kept
// from larger letters would.
class NarrowColumns : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QFileDialog*>(watched);
        auto* columns = dialog == nullptr ? nullptr : dialog->findChild<QTreeView*>("treeView");
        if (event->type() == QEvent::Show && columns != nullptr) {
            for (int column = 0; column < columns->header()->count(); ++column) {
                columns->header()->resizeSection(column, 8);
            }
        }
        return false;
    }
};

// An SX target's two editors and the Hex Data window around a main window in the middle of the
// screen.
TEST_F(Placement, EditorAndHexDataOpenBesideEachOtherOnTheScreen) {
    Save("VEKFlashProcSelection", 8);
    Start();
    const QRect screen = window->screen()->availableGeometry();
    if (screen.width() < 1280) {
        GTEST_SKIP() << "runs on screens of 1280x800 and more (tests/gui/screens)";
    }
    window->move(screen.center() - window->rect().center());
    OpenThroughDialog(NativePath(VEK_EXAMPLES_DIR "/blink-sx28.hex"));
    Press("fuseSetButton");
    Press("fuseXSetButton");
    QCoreApplication::processEvents();
    std::vector<QRect> shown{window->frameGeometry()};
    for (const QWidget* around : window->findChildren<QWidget*>()) {
        if (around->isWindow() && around->isVisible()) {
            shown.push_back(around->frameGeometry());
        }
    }
    ASSERT_EQ(shown.size(), 4u);
    for (size_t one = 0; one < shown.size(); ++one) {
        EXPECT_TRUE(screen.contains(shown[one])) << one;
        for (size_t other = one + 1; other < shown.size(); ++other) {
            EXPECT_FALSE(shown[one].intersects(shown[other])) << one << " " << other;
        }
    }
    // The comment line, the longest, shows whole.
    EXPECT_EQ(Find<QListWidget>("hexDataList")->horizontalScrollBar()->maximum(), 0);
}

TEST_F(Placement, FileDialogsOpenCentredOverTheMainWindowWithWholeColumns) {
    Start();
    const QRect screen = window->screen()->availableGeometry();
    const QPoint centred = screen.center() - window->frameGeometry().center() + window->pos();
    NarrowColumns narrow;
    QApplication::instance()->installEventFilter(&narrow);
    for (const QPoint corner : {centred, screen.topLeft()}) {
        window->move(corner);
        WithModal("openHexFileAction", [&](QDialog& dialog) {
            QCoreApplication::processEvents();  // as the dialog is when the person sees it
            const QRect shown = dialog.frameGeometry();
            EXPECT_TRUE(screen.contains(shown));
            if (corner == centred) {
                EXPECT_LE((shown.center() - window->frameGeometry().center()).manhattanLength(), 1);
            }
            auto* columns = dialog.findChild<QTreeView*>("treeView");
            ASSERT_NE(columns, nullptr);
            QHeaderView* header = columns->header();
            EXPECT_EQ(header->count(), 4);
            for (int column = 0; column < header->count(); ++column) {
                EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column)) << column;
            }
            EXPECT_LE(header->length(), columns->viewport()->width());
            dialog.reject();
        });
    }
}

}  // namespace
}  // namespace vek::test
