// "Program When File Changes": the chosen file is programmed once it has been left alone after
// each change, a half-written or damaged one is reported instead, and the note says what is
// watched. The quiet time runs out when the test says, not on the clock.
#include <fstream>

#include "vek_sim.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

class Watch : public WindowTest {
  protected:
    // The file as a build writes it, then the quiet time run out as soon as the window has
    // heard of the change. A late notice of the same change programs nothing more.
    void Rebuild(const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        auto* quiet = Find<QTimer>("rebuildTimer");
        EXPECT_TRUE(QTest::qWaitFor([&] { return quiet->isActive(); }, 5000));
        EXPECT_EQ(quiet->interval(), 300);
        QMetaObject::invokeMethod(quiet, "timeout");
        QCoreApplication::processEvents();
    }
    // A program of one word at 0, with the configuration word 3FF1.
    static std::string Hex(const std::string& dataRecord) {
        return dataRecord + "\n:02400E00F13F80\n:00000001FF\n";
    }

    std::string path = InFolder("build.hex");
};

TEST_F(Watch, NeedsAFileProgramsEachRebuildOnceAndIsNotKeptAcrossStarts) {
    Start();
    auto* item = Find<QAction>("programWhenFileChangesAction");
    auto* note = Find<QLabel>("watchingLabel");
    Trigger("programWhenFileChangesAction");
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"Error: No Hex datafile selected."});
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(note->isVisible());

    std::ofstream(path) << Hex(":020000000528D1");
    OpenThroughDialog(path);
    Trigger("programWhenFileChangesAction");
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), "watching build.hex");
    answerer.messages.clear();

    // Of different lengths, so that no two versions can look alike.
    const std::pair<const char*, int> builds[] = {{":020000000628D0", 0x2806},
                                                  {":04000000072807289E", 0x2807},
                                                  {":060000000828082808286A", 0x2808}};
    for (const auto& [record, word] : builds) {
        Rebuild(Hex(record));
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), word);
    }
    EXPECT_EQ(answerer.messages, std::vector<std::string>(3, "Programming complete."));

    // Half written, or with a damaged record: reported, and the chip keeps the last build.
    answerer.messages.clear();
    Rebuild(":020000000928CD\n:02400E00F13F80\n");
    Rebuild(Hex(":08000000092809280928092835"));
    ASSERT_EQ(answerer.messages.size(), 2u);
    EXPECT_EQ(answerer.messages[1], "Checksum error in HEX file (line 1).");
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x2808);

    // Off again: the note goes and the file is no longer watched. On, it is not kept.
    Trigger("programWhenFileChangesAction");
    EXPECT_FALSE(note->isVisible());
    EXPECT_TRUE(Find<QFileSystemWatcher>("fileWatcher")->files().isEmpty());
    Trigger("programWhenFileChangesAction");
    ASSERT_TRUE(item->isChecked());
    Start();
    EXPECT_FALSE(Find<QAction>("programWhenFileChangesAction")->isChecked());
}

}  // namespace
}  // namespace vek::test
