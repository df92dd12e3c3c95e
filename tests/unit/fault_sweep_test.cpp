// A silent installation with each of its file and registry calls failing in
// turn, and stopped dead at each of them: it never crashes or leaks, tells only
// what the installer tells, and a second run after a stop installs completely.
#include "deploy/install_sequence.h"
#include "unit/deploy_fixture.h"

#include <string>
#include <vector>

namespace {

int StartSilent() {
    char line[] = "setmosrf32";
    return WinMain(nullptr, nullptr, line, SW_SHOWNORMAL);
}

void Prepare(SimMachine& machine) { machine.SetResource("QOVIMOZ", "MOZ", MakeArchive(DeployEntries())); }

// The beginnings of every message a silent installation may show.
bool KnownMessage(const std::string& text) {
    static const char* const kStarts[] = {
        "没有成功解压复制", "文件解压不完整，请到智能墨川网站", "没有成功复制", "　　你以前安装的墨川五笔正在使用",
        "在WIN2000和WIN NT系统中安装本软件时", "Software open error", "内存不足",
    };
    for (const char* start : kStarts)
        if (text.compare(0, std::strlen(start), start) == 0) return true;
    return false;
}

bool InstalledCompletely(const SimMachine& machine) {
    return machine.ReadFile("c:\\morahu2\\morahu32.ime") == Module("morahu4.ime", "7.4") &&
           machine.ReadFile("c:\\windows\\system32\\morahu4.ime") == Module("morahu64.ime", "7.4") &&
           machine.ReadFile("c:\\windows\\syswow64\\morahu4.ime") == Module("morahu4.ime", "7.4") &&
           !machine.FileExists("c:\\morahu2\\mora320.ime") &&
           machine.String(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "momcsjgl")
               .has_value();
}

long CallsOfACleanRun() {
    TestMachine machine;
    Prepare(machine);
    long before = machine.CallsMade();
    StartSilent();
    EXPECT_TRUE(InstalledCompletely(machine)) << "the clean run";
    return machine.CallsMade() - before;
}

}  // namespace

TEST(FaultSweep, EveryCallOfASilentInstallationFailing) {
    const long total = CallsOfACleanRun();
    ASSERT_GT(total, 100);
    const DWORD kErrors[] = {ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION};
    for (long n = 1; n <= total; ++n) {
        TestMachine machine;
        Prepare(machine);
        machine.FailCall(machine.CallsMade() + n, kErrors[n % 3]);
        EXPECT_EQ(StartSilent(), 0) << "call " << n;
        EXPECT_EQ(machine.LiveGlobalBlocks(), 0u) << "call " << n;
        for (const SimMessageBox& box : machine.MessageBoxes())
            EXPECT_TRUE(KnownMessage(box.text)) << "call " << n << ": " << box.text;
    }
}

TEST(FaultSweep, StoppedDeadAtEveryCallThenRunAgain) {
    const long total = CallsOfACleanRun();
    for (long n = 1; n <= total; ++n) {
        TestMachine machine;
        Prepare(machine);
        machine.StopAtCall(machine.CallsMade() + n);
        bool stopped = false;
        try {
            StartSilent();
        } catch (const SimStop&) {
            stopped = true;
        }
        EXPECT_TRUE(stopped) << "call " << n;
        // A new process: nothing of the dead one's state is left.
        machine.StopAtCall(0);
        ResetInstallContext();
        size_t boxes = machine.MessageBoxes().size();
        EXPECT_EQ(StartSilent(), 0) << "call " << n;
        EXPECT_TRUE(InstalledCompletely(machine)) << "after a stop at call " << n;
        EXPECT_EQ(machine.MessageBoxes().size(), boxes) << "after a stop at call " << n << ": "
                                                        << machine.MessageBoxes().back().text;
    }
}
