// A wizard installation over an earlier one whose data the user keeps, with
// each of its file and registry calls failing in turn, and stopped dead at each
// of them. Whatever happens, the user's own files stay where the installer can
// bring them back from (the install directory or "moraback.moz"), and the next
// run installs with them kept.
#include "unit/deploy_fixture.h"
#include "unit/user_files.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string kDir = "c:\\morahu2\\";
const std::string kBackup = kDir + "moraback.moz";

// The payload carries its own copies of these files of the user.
const std::vector<std::string> kCarried = {"moradhz.moh", "moszsj43.moh", "moradwdw.txt", "morazdym.moh",
                                           "mopyzdym.moh", "mowbpy.txt",  "moraynhz.txt", "morazdfh.moh",
                                           "ftmozdym.txt", "ftpyzdym.txt", "cwb.ov1",     "morapymb.ov1",
                                           "mogbkbh.moh"};

// Where the backup keeps the user's file `name`, and what it holds.
struct UserFile {
    std::string name;     // in the install directory
    std::string entry;    // in the backup, and the name the restore writes
    std::string content;
};

std::vector<UserFile> UserFiles() {
    std::vector<UserFile> files;
    for (const std::string& name : kCopyFirst)
        files.push_back({name, Bak(name), name == "moracyzk.moh" ? WordListWithTrailer() : "user " + name});
    for (const std::string& name : kRequired) files.push_back({name, name, "user " + name});
    for (const std::string& name : kOptional) files.push_back({name, name, "user " + name});
    return files;
}

std::vector<FixtureEntry> Payload() {
    std::vector<FixtureEntry> entries = DeployEntries();
    for (const std::string& name : kCarried)
        if (name != "moszsj43.moh") entries.push_back({name, "payload " + name, ""});
    std::vector<FixtureEntry> full = FullPayloadEntries();
    for (size_t i = DeployEntries().size(); i < full.size() && entries.size() < 80; ++i) entries.push_back(full[i]);
    return entries;
}

void Prepare(SimMachine& machine) {
    machine.SetResource("QOVIMOZ", "MOZ", MakeArchive(Payload()));
    machine.AddDialogTemplate("PYKEY");
    machine.MakeDirectory(kDir);
    for (const UserFile& file : UserFiles()) machine.WriteFile(kDir + file.name, file.content);
}

// The wizard run as the user runs it: two pages on, then the confirm on the
// install-path page, Yes to keeping the old data.
int RunWizard(SimMachine& machine) {
    machine.AnswerQuestionsWith(IDYES);
    for (int click = 0; click < 3; ++click)
        machine.ScriptUser([&machine] { machine.Click(context.mainWindow, 90, 257); });
    char line[] = "";
    return WinMain(reinterpret_cast<HINSTANCE>(uintptr_t(0x400000)), nullptr, line, SW_SHOWNORMAL);
}

// Files that are the user's: in the install directory under their own or
// their backup's name, or in the backup.
std::vector<std::string> LostUserFiles(const SimMachine& machine) {
    std::map<std::string, std::string> backup = ArchiveContents(machine.ReadFile(kBackup));
    std::vector<std::string> lost;
    for (const UserFile& file : UserFiles()) {
        bool kept = machine.ReadFile(kDir + file.name) == file.content ||
                    machine.ReadFile(kDir + file.entry) == file.content || backup[file.entry] == file.content;
        if (!kept) lost.push_back(file.name);
    }
    return lost;
}

// The installation done and every file of the user back under the name the
// restore gives it.
std::vector<std::string> NotBack(const SimMachine& machine) {
    std::vector<std::string> missing;
    if (!machine.FileExists(kDir + "morahu32.ime")) missing.push_back("morahu32.ime");
    for (const UserFile& file : UserFiles())
        if (machine.ReadFile(kDir + file.entry) != file.content) missing.push_back(file.entry);
    return missing;
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& text : texts) all += text + " | ";
    return all;
}

const char kFarewell[] = "安装完毕，如不能使用，请重新启动计算机！";

// What the installer says when a file or registry call fails on the way: a
// piece of each message it may show.
bool KnownMessage(const std::string& text) {
    static const char* const kPieces[] = {
        "是否保留？", "成功恢复了23个原有数据文件！", "原有数据文件没有成功复制，原有数据不能使用！",
        "没有成功解压复制", "文件解压不完整，请到智能墨川网站", "有文件没有成功解压，请重新下载安装！",
        "没有成功复制", "数据文件没能备份，为免丢失这些数据，安装没有进行。", "安装出现错误！错误为：",
        "Software open error", kFarewell, "安装完毕，请立即重新启动计算机！",
    };
    for (const char* piece : kPieces)
        if (text.find(piece) != std::string::npos) return true;
    return false;
}

long CallsOfACleanRun() {
    TestMachine machine(SimSetup::Windows7(false));
    Prepare(machine);
    long before = machine.CallsMade();
    RunWizard(machine);
    EXPECT_EQ(NotBack(machine), std::vector<std::string>{}) << "the clean run";
    EXPECT_EQ(BoxTexts(machine), (std::vector<std::string>{"检测到安装目录下有智能墨川以前的词组等数据文件，是否保留？",
                                                           "成功恢复了23个原有数据文件！", kFarewell}));
    return machine.CallsMade() - before;
}

// The process is gone; Windows has released what it held.
void NewProcess(SimMachine& machine) {
    machine.EndProcess();
    ResetInstallContext();
}

// What a second installation right after a complete one leaves of the user's
// files: the backup packs the payload's "moradhz.moh" as "moradhz.bak" over
// the one the first restore brought back, as the input method has not run in
// between.
std::vector<std::string> SecondInstallationLoses() {
    TestMachine machine(SimSetup::Windows7(false));
    Prepare(machine);
    RunWizard(machine);
    NewProcess(machine);
    RunWizard(machine);
    return NotBack(machine);
}

// The run after a broken one installs with the user's files back; when the
// broken one had got as far as its restore, the second may lose no more than a
// second installation does.
void ExpectInstalledAgain(SimMachine& machine, bool firstRestored, const std::vector<std::string>& secondLoses,
                          const std::string& what) {
    size_t boxes = machine.MessageBoxes().size();
    NewProcess(machine);
    RunWizard(machine);
    for (const std::string& name : NotBack(machine))
        EXPECT_TRUE(firstRestored && std::count(secondLoses.begin(), secondLoses.end(), name) == 1)
            << what << ": " << name << " not back";
    ASSERT_GT(machine.MessageBoxes().size(), boxes) << what;
    EXPECT_EQ(machine.MessageBoxes().back().text, kFarewell) << what;
}

}  // namespace

TEST(WizardFaultSweep, EveryCallFailingThenRunAgain) {
    const long total = CallsOfACleanRun();
    const std::vector<std::string> secondLoses = SecondInstallationLoses();
    EXPECT_EQ(secondLoses, std::vector<std::string>{"moradhz.bak"});
    const DWORD kErrors[] = {ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION};
    for (long n = 1; n <= total; ++n) {
        TestMachine machine(SimSetup::Windows7(false));
        Prepare(machine);
        machine.FailCall(machine.CallsMade() + n, kErrors[n % 3]);
        EXPECT_EQ(RunWizard(machine), 0) << "call " << n;
        std::string what = "call " + std::to_string(n) + " failing: " + Joined(BoxTexts(machine));
        EXPECT_EQ(machine.LiveGlobalBlocks(), 0u) << what;
        for (const std::string& text : BoxTexts(machine)) EXPECT_TRUE(KnownMessage(text)) << what;
        EXPECT_EQ(LostUserFiles(machine), std::vector<std::string>{}) << what;
        ExpectInstalledAgain(machine, NotBack(machine).empty(), secondLoses, "after " + what);
    }
}

TEST(WizardFaultSweep, StoppedDeadAtEveryCallThenRunAgain) {
    const long total = CallsOfACleanRun();
    const std::vector<std::string> secondLoses = SecondInstallationLoses();
    for (long n = 1; n <= total; ++n) {
        TestMachine machine(SimSetup::Windows7(false));
        Prepare(machine);
        machine.StopAtCall(machine.CallsMade() + n);
        bool stopped = false;
        try {
            RunWizard(machine);
        } catch (const SimStop&) {
            stopped = true;
        }
        std::string what = "stopped at call " + std::to_string(n);
        EXPECT_TRUE(stopped) << what;
        EXPECT_EQ(LostUserFiles(machine), std::vector<std::string>{}) << what;
        ExpectInstalledAgain(machine, NotBack(machine).empty(), secondLoses, "after being " + what);
    }
}
