// kvxctl against kvxsim on a pseudo-terminal: exit codes, what reaches the wire (kvxsim records
// every byte it hears), the files it reads and writes and its CSV log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "params/parameter_file.h"
#include "params/parameter_set.h"
#include "records/settings.h"
#include "support/process_test.h"

namespace {

using ::testing::HasSubstr;

// A running kvxsim that records what it hears.
struct Sim : Kvxsim {
    std::string record = folder / "heard.bin";

    bool Start(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--record", record, "--seed", "7"});
        return Kvxsim::Start(std::move(args));
    }
    // What it heard, once want bytes have arrived or half a second has passed.
    std::vector<uint8_t> Heard(size_t want = 0) const {
        WaitUntil([&] { return want > 0 && ReadBytes(record).size() >= want; }, 500);
        return ReadBytes(record);
    }
};

struct CtlRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    int elapsedMs = 0;
};

// kvxctl running in folder (its working directory), its output going to files there.
struct Ctl : Process {
    const TempFolder& folder;
    Clock::time_point start = Clock::now();

    // stdout goes to out (a path) when given.
    Ctl(std::vector<std::string> args, const TempFolder& where, std::string out = {})
        : folder(where) {
        args.insert(args.begin(), Program("KVXCTL_PATH", KVXCTL_BUILT));
        out = out.empty() ? folder / "stdout.txt" : out;
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open((folder / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid = Spawn(args, folder.path, {}, outFd, err);
        close(outFd);
        close(err);
    }
    CtlRun Finish() {
        CtlRun run;
        if (pid > 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid = -1;
        }
        run.elapsedMs = ElapsedMs(start);
        run.out = ReadText(folder / "stdout.txt");
        run.err = ReadText(folder / "stderr.txt");
        return run;
    }
};

CtlRun RunCtl(const std::vector<std::string>& args, const TempFolder& folder,
              const std::string& out = {}) {
    return Ctl(args, folder, out).Finish();
}

// A kvxsim for kvxctl to talk to, and kvxctl's working folder.
class Kvxctl : public ::testing::Test {
  protected:
    CtlRun OnSim(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", sim.link});
        return RunCtl(args, work);
    }
    Sim sim;
    TempFolder work;
};

// The fields of every line; a trailing comma leaves an empty last field.
std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : Lines(text)) {
        std::vector<std::string> fields;
        size_t from = 0;
        for (size_t comma; (comma = line.find(',', from)) != std::string::npos; from = comma + 1) {
            fields.push_back(line.substr(from, comma - from));
        }
        fields.push_back(line.substr(from));
        rows.push_back(fields);
    }
    return rows;
}

TEST_F(Kvxctl, WriteThenReadSaveRoundTripsThroughTheDevice) {
    ASSERT_TRUE(sim.Start({"--identity", "UNIT 12"}));
    const std::vector<uint8_t> sent = DistinctRecord("FROM FILE");
    WriteBytes(work / "p.kvx", sent);
    const CtlRun write = OnSim({"write", "p.kvx"});
    EXPECT_EQ(write.exitCode, 0) << write.err;
    std::vector<uint16_t> expected = LoadWords(sent);
    expected.push_back(CMD_POLL);  // the confirmation
    EXPECT_EQ(WordsOf(sim.Heard(expected.size() * 6)), expected);

    const CtlRun readRun = OnSim({"read", "--save=unit.kvx"});
    ASSERT_EQ(readRun.exitCode, 0) << readRun.err;
    const auto lines = Lines(readRun.out);
    ASSERT_EQ(lines.size(), 22u) << readRun.out;
    EXPECT_EQ(lines[1].substr(0, 40), " 1  limit1Setpoint       15  15 %") << lines[1];
    EXPECT_THAT(lines[10], HasSubstr("+dP/dt"));
    EXPECT_THAT(lines[14], HasSubstr("1.01 s"));
    const auto file = ReadBytes(work / "unit.kvx");
    ASSERT_EQ(file.size(), 88u);
    EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + 44, file.begin()));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data()) + 44), "UNIT 12");

    const CtlRun json = OnSim({"read", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out.rfind("{\"port\": \"" + sim.link + "\", \"identity\": \"UNIT 12\"", 0), 0u)
        << json.out;
    EXPECT_THAT(json.out, HasSubstr("{\"index\": 20, \"name\": \"p1Min\", \"raw\": 52, "));
}

// The last word is the one a confirmation that stops early would miss.
TEST_F(Kvxctl, WriteNamesTheWordTheDeviceStoredWrongAndExits3) {
    ASSERT_TRUE(sim.Start({"--wrong-word", "21"}));
    WriteBytes(work / "p.kvx", DistinctRecord("FROM FILE"));
    const CtlRun run = OnSim({"write", "p.kvx"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr("word 21 autoShutDown: sent 0, reported 1"));
    EXPECT_THAT(run.err, ::testing::Not(HasSubstr("word 20")));
}

// Every command that needs the device exits 2 when it does not answer; an interrupted write
// exits 130. Each runs against a device of its own, all at once.
TEST_F(Kvxctl, NoReplyExits2AndAnInterruptedWriteExits130) {
    WriteBytes(work / "p.kvx", DistinctRecord("FROM FILE"));
    const std::string file = work / "p.kvx";
    const std::vector<std::vector<std::string>> commands = {
        {"identity"}, {"read"},         {"write", file}, {"set", "limit1Setpoint=42"},
        {"key"},      {"reset", "min"}, {"write", file}};
    std::vector<std::unique_ptr<TempFolder>> folders;  // stdout and stderr of each
    std::vector<std::unique_ptr<Sim>> sims;
    std::vector<std::unique_ptr<Ctl>> runs;
    for (size_t i = 0; i < commands.size(); ++i) {
        sims.push_back(std::make_unique<Sim>());
        // A device that ignores polls still streams values; key and reset wait for those.
        const bool streams = i + 1 == commands.size();
        ASSERT_TRUE(sims[i]->Start(i >= 4 && !streams
                                       ? std::vector<std::string>{"--silence-after", "0"}
                                       : std::vector<std::string>{"--ignore-polls"}));
        auto args = commands[i];
        args.insert(args.begin(), {"--port", sims[i]->link});
        folders.push_back(std::make_unique<TempFolder>());
        runs.push_back(std::make_unique<Ctl>(args, *folders.back()));
    }
    // Interrupted while it sends its words, one per 47 ms.
    const std::string& record = sims.back()->record;
    EXPECT_TRUE(WaitUntil([&] { return ReadBytes(record).size() >= 12; }, 5000));
    kill(runs.back()->pid, SIGINT);
    for (size_t i = 0; i < commands.size(); ++i) {
        const CtlRun run = runs[i]->Finish();
        const bool interrupted = i + 1 == commands.size();
        EXPECT_EQ(run.exitCode, interrupted ? 130 : 2) << commands[i][0] << " " << run.err;
        EXPECT_THAT(run.err, HasSubstr(interrupted ? "interrupted" : "no"));
        if (i == 0) {
            EXPECT_GE(run.elapsedMs, 1950);
            EXPECT_LT(run.elapsedMs, 4000);
        }
        // Only a write sends before it hears the device; an interrupted one stops sending.
        const auto heard = WordsOf(sims[i]->Heard());
        if (commands[i][0] == "write") {
            // The words sent, none of them confirmed.
            EXPECT_THAT(run.err, HasSubstr(interrupted ? "interrupted; not confirmed: limit1Mode"
                                                       : "not confirmed: limit1Mode limit1Setpoint "
                                                         "limit1Tr"));
            EXPECT_THAT(run.err, HasSubstr(interrupted ? "; the device may hold some of them"
                                                       : "p1Min autoShutDown; the device may"));
            EXPECT_EQ(heard.size(), interrupted ? heard.size() : 23u);
            EXPECT_LT(heard.size(), interrupted ? 20u : 24u);
        } else {
            EXPECT_EQ(heard, std::vector<uint16_t>(i < 4 ? 1 : 0, CMD_POLL)) << commands[i][0];
        }
    }
}

// Ctrl+C while kvxctl waits for the reply to its poll ends it at once, not after the 2 s.
TEST_F(Kvxctl, CtrlCWhileWaitingForTheReplyEndsAtOnce) {
    ASSERT_TRUE(sim.Start({"--ignore-polls"}));
    Ctl run({"--port", sim.link, "read"}, work);
    ASSERT_TRUE(WaitUntil([&] { return ReadBytes(sim.record).size() >= 6; }, 5000));
    const auto asked = Clock::now();
    kill(run.pid, SIGINT);
    const CtlRun done = run.Finish();
    EXPECT_EQ(done.exitCode, 130) << done.err;
    EXPECT_LT(ElapsedMs(asked), 1000);
    EXPECT_THAT(done.err, ::testing::Not(HasSubstr("no reply")));
}

TEST_F(Kvxctl, RefusedInputSendsNothing) {
    auto record = DistinctRecord("FROM FILE");
    WriteBytes(work / "short.kvx", std::vector<uint8_t>(record.begin(), record.begin() + 87));
    WriteBytes(work / "empty.kvx", {});
    std::filesystem::create_directory(work / "folder.kvx");
    record[2 * limit1Mode] = 10;  // the code 3010 would set limit2Mode instead
    WriteBytes(work / "band.kvx", record);
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"set", "limit1Setpoint=4"}, "limit1Setpoint=4 is out of range: 5 to 99 %"},
        {{"set", "limit1Setpoint=-5 %"}, "limit1Setpoint=-5 is out of range: 5 to 99 %"},
        {{"set", "limit1Setpoint=abc"}, "limit1Setpoint: not a number: 'abc'"},
        {{"set", "limit1Setpoint=50.5 %"}, "limit1Setpoint: not a whole number: '50.5'"},
        {{"set", "filter=5s"}, "not a number nor one of its choices: '5s' (0 to 3 (0 None, 1 3s"},
        {{"set", "filter=4"}, "filter=4 is out of range: 0 to 3"},
        {{"set", "limit1Tr=1000 s"}, "limit1Tr=1000 is out of range: a time in seconds"},
        {{"set", "Tr=1.25"}, "unknown parameter 'Tr'"},
        {{"write", "short.kvx"}, "short.kvx is too short (87 bytes, a parameter file has 88)"},
        {{"write", "empty.kvx"}, "empty.kvx is empty; nothing sent"},
        {{"write", "folder.kvx"}, "cannot read folder.kvx: it is a folder, not a parameter file"},
        {{"write", "band.kvx"}, "word 0 limit1Mode = 10 is outside its band"},
        {{"write", "missing.kvx"}, "cannot read missing.kvx: No such file or directory"},
        {{"write", "--", "-p.kvx"}, "cannot read -p.kvx: No such file or directory"},
    };
    ASSERT_TRUE(sim.Start());
    for (const auto& c : cases) {
        const CtlRun run = OnSim(c.args);
        EXPECT_EQ(run.exitCode, 1) << c.args[1];
        EXPECT_THAT(run.err, HasSubstr(c.message));
    }
    EXPECT_TRUE(sim.Heard().empty());
    EXPECT_FALSE(std::filesystem::exists(work / "missing.kvx"));
}

TEST_F(Kvxctl, SetTimerRangeSendsTheRangeThenBothTimesInTheNewUnit) {
    ASSERT_TRUE(sim.Start());
    // kvxsim starts with hundredths: three different times first, then the range alone.
    ASSERT_EQ(OnSim({"set", "limit1Tr=1.1", "limit2Tr=2.2", "ts=3.3"}).exitCode, 0);
    const CtlRun run = OnSim({"set", "timerRange=1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<uint16_t> expected = {CMD_POLL, 20110, 30220, 10330, CMD_POLL, CMD_POLL,
                                            3031,     20011, 30022, 10033, CMD_POLL};
    EXPECT_EQ(WordsOf(sim.Heard(expected.size() * 6)), expected);

    // Times typed in seconds, in the unit now in force; p1Max and p1Min checked as a pair.
    const CtlRun more = OnSim(
        {"set", "limit2Tr=12.5", "p1Min=20", "p1Max=30", "limit1Mode=min", "dpdtMode=\u00B1dP/dt"});
    EXPECT_EQ(more.exitCode, 0) << more.err;
    const std::vector<uint16_t> next = {CMD_POLL, 3001, 30125, 3022, 3830, 3720, CMD_POLL};
    auto heard = WordsOf(sim.Heard((expected.size() + next.size()) * 6));
    heard.erase(heard.begin(), heard.begin() + static_cast<long>(expected.size()));
    EXPECT_EQ(heard, next);

    const auto table = Lines(OnSim({"read"}).out);
    ASSERT_EQ(table.size(), 22u);
    EXPECT_EQ(table[7], " 7  limit2Tr            125  12.5 s");
    EXPECT_EQ(table[10], "10  dpdtMode              2  \u00B1dP/dt");
    EXPECT_EQ(table[13], "13  timerRange            1  1000 (times in 0.1 s)");

    const CtlRun refused = OnSim({"set", "p1Max=25"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("p1Max must be p1Min + 10 to 100"));
}

TEST_F(Kvxctl, MonitorReportsLinkLossOnceResumesAndStopsCleanlyOnCtrlC) {
    Sim first;
    ASSERT_TRUE(first.Start());
    Ctl monitor({"--port", first.link, "monitor", "--csv"}, work);
    SleepMs(600);
    first.Stop();  // the device goes away for 1.2 seconds, then is back under the same name
    SleepMs(1200);
    Sim back;
    back.link = first.link;
    ASSERT_TRUE(back.Start());
    // The link looks for the device once a second.
    SleepMs(1500);
    kill(monitor.pid, SIGINT);
    const CtlRun run = monitor.Finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_LT(run.elapsedMs, 6000);

    const auto rows = CsvRows(run.out);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(Lines(run.out)[0], "time,measurement (%),max (%),min (%),dpdt (%),status");
    size_t lost = 0;
    size_t firstLost = 0;
    size_t after = 0;
    int peaksApart = 0;
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 6u) << i;
        if (!rows[i][2].empty() && !rows[i][3].empty()) {  // the max peak column, then the min
            EXPECT_GE(std::stoi(rows[i][2]), std::stoi(rows[i][3])) << i;
            peaksApart += std::stoi(rows[i][2]) > std::stoi(rows[i][3]) ? 1 : 0;
        }
        if (rows[i][5] == "link lost") {
            EXPECT_EQ(rows[i][1], "") << "no values in the row of the event";
            firstLost = lost++ == 0 ? i : firstLost;
        } else if (lost > 0 && !rows[i][1].empty()) {
            ++after;
        }
    }
    EXPECT_EQ(lost, 1u) << run.out;
    EXPECT_GT(firstLost, 20u) << "values before the loss";
    EXPECT_GT(after, 10u) << "values once the device is back";
    EXPECT_GT(peaksApart, 0) << run.out;
}

TEST_F(Kvxctl, PortFromTheSettingsFileOrNamedInEveryError) {
    ASSERT_TRUE(sim.Start({"--identity", "BY SETTINGS"}));
    SettingsRecord stored;
    stored.comPort = 13;  // COM3, marked as not opened last time: still the chosen port
    uint8_t image[kSettingsFileSize];
    SettingsToBytes(stored, image);
    WriteBytes(work / "KVXMon.cnf", {image, image + kSettingsFileSize});
    setenv("KVXMON_COM3", sim.link.c_str(), 1);
    const CtlRun run = RunCtl({"identity"}, work);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "BY SETTINGS\n");
    unsetenv("KVXMON_COM3");

    const CtlRun missing = RunCtl({"--port", "/nonexistent/ttyX", "identity"}, work);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "kvxctl: /nonexistent/ttyX: no such device\n");
    const CtlRun notTty = RunCtl({"--port", "/dev/null", "read"}, work);
    EXPECT_EQ(notTty.exitCode, 1);
    EXPECT_EQ(notTty.err, "kvxctl: /dev/null: not a serial port\n");
    setenv("KVXMON_COM7", "/nonexistent/ttyY", 1);
    const CtlRun mapped = RunCtl({"--port", "7", "key"}, work);
    EXPECT_EQ(mapped.err, "kvxctl: COM7 (/nonexistent/ttyY): no such device\n");
    unsetenv("KVXMON_COM7");
}

TEST_F(Kvxctl, HelpForEveryCommandAndUsageErrors) {
    // Every command's help is checked against the man page (man_options.sh); here its two forms.
    EXPECT_EQ(RunCtl({"set", "--help"}, work).out, RunCtl({"help", "set"}, work).out);
    EXPECT_EQ(RunCtl({"help"}, work).out.rfind("Usage: kvxctl [--port COMn|N|PATH]", 0), 0u);
    const CtlRun version = RunCtl({"--version"}, work);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("kvxctl ", 0), 0u);

    // Usage errors: exit 1 and the one line that names the fault.
    const struct {
        std::vector<std::string> args;
        const char* error;  // the whole of stderr, when given
    } cases[] = {
        {{"--bogus", "read"}, "kvxctl: unknown option '--bogus'; see kvxctl --help\n"},
        {{"read", "--csv"}, "kvxctl: unknown option '--csv' for read; see kvxctl read --help\n"},
        {{"read", "--json=yes"}, "kvxctl: option '--json' takes no value; see kvxctl --help\n"},
        {{"identity", "--port"}, "kvxctl: option '--port' needs a value; see kvxctl --help\n"},
        {{"frobnicate"}, "kvxctl: unknown command 'frobnicate'; see kvxctl --help\n"},
        {{"help", "frobnicate"}, nullptr},
        {{"monitor", "--csv", "--json"}, nullptr},
        {{"monitor", "--duration=x"}, nullptr},
        {{"reset", "avg"}, nullptr},
        {{"write"}, nullptr},
        {{}, nullptr},
    };
    for (const auto& c : cases) {
        const CtlRun run = RunCtl(c.args, work);
        EXPECT_EQ(run.exitCode, 1) << (c.args.empty() ? "" : c.args[0]);
        if (c.error != nullptr) {
            EXPECT_EQ(run.err, c.error);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(work / "KVXMon.cnf")) << "kvxctl never creates it";
}

// A write to stdout that fails is an error, named on stderr; only the monitor's reader may go
// away (| head) without one.
TEST_F(Kvxctl, FailedOutputIsAnErrorButAClosedPipeEndsTheMonitorQuietly) {
    ASSERT_TRUE(sim.Start());
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--port", sim.link, "read", "--json"},
                                               {"--port", sim.link, "monitor", "--duration", "1"},
                                               {"help", "set"}}) {
        const CtlRun run = RunCtl(args, work, "/dev/full");
        EXPECT_EQ(run.exitCode, 1) << args.back();
        EXPECT_EQ(run.err, "kvxctl: cannot write the output: No space left on device\n");
    }
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);  // no end of it in the child but its output
    Ctl monitor({"--port", sim.link, "monitor"}, work, "/proc/self/fd/" + std::to_string(fds[1]));
    close(fds[0]);  // the reader goes away
    close(fds[1]);
    const CtlRun run = monitor.Finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_LT(run.elapsedMs, 5000);
}

// Messages that reach kvxctl in one burst (here: the process stopped for 300 ms) are stamped by
// their place on the line, one JSON object a line.
TEST_F(Kvxctl, MonitorJsonStampsEveryMessageByItsPlaceOnTheLine) {
    ASSERT_TRUE(sim.Start());
    Ctl monitor({"--port", sim.link, "monitor", "--json", "--duration", "1.5"}, work);
    SleepMs(600);
    kill(monitor.pid, SIGSTOP);
    SleepMs(300);
    kill(monitor.pid, SIGCONT);
    const CtlRun run = monitor.Finish();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GE(run.elapsedMs, 1500);
    EXPECT_LT(run.elapsedMs, 3500);
    EXPECT_TRUE(sim.Heard().empty()) << "the monitor sends nothing";
    const auto lines = Lines(run.out);
    ASSERT_GE(lines.size(), 50u);
    int64_t previous = -1;
    for (const std::string& line : lines) {
        // {"time": "2026-12-07T18:20:01.123+01:00", "measurement": 50, "max": 80, ...}
        ASSERT_EQ(line.rfind("{\"time\": \"", 0), 0u) << line;
        ASSERT_EQ(line.back(), '}') << line;
        const size_t at = line.find("\", \"measurement\": ");
        ASSERT_NE(at, std::string::npos) << line;
        const int measurement = std::stoi(line.substr(at + 18));  // kvxsim's sine: 20 to 80 %
        EXPECT_TRUE(measurement >= 20 && measurement <= 80) << line;
        const int64_t ms = std::stoll(line.substr(21, 2)) * 3600000 +
                           std::stoll(line.substr(24, 2)) * 60000 +
                           std::stoll(line.substr(27, 2)) * 1000 + std::stoll(line.substr(30, 3));
        // A short message is 4 bytes: 4.2 ms at 9600 baud.
        EXPECT_GE(ms - previous, 4) << line;
        previous = ms;
    }
}

TEST_F(Kvxctl, ResetAndKeySendTheirCommandsOnly) {
    ASSERT_TRUE(sim.Start());
    std::vector<uint16_t> expected;
    for (const auto& [args, word] : std::vector<std::pair<std::vector<std::string>, uint16_t>>{
             {{"reset", "max"}, CMD_RESET_MAX_PEAK},
             {{"reset", "min"}, CMD_RESET_MIN_PEAK},
             {{"reset", "dpdt"}, CMD_RESET_DPDT_PEAK},
             {{"key"}, CMD_SPACE}}) {
        EXPECT_EQ(OnSim(args).exitCode, 0) << args[0];
        expected.push_back(word);
    }
    EXPECT_EQ(WordsOf(sim.Heard(expected.size() * 6)), expected);
}

}  // namespace
