// program --watch in a process of its own: each rebuild of the file is programmed once, a
// half-written or damaged one is reported, and Ctrl+C ends with the last run's status.
#include <chrono>
#include <thread>

#include "child_process.h"
#include "cli_fixture.h"

namespace vek::test {
namespace {

class Watch : public Cli {
  protected:
    // Waits until stderr so far holds `text` `times` times; the program runs on its own.
    void AwaitOnStderr(const Launched& run, const std::string& text, int times) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int seen = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string err = ReadFile(run.errPath);
            seen = 0;
            for (std::size_t at = err.find(text); at != std::string::npos;
                 at = err.find(text, at + 1)) {
                ++seen;
            }
            if (seen >= times) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ADD_FAILURE() << "not " << times << " times on stderr: " << text;
    }
    void Write(const std::string& text) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }
    static std::string Hex(const std::string& dataRecord) {
        return dataRecord + "\n:02400E00F13F80\n:00000001FF\n";
    }

    std::string file = Utf8FromPath(folder / "build.hex");
};

TEST_F(Watch, EachRebuildIsProgrammedUntilCtrlC) {
    Write(Hex(":020000000528D1"));
    const Launched run =
        Launch(Args("program", "-d", "16F84A", "--watch", file), "16F84A", "pic", "", false, "w");
    AwaitOnStderr(run, "Watching " + file + "; Ctrl+C ends.\n", 1);
    const std::string done = "Programming complete.\nprogram: success; watching " + file;
    int builds = 0;
    for (const char* record :
         {":020000000628D0", ":04000000072807289E", ":060000000828082808286A"}) {
        Write(Hex(record));
        AwaitOnStderr(run, done, ++builds);
    }
    Write(":020000000928CD\n");
    AwaitOnStderr(run,
                  "It was not programmed; waiting for the next change.\n"
                  "program: file; watching ",
                  1);
    Write(Hex(":08000000092809280928092835"));
    AwaitOnStderr(run, "Checksum error in HEX file (line 1).\nprogram: file; watching ", 1);
    InterruptChild(run.child);
    const CliRun ended = Collect(run);
    EXPECT_EQ(ended.status, 3);
    EXPECT_EQ(ended.out, "");
}

TEST_F(Watch, WatchGoesWithPlainProgramRunsOnly) {
    for (const auto& arguments :
         {Args("verify", "-d", "16F84A", "--watch", PIC_SAMPLE),
          Args("program", "-d", "16F84A", "--watch", "--json", PIC_SAMPLE),
          Args("program", "-d", "16F84A", "--watch", "--log", "x.csv", PIC_SAMPLE),
          Args("program", "-d", "16F84A", "--watch", "--job", "x.vekjob", PIC_SAMPLE)}) {
        const CliRun run = Run(arguments);
        EXPECT_EQ(run.status, 2);
    }
    EXPECT_EQ(Run(Args("program", "-d", "16F84A", "--watch", "--loop", PIC_SAMPLE)).err,
              "vekflash-cli: --watch programs the file it watches: --loop and --job are runs of "
              "their own\n" +
                  USAGE_HINT);
    const CliRun noFolder = Run(Args("program", "-d", "16F84A", "--watch", "/nonexistent/x.hex"));
    EXPECT_EQ(noFolder.status, 3);
    EXPECT_EQ(noFolder.err, "Error: the folder of /nonexistent/x.hex cannot be watched.\n");
}

}  // namespace
}  // namespace vek::test
