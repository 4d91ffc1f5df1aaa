// Program on every rebuild: what follows the changes of a watched file, and the system's
// notification of them.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "platform/file_changes.h"
#include "session/rebuild_watch.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

using Event = FileChanges::Event;

// Hands out the events of a script and records the time-outs asked for.
class ScriptedChanges : public FileChanges {
  public:
    explicit ScriptedChanges(std::deque<Event> script) : script_(std::move(script)) {}
    Event Wait(int timeoutMs) override {
        timeouts.push_back(timeoutMs);
        if (script_.empty()) {
            return Event::Interrupted;
        }
        const Event next = script_.front();
        script_.pop_front();
        return next;
    }
    std::vector<int> timeouts;

  private:
    std::deque<Event> script_;
};

TEST(Watch, OneRunPerRebuildOnceTheFileIsLeftAlone) {
    const Event C = Event::Changed, T = Event::TimedOut, I = Event::Interrupted, F = Event::Failed;
    struct Case {
        std::deque<Event> script;
        int runs, status;
        std::vector<int> timeouts;
        bool linkLasts = true;
    };
    const Case cases[] = {
        // Three rewrites, the last in several writes: three runs; Ctrl+C keeps the last status.
        {{C, T, C, T, C, C, C, T, I}, 3, 13, {-1, 300, -1, 300, -1, 300, 300, 300, -1}},
        // Ctrl+C before the first run, or while the file is still being written.
        {{I}, 0, 99, {-1}},
        {{C, C, I}, 0, 99, {-1, 300, 300}},
        // The notification failed.
        {{C, T, F}, 1, 98, {-1, 300, -1}},
        // A link that failed for good ends the watch with its run.
        {{C, T, C, T}, 1, 11, {-1, 300}, false},
    };
    for (const Case& c : cases) {
        ScriptedChanges changes(c.script);
        int runs = 0;
        const int status = WatchForRebuilds(
            changes,
            [&] {
                return RebuildRun{10 + ++runs, c.linkLasts};
            },
            99, 98);
        EXPECT_EQ(runs, c.runs);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(changes.timeouts, c.timeouts);
    }
}

TEST(Watch, AFileWithoutItsEndRecordIsHalfWritten) {
    TempFolder folder;
    const std::string whole = ":020000000528D1\n:00000001FF\n";
    struct Case {
        std::string text;
        bool halfWritten;
    };
    const Case cases[] = {
        {whole, false},
        {":020000000528D1\r\n:00000001FF", false},
        {":020000000528D1\n", true},
        {":020000000528D1\n:0000", true},
        {"", true},
        // An end record that is damaged, or not the last one.
        {":020000000528D1\n:00000001FE\n", true},
        {":00000001FF\n:020000000528D1\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path = folder.Write("rebuilt.hex", c.text);
        EXPECT_EQ(HalfWrittenProblem({path, "rebuilt.hex"}).empty(), !c.halfWritten);
    }
    EXPECT_FALSE(HalfWrittenProblem({Utf8FromPath(folder / "absent.hex"), "absent.hex"}).empty());
    EXPECT_EQ(HalfWrittenProblem({Utf8FromPath(folder / "rebuilt.hex"), "rebuilt.hex"}),
              "The HEX file rebuilt.hex does not end with its end record: it is being written, "
              "or was left half written. It was not programmed; waiting for the next change.");
}

// The system's notification: the file written, replaced or removed counts, another file of
// its folder does not.
TEST(Watch, TheSystemNotifiesChangesOfTheFileOnly) {
    TempFolder folder;
    const std::string path = folder.Write("app.hex", "one");
    const std::unique_ptr<FileChanges> changes = FileChanges::Watch(folder / "app.hex");
    ASSERT_NE(changes, nullptr);
    EXPECT_EQ(changes->Wait(0), Event::TimedOut);
    folder.Write("app.map", "other");
    EXPECT_EQ(changes->Wait(50), Event::TimedOut);
    folder.Write("app.hex", "two");
    EXPECT_EQ(changes->Wait(5000), Event::Changed);
    while (changes->Wait(50) == Event::Changed) {
    }
    folder.Write("app.tmp", "three");
    std::filesystem::rename(folder / "app.tmp", folder / "app.hex");
    EXPECT_EQ(changes->Wait(5000), Event::Changed);
    EXPECT_EQ(FileChanges::Watch(folder / "absent" / "app.hex"), nullptr);
}

}  // namespace
}  // namespace vek::test
