// The hidden-file list and the picker's decisions against the simulated file system: what a
// hide, an unhide and a lookup do to the lines and to the entries on disk, the exact command
// lines that reach attrib and Explorer, the stored form, and how the picker lists, sorts and
// shortens, and keeps its threads few and free of calls that do not come back.
#include "files/FileListRules.h"
#include "files/PickerRules.h"
#include "files/PickerWork.h"
#include "sim/SimFiles.h"
#include "sim/SimProfile.h"
#include "settings/IniCodec.h"
#include "settings/uIniFileMgr.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint32_t kHiddenSystem = sim::kHidden | sim::kSystem;

class HiddenFileListTest : public ::testing::Test {
protected:
    HiddenFileListTest()
    {
        fs.AddDrive("C:\\", 3);
        fs.AddFile("C:\\Data\\a.txt");
        fs.AddFile("C:\\Data\\My Notes.txt");
        fs.AddFolder("C:\\Data\\Old");
    }

    // Once every queued command has run.
    std::uint32_t Attrs(const std::string& path)
    {
        EXPECT_TRUE(queue.WaitIdle(5000));
        return fs.Attributes(path).value();
    }
    const std::vector<std::string>& Commands()
    {
        EXPECT_TRUE(queue.WaitIdle(5000));
        return fs.commands;
    }
    // What the window does when the worker knocks: the paths whose restore did not take.
    std::vector<std::string> Settle()
    {
        EXPECT_TRUE(queue.WaitIdle(5000));
        return SettleFileCommands(lines, queue, record);
    }
    std::vector<std::string> StoredLines()
    {
        VectorFileLines stored;
        LoadFileList(stored, ini);
        return stored.Lines();
    }

    sim::SimFiles fs;
    sim::SimProfile profile;
    TIniFileMgr ini{profile};
    TFileListRecord record{ini, fs};
    VectorFileLines lines;
    TAttribQueue queue{fs};   // last: its worker is stopped before what it uses goes
};

TEST_F(HiddenFileListTest, HidingAppendsEvenADuplicateAndSetsBothAttributes)
{
    HideFile(lines, queue, record, "C:\\Data\\a.txt");
    HideFile(lines, queue, record, "C:\\Data\\Old");
    HideFile(lines, queue, record, "C:\\Data\\a.txt");

    EXPECT_THAT(lines.Lines(), ElementsAre("C:\\Data\\a.txt", "C:\\Data\\Old", "C:\\Data\\a.txt"));
    EXPECT_EQ(Attrs("C:\\Data\\a.txt") & kHiddenSystem, kHiddenSystem);
    EXPECT_EQ(Attrs("C:\\Data\\Old") & kHiddenSystem, kHiddenSystem);
    EXPECT_EQ(Commands().size(), 3u);
}

TEST_F(HiddenFileListTest, UnhideRemovesEveryExactDuplicateButNotALineSpeltInOtherCase)
{
    lines.Assign({"C:\\Data\\a.txt", "C:\\DATA\\A.TXT", "C:\\Data\\Old", "C:\\Data\\a.txt"});
    fs.AddFile("C:\\Data\\a.txt", sim::kArchive | kHiddenSystem);

    UnhideFile(lines, queue, record, "C:\\Data\\a.txt");

    EXPECT_THAT(lines.Lines(), ElementsAre("C:\\DATA\\A.TXT", "C:\\Data\\Old"));
    EXPECT_EQ(Attrs("C:\\Data\\a.txt") & kHiddenSystem, 0u);
    ASSERT_EQ(Commands().size(), 1u);   // one command, however many lines went
}

TEST_F(HiddenFileListTest, LookupIgnoresLetterCase)
{
    lines.Assign({"C:\\DATA\\A.TXT"});
    EXPECT_TRUE(IsFileListed(lines, "C:\\Data\\a.txt"));
    EXPECT_FALSE(IsFileListed(lines, "C:\\Data\\a.txt2"));
    EXPECT_FALSE(IsFileListed(lines, "C:\\Data"));
    EXPECT_FALSE(IsFileListed(VectorFileLines{}, ""));
}

TEST_F(HiddenFileListTest, UnhidingOneLineRemovesOnlyThatLineAndRunsOnce)
{
    lines.Assign({"C:\\Data\\a.txt", "C:\\Data\\Old", "C:\\Data\\a.txt"});

    UnhideLine(lines, queue, record, 2);
    EXPECT_THAT(lines.Lines(), ElementsAre("C:\\Data\\a.txt", "C:\\Data\\Old"));
    EXPECT_EQ(Commands().size(), 1u);

    UnhideLine(lines, queue, record, 5);   // no such line: nothing happens
    EXPECT_EQ(lines.Count(), 2);
    EXPECT_EQ(Commands().size(), 1u);
}

TEST_F(HiddenFileListTest, TickAndImmediateClearLeaveTheEntryRestored)
{
    HideFile(lines, queue, record, "C:\\Data\\My Notes.txt");
    UnhideFile(lines, queue, record, "C:\\Data\\My Notes.txt");

    EXPECT_THAT(lines.Lines(), IsEmpty());
    EXPECT_EQ(Attrs("C:\\Data\\My Notes.txt") & kHiddenSystem, 0u);
    ASSERT_EQ(Commands().size(), 2u);
    EXPECT_NE(Commands()[0].find("+h +s"), std::string::npos);
    EXPECT_NE(Commands()[1].find("-h -s"), std::string::npos);
    // Each command is waited for, so the second cannot overtake the first.
    EXPECT_THAT(fs.commandWaits, ElementsAre(kAttribWaitMs, kAttribWaitMs));
}

TEST_F(HiddenFileListTest, ACommandThatCannotStartStillChangesTheList)
{
    fs.startFails = true;
    HideFile(lines, queue, record, "C:\\Data\\a.txt");
    EXPECT_THAT(lines.Lines(), ElementsAre("C:\\Data\\a.txt"));
    UnhideFile(lines, queue, record, "C:\\Data\\a.txt");
    EXPECT_THAT(lines.Lines(), IsEmpty());
    // The file never got the attributes, so it is as the user wants it: nothing to keep.
    EXPECT_THAT(Settle(), IsEmpty());
    EXPECT_THAT(lines.Lines(), IsEmpty());
}

TEST_F(HiddenFileListTest, ARestoreIsJudgedByTheFileNotByAttrib)
{
    // attrib ends as if all went well on a file another program holds; the file stays
    // hidden, so its line stays: in the list, in the settings file and in the next run.
    fs.AddFile("C:\\Data\\held.txt", sim::kArchive | kHiddenSystem);
    fs.AddFile("C:\\Data\\far.txt", sim::kArchive | kHiddenSystem);
    lines.Assign({"C:\\Data\\held.txt", "C:\\Data\\gone.txt", "C:\\Data\\far.txt"});
    ASSERT_TRUE(record.Store(lines));
    fs.refusing.insert("C:\\DATA\\HELD.TXT");
    fs.unreadable.insert("C:\\DATA\\FAR.TXT");   // a share gone quiet: no answer is no proof

    UnhideFile(lines, queue, record, "C:\\Data\\held.txt");
    EXPECT_THAT(StoredLines(), ElementsAre("C:\\Data\\gone.txt", "C:\\Data\\far.txt", "C:\\Data\\held.txt"))
        << "a restore not yet seen to take keeps its stored line";
    UnhideLine(lines, queue, record, 0);   // a path that no longer exists
    UnhideLine(lines, queue, record, 0);
    EXPECT_THAT(lines.Lines(), IsEmpty());

    EXPECT_THAT(Settle(), ElementsAre("C:\\Data\\held.txt", "C:\\Data\\far.txt"));
    EXPECT_THAT(lines.Lines(), ElementsAre("C:\\Data\\held.txt", "C:\\Data\\far.txt"));
    EXPECT_EQ(Attrs("C:\\Data\\held.txt") & kHiddenSystem, kHiddenSystem);
    TFileListRecord nextRun{ini, fs};
    VectorFileLines loaded;
    nextRun.Load(loaded);
    EXPECT_EQ(loaded.Lines(), lines.Lines());
}

TEST_F(HiddenFileListTest, AFileKeepsTheAttributesItHadBeforeItWasTicked)
{
    fs.AddFile("C:\\ProgramData\\desktop.ini", sim::kArchive | kHiddenSystem);
    fs.AddFile("C:\\Data\\boot.sys", sim::kArchive | sim::kSystem);
    fs.AddFile("C:\\Data\\quick.txt", sim::kArchive | sim::kHidden);
    HideFile(lines, queue, record, "C:\\ProgramData\\desktop.ini");
    HideFile(lines, queue, record, "C:\\Data\\boot.sys");
    // Ticked and cleared before the window heard what the file had: the worker still knows.
    HideFile(lines, queue, record, "C:\\Data\\quick.txt");
    UnhideFile(lines, queue, record, "C:\\Data\\quick.txt");
    EXPECT_THAT(Settle(), IsEmpty());
    EXPECT_EQ(Attrs("C:\\Data\\quick.txt") & kHiddenSystem, sim::kHidden);
    // Remembered beside "File", whose form is what every version reads.
    auto stored = profile.Contents(ini.Path())["system"];
    EXPECT_EQ(stored["File"], EncodeHex("C:\\ProgramData\\desktop.ini\r\nC:\\Data\\boot.sys\r\n"));
    EXPECT_EQ(stored["FileAttributes"], EncodeHex("4C:\\Data\\boot.sys\r\n6C:\\ProgramData\\desktop.ini\r\n"));

    // The next run, and an older version's run before it, which listed a.txt without the key.
    fs.AddFile("C:\\Data\\a.txt", sim::kArchive | kHiddenSystem);
    profile.Contents(ini.Path())["system"]["File"] =
        EncodeHex("C:\\ProgramData\\desktop.ini\r\nC:\\Data\\boot.sys\r\nC:\\Data\\a.txt\r\n");
    fs.commands.clear();
    record.Load(lines);
    UnhideFile(lines, queue, record, "C:\\ProgramData\\desktop.ini");
    UnhideFile(lines, queue, record, "C:\\Data\\boot.sys");
    UnhideFile(lines, queue, record, "C:\\Data\\a.txt");
    EXPECT_THAT(Settle(), IsEmpty());
    EXPECT_THAT(lines.Lines(), IsEmpty());
    EXPECT_EQ(Attrs("C:\\ProgramData\\desktop.ini") & kHiddenSystem, kHiddenSystem);
    EXPECT_EQ(Attrs("C:\\Data\\boot.sys") & kHiddenSystem, sim::kSystem);
    EXPECT_EQ(Attrs("C:\\Data\\a.txt") & kHiddenSystem, 0u);
    // attrib leaves a file with either attribute alone unless both are named.
    EXPECT_THAT(fs.commands, ElementsAre(AttribCommandLine(fs.systemDir, true, "C:\\Data\\boot.sys", sim::kSystem),
                                         AttribCommandLine(fs.systemDir, true, "C:\\Data\\a.txt")));
    EXPECT_THAT(fs.attribRefusals, IsEmpty());
    EXPECT_EQ(profile.Contents(ini.Path())["system"]["FileAttributes"], "");
}

// The simulated code page holds "é" but not Hangul, and fits "ā" onto "a" unasked.
TEST_F(HiddenFileListTest, APathTheCodePageCannotHoldExactlyIsActedOnAndStoredAsItIs)
{
    const std::string latin = "C:\\Data\\\xC3\xA9.txt";                          // é.txt
    const std::string fitted = "C:\\Data\\\xC4\x81.txt";                         // ā.txt
    const std::string hangul = "C:\\Data\\\xED\x95\x9C \xF0\x9F\x98\x80.txt";   // 한 😀.txt
    for (const std::string& path : {latin, fitted, hangul})
        fs.AddFile(path);
    EXPECT_EQ(ExactAnsiPath(fs, latin), "C:\\Data\\\xE9.txt");
    EXPECT_EQ(ExactAnsiPath(fs, fitted), std::nullopt) << "its ANSI form names a.txt";
    EXPECT_EQ(ExactAnsiPath(fs, hangul), std::nullopt);

    for (const std::string& path : {fitted, latin, hangul})
        HideFile(lines, queue, record, path);
    EXPECT_THAT(Settle(), IsEmpty());
    EXPECT_EQ(Attrs(fitted) & kHiddenSystem, kHiddenSystem);
    EXPECT_EQ(Attrs(hangul) & kHiddenSystem, kHiddenSystem);
    EXPECT_EQ(Attrs("C:\\Data\\a.txt") & kHiddenSystem, 0u) << "hidden through a best-fitted name";
    // Older versions read "File" through the code page: only what it names exactly is there.
    EXPECT_THAT(StoredLines(), ElementsAre("C:\\Data\\\xE9.txt"));
    auto stored = [&](const char* key) { return profile.Contents(ini.Path())["system"][key]; };
    EXPECT_EQ(stored("FileUtf8"), EncodeHex(fitted + "\r\n" + hangul + "\r\n"));
    bool whole = false;
    std::vector<KeptAttributes> kept = DecodeKeptAttributes(stored("FileAttributes"), whole);
    ASSERT_EQ(kept.size(), 3u);

    // The next run lists "File" first, then the others, each as its file is named, with what
    // each file had; a restore takes the path out of the key it was stored under.
    TFileListRecord nextRun{ini, fs};
    VectorFileLines again;
    nextRun.Load(again);
    EXPECT_THAT(again.Lines(), ElementsAre(latin, fitted, hangul));
    EXPECT_EQ(nextRun.Kept(hangul), 0u);
    EXPECT_EQ(nextRun.Kept(latin), 0u);
    UnhideFile(again, queue, nextRun, hangul);
    EXPECT_TRUE(queue.WaitIdle(5000));
    EXPECT_THAT(SettleFileCommands(again, queue, nextRun), IsEmpty());
    EXPECT_EQ(Attrs(hangul) & kHiddenSystem, 0u);
    EXPECT_EQ(stored("FileUtf8"), EncodeHex(fitted + "\r\n"));
}

TEST_F(HiddenFileListTest, APathWithAWildcardIsListedButNoCommandRuns)
{
    // A name the ANSI code page cannot hold comes back with "?" in it; attrib would take it
    // as a pattern and hide every file it matches.
    fs.AddFile("C:\\Data\\a1.txt");
    HideFile(lines, queue, record, "C:\\Data\\a?.txt");

    EXPECT_THAT(lines.Lines(), ElementsAre("C:\\Data\\a?.txt"));
    EXPECT_THAT(Commands(), IsEmpty());
    EXPECT_EQ(Attrs("C:\\Data\\a1.txt") & kHiddenSystem, 0u);
}

TEST_F(HiddenFileListTest, AFileIsHiddenOnlyOnceItsLineIsSaved)
{
    profile.readOnly.insert(ini.Path());
    EXPECT_FALSE(HideFile(lines, queue, record, "C:\\Data\\a.txt"));
    EXPECT_THAT(lines.Lines(), IsEmpty());
    EXPECT_THAT(Commands(), IsEmpty());
    EXPECT_EQ(Attrs("C:\\Data\\a.txt") & kHiddenSystem, 0u);
    EXPECT_FALSE(record.Changed());

    profile.readOnly.clear();
    EXPECT_TRUE(HideFile(lines, queue, record, "C:\\Data\\a.txt"));
    EXPECT_EQ(profile.Contents(ini.Path())["system"]["File"], "433A5C446174615C612E7478740D0A");
    EXPECT_EQ(Attrs("C:\\Data\\a.txt") & kHiddenSystem, kHiddenSystem);
}

TEST_F(HiddenFileListTest, AnUnhideThatCouldNotBeSavedIsWrittenAtClose)
{
    ASSERT_TRUE(HideFile(lines, queue, record, "C:\\Data\\a.txt"));
    profile.readOnly.insert(ini.Path());
    UnhideFile(lines, queue, record, "C:\\Data\\a.txt");
    EXPECT_EQ(Attrs("C:\\Data\\a.txt") & kHiddenSystem, 0u);   // restored all the same
    EXPECT_THAT(Settle(), IsEmpty());
    EXPECT_TRUE(record.Changed());
    EXPECT_THROW(record.StoreIfChanged(lines), std::runtime_error);
    profile.readOnly.clear();
    record.StoreIfChanged(lines);
    EXPECT_EQ(profile.Contents(ini.Path())["system"]["File"], "");
}

TEST_F(HiddenFileListTest, CommandsRunInOrderOnTheWorkerWhileTheCallerGoesOn)
{
    // attrib stuck on a slow drive: the caller queues and returns, and the restore still
    // runs after the hide it follows, never before it.
    struct SlowFiles : sim::SimFiles {
        std::mutex lock;
        std::condition_variable opened;
        bool open = false;
        int started = 0;
        bool RunHidden(const std::string& commandLine, unsigned waitMs) override
        {
            std::unique_lock<std::mutex> guard(lock);
            ++started;
            opened.notify_all();
            opened.wait(guard, [&] { return open; });
            return SimFiles::RunHidden(commandLine, waitMs);
        }
    } slow;
    slow.AddDrive("C:\\", 3);
    slow.AddFile("C:\\Data\\a.txt");
    TAttribQueue slowQueue{slow};

    ASSERT_TRUE(HideFile(lines, slowQueue, record, "C:\\Data\\a.txt"));
    UnhideFile(lines, slowQueue, record, "C:\\Data\\a.txt");
    EXPECT_THAT(lines.Lines(), IsEmpty());
    EXPECT_FALSE(slowQueue.WaitIdle(50));


    {
        std::lock_guard<std::mutex> guard(slow.lock);
        slow.open = true;
    }
    slow.opened.notify_all();
    ASSERT_TRUE(slowQueue.WaitIdle(5000));
    ASSERT_EQ(slow.commands.size(), 2u);
    EXPECT_NE(slow.commands[0].find("+h +s"), std::string::npos);
    EXPECT_NE(slow.commands[1].find("-h -s"), std::string::npos);
    EXPECT_EQ(slow.Attributes("C:\\Data\\a.txt").value() & kHiddenSystem, 0u);

    // A close that cannot wait for a stuck hide: the restore queued behind it never starts,
    // so its line comes back, stored, for the file stays hidden once the hide has run.
    {
        std::lock_guard<std::mutex> guard(slow.lock);
        slow.open = false;
    }
    ASSERT_TRUE(HideFile(lines, slowQueue, record, "C:\\Data\\a.txt"));
    {
        std::unique_lock<std::mutex> guard(slow.lock);
        ASSERT_TRUE(slow.opened.wait_for(guard, std::chrono::seconds(5), [&] { return slow.started == 3; }));
    }
    UnhideFile(lines, slowQueue, record, "C:\\Data\\a.txt");
    EXPECT_THAT(lines.Lines(), IsEmpty());
    VectorFileLines killedNow;
    LoadFileList(killedNow, ini);
    EXPECT_THAT(killedNow.Lines(), ElementsAre("C:\\Data\\a.txt")) << "stored until the restore is seen to take";
    KeepUnstartedRestores(lines, slowQueue, record);
    EXPECT_THAT(lines.Lines(), ElementsAre("C:\\Data\\a.txt"));
    VectorFileLines stored;
    LoadFileList(stored, ini);
    EXPECT_EQ(stored.Lines(), lines.Lines());
    {
        std::lock_guard<std::mutex> guard(slow.lock);
        slow.open = true;
    }
    slow.opened.notify_all();
    ASSERT_TRUE(slowQueue.WaitIdle(5000));
    EXPECT_EQ(slow.commands.size(), 3u) << "a restore taken off the queue still ran";
}

// --- Command lines --------------------------------------------------------------------

TEST(CommandLineTest, EveryPathSplitsBackWholeBehindTheProgramsFullPath)
{
    for (std::string arg : {"C:\\My Files\\a b.txt", "C:\\", "C:\\dir with blank\\", "C:\\a\\\\b", "plain",
                            "say \"hi\"\\", "C:\\tail\\\\", ""}) {
        std::vector<std::string> args = sim::SplitCommandLine("prog " + QuoteArgument(arg));
        ASSERT_EQ(args.size(), 2u) << arg;
        EXPECT_EQ(args[1], arg);
    }
    // A drive root's backslash must not escape the closing quote, and attrib is never looked
    // for along the search path.
    for (bool restore : {false, true})
        for (std::string path : {"C:\\My Files\\a b.txt", "E:\\"})
            EXPECT_THAT(sim::SplitCommandLine(AttribCommandLine("C:\\Windows\\system32", restore, path)),
                        ElementsAre("C:\\Windows\\system32\\attrib.exe", restore ? "-h" : "+h",
                                    restore ? "-s" : "+s", path));
    // What a restore keeps is named again, or attrib would not touch the file at all.
    EXPECT_THAT(sim::SplitCommandLine(AttribCommandLine("C:\\Windows\\system32", true, "C:\\a", kAttribHidden)),
                ElementsAre("C:\\Windows\\system32\\attrib.exe", "-s", "+h", "C:\\a"));
    // Nor is Explorer, which is given the folder as one argument.
    EXPECT_EQ(ExplorerFile("C:\\Windows"), "C:\\Windows\\Explorer.exe");
    EXPECT_THAT(sim::SplitCommandLine("explorer " + ExplorerParameters("C:\\My Files\\")),
                ElementsAre("explorer", "C:\\My Files\\"));
}

// --- Stored form ----------------------------------------------------------------------

class StoredListTest : public ::testing::Test {
protected:
    std::string Value() { return profile.Contents(ini.Path())["system"]["File"]; }

    sim::SimProfile profile;
    TIniFileMgr ini{profile};
    sim::SimFiles files;
};

TEST_F(StoredListTest, OneEntryIsStoredAsUpperCaseHexWithItsLineEnd)
{
    SaveFileList(VectorFileLines({"C:\\a"}), ini);
    EXPECT_EQ(Value(), "433A5C610D0A");
}

TEST_F(StoredListTest, EntriesComeBackInOrderWhateverTheirText)
{
    std::string gbk = "C:\\\xD6\xD0\xCE\xC4\\\xCE\xC4\xBC\xFE.txt";   // 中文\文件.txt in code page 936
    std::string longPath = "C:\\" + std::string(600, 'x');
    SaveFileList(VectorFileLines({"C:\\My Files\\a b.txt", gbk, longPath}), ini);

    VectorFileLines loaded({"stale"});
    LoadFileList(loaded, ini);
    EXPECT_THAT(loaded.Lines(), ElementsAre("C:\\My Files\\a b.txt", gbk, longPath));
}

TEST_F(StoredListTest, AnEmptyListIsAnEmptyValueAndLoadsAsAnEmptyList)
{
    SaveFileList(VectorFileLines{}, ini);
    ASSERT_TRUE(profile.Contents(ini.Path())["system"].count("File"));
    EXPECT_EQ(Value(), "");

    VectorFileLines loaded({"stale"});
    LoadFileList(loaded, ini);
    EXPECT_THAT(loaded.Lines(), IsEmpty());
}

TEST_F(StoredListTest, AMissingKeyLoadsAsAnEmptyList)
{
    VectorFileLines loaded({"stale"});
    LoadFileList(loaded, ini);
    EXPECT_THAT(loaded.Lines(), IsEmpty());
}

TEST_F(StoredListTest, AFileThatCannotBeWrittenIsReportedWithItsPath)
{
    profile.readOnly.insert(ini.Path());
    try {
        SaveFileList(VectorFileLines({"C:\\a"}), ini);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.Path());
    }
}

TEST_F(StoredListTest, ADamagedValueKeepsItsWholeLinesAndIsNotWrittenBackUnchanged)
{
    // "C:\a" whole, then "D:\b" cut short by a pair that is no hexadecimal.
    const std::string damaged = "433A5C610D0A443A5C62XX0D0A";
    // The kept attributes likewise: "6C:\a" whole, a digit no hide gives, then no hex.
    const std::string damagedKept = EncodeHex("6C:\\a\r\n9D:\\b\r\n") + "ZZ";
    // Every write replaces the whole file, so each value is looked up afresh.
    auto stored = [&](const char* key) -> std::string& { return profile.Contents(ini.Path())["system"][key]; };
    stored("File") = damaged;
    stored("FileAttributes") = damagedKept;
    stored("HideAllHelp") = "17";
    TFileListRecord record{ini, files};
    VectorFileLines loaded;
    record.Load(loaded);
    EXPECT_THAT(loaded.Lines(), ElementsAre("C:\\a"));
    EXPECT_EQ(record.Kept("C:\\A"), kAttribBoth);
    record.StoreIfChanged(loaded);
    EXPECT_EQ(Value(), damaged);
    EXPECT_EQ(stored("FileAttributes"), damagedKept);
    EXPECT_EQ(profile.writes, 0);

    // Once the user changes the list, the list is what is stored, and nothing else goes.
    sim::SimFiles fs;
    TAttribQueue queue{fs};
    ASSERT_TRUE(HideFile(loaded, queue, record, "E:\\c"));
    EXPECT_EQ(Value(), EncodeHex("C:\\a\r\nE:\\c\r\n"));
    EXPECT_EQ(stored("FileAttributes"), EncodeHex("6C:\\a\r\n"));
    EXPECT_EQ(stored("HideAllHelp"), "17");
    EXPECT_TRUE(queue.WaitIdle(5000));
}

TEST(StoredTextTest, SplitsAtEveryKindOfLineEndAndStopsAtNul)
{
    using namespace std::string_literals;
    EXPECT_THAT(FileListFromText("a\r\nb\rc\nd"), ElementsAre("a", "b", "c", "d"));
    EXPECT_THAT(FileListFromText("a\r\n\r\nb\r\n"), ElementsAre("a", "", "b"));
    EXPECT_THAT(FileListFromText("a\r\nb\0c\r\n"s), ElementsAre("a", "b"));
    EXPECT_THAT(FileListFromText("\0a\r\n"s), IsEmpty());
    EXPECT_THAT(FileListFromText(""), IsEmpty());
}

// --- Picker: sorting --------------------------------------------------------------------

struct Node {
    std::uint32_t attrs;
    std::string path;
};

std::vector<std::string> Sorted(std::vector<Node> nodes, SortDirection dir)
{
    std::sort(nodes.begin(), nodes.end(), [dir](const Node& a, const Node& b) {
        return CompareNodes(a.attrs, a.path, b.attrs, b.path, dir) < 0;
    });
    std::vector<std::string> out;
    for (const Node& n : nodes)
        out.push_back(n.path);
    return out;
}

const std::vector<Node> kMixed = {
    {0, "C:\\d\\b.txt"},
    {shell::kFolder, "C:\\d\\Zeta"},
    {0, "C:\\d\\A.txt"},
    {shell::kFolder | shell::kHasSubfolders, "C:\\d\\alpha"},
    {0, "C:\\d\\_under"},
    {shell::kFolder, "C:\\d\\Beta"},
};

TEST(PickerSortTest, FoldersComeFirstThenPathsWithAsciiLettersFolded)
{
    EXPECT_THAT(Sorted(kMixed, SortDirection::Ascending),
                ElementsAre("C:\\d\\alpha", "C:\\d\\Beta", "C:\\d\\Zeta", "C:\\d\\A.txt", "C:\\d\\b.txt",
                            "C:\\d\\_under"));
}

TEST(PickerSortTest, DescendingReversesTheWholeOrderFilesFirst)
{
    std::vector<std::string> up = Sorted(kMixed, SortDirection::Ascending);
    std::vector<std::string> down = Sorted(kMixed, SortDirection::Descending);
    std::reverse(up.begin(), up.end());
    EXPECT_EQ(down, up);
}

TEST(PickerSortTest, OnlyAsciiLettersAreFoldedOtherBytesCompareByValue)
{
    EXPECT_EQ(ComparePaths("C:\\ABC", "c:\\abc"), 0);
    EXPECT_NE(ComparePaths("C:\\\xC4", "C:\\\xE4"), 0);   // Ä and ä in code page 1252
    EXPECT_LT(ComparePaths("C:\\\x7F", "C:\\\x80"), 0);   // bytes are unsigned
    EXPECT_LT(ComparePaths("C:\\a", "C:\\a b"), 0);       // a beginning sorts first
}

// --- Picker: listing --------------------------------------------------------------------

// Code page 936 as far as these tests need it: ASCII, and two characters whose GBK order
// (啊 B0A1 before 一 D2BB) is the reverse of their UTF-8 order. Nothing else has a form.
struct Cp936Files : sim::SimFiles {
    static constexpr std::pair<std::string_view, std::string_view> kGbk[] = {{"啊", "\xB0\xA1"}, {"一", "\xD2\xBB"}};

    static std::optional<std::string> Convert(std::string_view text, bool toAnsi)
    {
        std::string out;
        while (!text.empty()) {
            if (static_cast<unsigned char>(text[0]) < 0x80) {
                out += text[0];
                text.remove_prefix(1);
                continue;
            }
            auto it = std::find_if(std::begin(kGbk), std::end(kGbk), [&](const auto& pair) {
                return text.starts_with(toAnsi ? pair.first : pair.second);
            });
            if (it == std::end(kGbk))
                return std::nullopt;
            out += toAnsi ? it->second : it->first;
            text.remove_prefix((toAnsi ? it->first : it->second).size());
        }
        return out;
    }
    std::optional<std::string> PathToAnsi(const std::string& path) override { return Convert(path, true); }
    std::string AnsiToPath(const std::string& ansi) override { return Convert(ansi, false).value_or("?"); }
};

class PickerListTest : public ::testing::Test {
protected:
    PickerListTest()
    {
        fs.AddDrive("C:\\", 3);
        fs.AddFile("C:\\T\\b.txt");
        fs.AddFile("C:\\T\\a b.txt", sim::kHidden);
        fs.AddFile("C:\\T\\sys.dat", kHiddenSystem);
        fs.AddFolder("C:\\T\\Hidden", sim::kDirectory | sim::kHidden);
        fs.AddFolder("C:\\T\\Only\\Sub1");
        fs.AddFolder("C:\\T\\Only\\Sub2");
        fs.AddFolder("C:\\T\\Empty");
        fs.AddFile("C:\\T\\z.zip", sim::kArchive | kFileCompressed);
    }
    Cp936Files fs;
};

TEST_F(PickerListTest, AFolderListsEveryEntryFoldersFirstWithoutDotsOrIcons)
{
    std::vector<ListedEntry> entries = ListFolder(fs, "C:\\T", SortDirection::Ascending);

    std::vector<std::string> names;
    for (const ListedEntry& e : entries)
        names.push_back(e.name);
    EXPECT_THAT(names, ElementsAre("Empty", "Hidden", "Only", "a b.txt", "b.txt", "sys.dat", "z.zip"));
    EXPECT_EQ(entries[2].path, "C:\\T\\Only");
    // The search's own attributes tell folders, hidden and compressed entries apart; whether
    // a folder has subfolders waits, with the overlays, until its node is drawn.
    EXPECT_TRUE(entries[2].shellAttributes & shell::kFolder);
    EXPECT_FALSE(entries[2].shellAttributes & shell::kHasSubfolders);
    EXPECT_TRUE(entries[1].shellAttributes & shell::kHidden);
    EXPECT_FALSE(entries[4].shellAttributes & (shell::kFolder | shell::kHidden | shell::kCompressed));
    EXPECT_TRUE(entries[6].shellAttributes & shell::kCompressed);
    EXPECT_EQ(DrawnShellMask(entries[2].shellAttributes), shell::kHasSubfolders | shell::kShared | shell::kLink);
    EXPECT_EQ(DrawnShellMask(entries[6].shellAttributes), shell::kShared | shell::kLink);
    EXPECT_EQ(fs.iconLookups, 0);          // icons wait until a node is drawn
    // A node's first icon is its type's: every folder alike (a dot in its name changes
    // nothing), files by extension whatever its case, an extension of GBK bytes unfolded.
    EXPECT_EQ(TypeIconKey(entries[2].shellAttributes, "C:\\T\\Only.txt", false, false), "\\");
    EXPECT_NE(TypeIconKey(entries[2].shellAttributes, "C:\\T\\Only", false, true), "\\");
    EXPECT_EQ(TypeIconKey(0, "C:\\", true, false), "\\");
    EXPECT_EQ(TypeIconKey(entries[4].shellAttributes, "C:\\T\\b.Txt", false, false), ".TXT");
    EXPECT_EQ(TypeIconKey(entries[4].shellAttributes, "C:\\T\\a.b.exe", false, false), ".EXE");
    EXPECT_EQ(TypeIconKey(entries[4].shellAttributes, "C:\\T.d\\README", false, false), "");
    EXPECT_EQ(TypeIconKey(entries[4].shellAttributes, "C:\\T\\x.\xD6" "a", false, false), ".\xD6" "a");   // one character
    EXPECT_EQ(fs.shellQueries, 0);         // a folder of thousands is listed by its search alone
    EXPECT_EQ(fs.searches, 1);
}

// A folder keeps the order it had when names were read in the code page: by their GBK bytes,
// not by UTF-8's. A name the code page cannot hold sorts by its UTF-8 bytes. ASCII letters
// sort as capitals, so "_" (between the capitals and the small letters) comes after "z".
TEST_F(PickerListTest, NamesSortByTheirCodePageBytesWhereTheCodePageHoldsThem)
{
    for (const char* name : {"一.txt", "_x.txt", "z.txt", "\xF0\x9F\x98\x80.txt", "啊.txt", "一\xF0\x9F\x98\x80.txt"})
        fs.AddFile(std::string("C:\\G\\") + name);
    std::vector<std::string> names;
    for (const ListedEntry& e : ListFolder(fs, "C:\\G", SortDirection::Ascending))
        names.push_back(e.name);
    EXPECT_THAT(names,
                ElementsAre("z.txt", "_x.txt", "啊.txt", "一.txt", "一\xF0\x9F\x98\x80.txt", "\xF0\x9F\x98\x80.txt"));
}

TEST_F(PickerListTest, ADriveRootListsWithoutADoubledSeparator)
{
    std::vector<ListedEntry> entries = ListFolder(fs, "C:\\", SortDirection::Ascending);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, "C:\\T");
}

TEST_F(PickerListTest, ExpandButtonsFollowSubfoldersThenFiles)
{
    auto attrs = [&](const std::string& p) { return fs.ShellAttributes(p, shell::kRequestMask); };
    auto hasFiles = [&](const std::string& p) { return [&, p] { return FolderHasFiles(fs, p); }; };

    int before = fs.searches;
    EXPECT_TRUE(HasChildren(attrs("C:\\T\\Only"), hasFiles("C:\\T\\Only")));
    EXPECT_EQ(fs.searches, before);        // the subfolder bit settles it: no search
    EXPECT_FALSE(HasChildren(attrs("C:\\T\\Empty"), hasFiles("C:\\T\\Empty")));
    EXPECT_FALSE(HasChildren(attrs("C:\\T\\b.txt"), [] { return true; }));

    fs.AddFile("C:\\T\\Empty\\x.txt", kHiddenSystem);   // a hidden file still counts
    EXPECT_TRUE(HasChildren(attrs("C:\\T\\Empty"), hasFiles("C:\\T\\Empty")));
    EXPECT_FALSE(FolderHasFiles(fs, "C:\\T\\Only"));    // subfolders are not files
}

// --- Picker: work away from the window --------------------------------------------------

// The simulated disk as the picker's threads reach it: which threads search folders and which
// ask the shell, and a lost share whose calls come back only when the test lets them.
struct ThreadedFiles : sim::SimFiles {
    std::mutex lock;
    std::condition_variable changed;
    bool lostBack = false;
    int held = 0;                          // calls into the lost share not yet back
    int told = 0;                          // words from the pickers' threads that results wait
    int toldFirst = 0;                     // of them, to the first picker opened
    std::set<std::thread::id> listers;     // threads that searched a folder
    std::set<std::thread::id> askers;      // threads that asked the shell

    void Enter(const std::string& path, std::set<std::thread::id>& who)
    {
        std::unique_lock<std::mutex> guard(lock);
        who.insert(std::this_thread::get_id());
        if (path.rfind("C:\\Lost", 0) != 0)
            return;
        ++held;
        changed.notify_all();
        changed.wait(guard, [&] { return lostBack; });
        --held;
    }
    bool FindFiles(const std::string& pattern, std::uint32_t mask, const std::function<bool(const FindEntry&)>& each) override
    {
        Enter(pattern, mask == kAnyEntryMask ? listers : askers);
        std::lock_guard<std::mutex> guard(lock);
        return SimFiles::FindFiles(pattern, mask, each);
    }
    std::uint32_t ShellAttributes(const std::string& path, std::uint32_t mask) override
    {
        Enter(path, askers);
        std::lock_guard<std::mutex> guard(lock);
        return SimFiles::ShellAttributes(path, mask);
    }
    int SmallIconIndex(const std::string& path, unsigned flags) override
    {
        Enter(path, askers);
        std::lock_guard<std::mutex> guard(lock);
        return SimFiles::SmallIconIndex(path, flags);
    }
};

class PickerWorkTest : public ::testing::Test {
protected:
    using Clock = PickerWork::Clock;

    PickerWorkTest()
    {
        fs.AddDrive("C:\\", 3);
        for (int i = 0; i < 30; ++i)
            fs.AddFile("C:\\F" + std::to_string(i) + "\\a.txt");
        fs.AddFile("C:\\Lost\\a.txt");
    }
    ~PickerWorkTest() override
    {
        LetLostBack();
        EXPECT_TRUE(Eventually([&] { return listers->Live() == 0 && askers->Live() == 0; }))
            << "a thread outlived every picker and every call";
    }

    // Nothing counts as stuck until the test says that time has passed.
    std::unique_ptr<PickerWork> Open()
    {
        PickerWork::Options options{listers, askers, std::chrono::hours(1), {}};
        auto word = [this, first = listers->Started() + askers->Started() == 0] {
            std::lock_guard<std::mutex> guard(fs.lock);
            ++fs.told;
            fs.toldFirst += first;
            fs.changed.notify_all();
            return true;
        };
        return std::make_unique<PickerWork>(fs, word, word, options);
    }
    static FolderListing Folder(const std::string& path) { return FolderListing{nullptr, path, SortDirection::Ascending, {}}; }
    static ShellQuestion Question(const std::string& path)
    {
        ShellQuestion q;
        q.path = path;
        q.attributes = shell::kFolder;
        q.askAttributes = q.askIcon = q.askChildren = true;
        return q;
    }
    static void StuckLongEnough(PickerWork& work) { work.Supervise(Clock::now() + std::chrono::hours(2)); }

    // Takes what `work` brings back until `listings` and `answers` have come, for at most 10 s.
    bool Collect(PickerWork& work, std::size_t listings, std::size_t answers)
    {
        const auto until = Clock::now() + std::chrono::seconds(10);
        for (int seen = -1;;) {
            for (FolderListing& l : work.TakeListed())
                listed.push_back(l.path + (l.entries.empty() ? " (empty)" : ""));
            for (ShellQuestion& q : work.TakeAnswers())
                answered.push_back(q.path + (q.hasChildren == 1 ? "" : " (no children)"));
            if (listed.size() >= listings && answered.size() >= answers)
                return true;
            std::unique_lock<std::mutex> guard(fs.lock);
            if (!fs.changed.wait_until(guard, until, [&] { return fs.told != seen; }))
                return false;
            seen = fs.told;
        }
    }
    bool HeldInLostShare(int calls)
    {
        std::unique_lock<std::mutex> guard(fs.lock);
        return fs.changed.wait_for(guard, std::chrono::seconds(10), [&] { return fs.held == calls; });
    }
    void LetLostBack()
    {
        std::lock_guard<std::mutex> guard(fs.lock);
        fs.lostBack = true;
        fs.changed.notify_all();
    }
    template <class Done> static bool Eventually(Done done)
    {
        for (auto until = Clock::now() + std::chrono::seconds(10); !done(); std::this_thread::sleep_for(std::chrono::milliseconds(1)))
            if (Clock::now() > until)
                return false;
        return true;
    }

    ThreadedFiles fs;
    std::shared_ptr<WorkerBudget> listers = std::make_shared<WorkerBudget>(2);
    std::shared_ptr<WorkerBudget> askers = std::make_shared<WorkerBudget>(2);
    std::vector<std::string> listed;
    std::vector<std::string> answered;
};

TEST_F(PickerWorkTest, ManyQuickExpansionsShareOneSearchThreadAndOneShellThread)
{
    auto work = Open();
    work->HoldAsking(true);   // folders being opened come first
    std::vector<std::string> paths;
    for (int i = 0; i < 30; ++i) {
        paths.push_back("C:\\F" + std::to_string(i));
        work->List(Folder(paths.back()));
        work->Ask(Question(paths.back()));
    }
    ASSERT_TRUE(Collect(*work, 30, 0));
    EXPECT_TRUE(answered.empty()) << "the shell was asked while folders were searched";
    work->HoldAsking(false);
    ASSERT_TRUE(Collect(*work, 30, 30));
    EXPECT_EQ(listed, paths) << "searched in the order asked, each with its file";
    EXPECT_EQ(answered, paths);
    EXPECT_EQ(listers->Started(), 1);
    EXPECT_EQ(askers->Started(), 1);
    std::lock_guard<std::mutex> guard(fs.lock);
    EXPECT_EQ(fs.listers.size(), 1u);
    EXPECT_EQ(fs.askers.size(), 1u);
    EXPECT_FALSE(fs.listers.count(std::this_thread::get_id()) || fs.askers.count(std::this_thread::get_id()));
}

TEST_F(PickerWorkTest, ACallThatNeverComesBackHoldsUpNeitherLaterWorkNorTheClose)
{
    auto first = Open();
    first->Ask(Question("C:\\Lost"));
    first->List(Folder("C:\\Lost"));
    ASSERT_TRUE(HeldInLostShare(2));
    first->Ask(Question("C:\\F0"));
    first->List(Folder("C:\\F1"));
    EXPECT_TRUE(first->Supervise(Clock::now())) << "work waits behind the held calls";
    EXPECT_EQ(askers->Started() + listers->Started(), 2) << "a call not held long is not given up on";

    // Held long enough: fresh threads take the later expansion and the later question.
    StuckLongEnough(*first);
    ASSERT_TRUE(Collect(*first, 1, 1));
    EXPECT_THAT(listed, ElementsAre("C:\\F1"));
    EXPECT_THAT(answered, ElementsAre("C:\\F0"));

    // The close does not wait for the held calls, and leaves their threads alone.
    auto closing = std::async(std::launch::async, [&] { first.reset(); });
    EXPECT_EQ(closing.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    ASSERT_TRUE(Eventually([&] { return askers->Live() == 1 && listers->Live() == 1; }))
        << "the idle threads end with the picker, the held ones stay";

    // The picker opened again works, until held threads reach the bound: then work waits
    // for one to come back rather than be done on the window's thread.
    auto second = Open();
    second->Ask(Question("C:\\Lost\\a.txt"));
    ASSERT_TRUE(HeldInLostShare(3));
    second->Ask(Question("C:\\F2"));
    StuckLongEnough(*second);
    second->Ask(Question("C:\\F3"));
    EXPECT_EQ(askers->Live(), 2);
    EXPECT_TRUE(second->TakeAnswers().empty());

    int toldFirst = 0;
    {
        std::lock_guard<std::mutex> guard(fs.lock);
        toldFirst = fs.toldFirst;
    }
    LetLostBack();
    listed.clear();
    answered.clear();
    ASSERT_TRUE(Collect(*second, 0, 3));
    EXPECT_THAT(answered, ElementsAre("C:\\Lost\\a.txt (no children)", "C:\\F2", "C:\\F3"));
    second.reset();
    ASSERT_TRUE(Eventually([&] { return listers->Live() == 0 && askers->Live() == 0; }));
    std::lock_guard<std::mutex> guard(fs.lock);
    EXPECT_EQ(fs.toldFirst, toldFirst) << "a closed picker was told what its held calls brought back";
}

// --- Picker: drives and names -----------------------------------------------------------

TEST(PickerDriveTest, DrivesAreCountedAToZAndRootsTakenInSystemOrder)
{
    EXPECT_EQ(CountDrives(0x0000000Cu), 2);      // C: D:
    EXPECT_EQ(CountDrives(0xFC000001u), 1);      // bits above Z are not drives
    std::string roots("C:\\\0D:\\\0Z:\\\0\0", 13);
    EXPECT_EQ(DriveRootPath(roots, 0), "C:\\");
    EXPECT_EQ(DriveRootPath(roots, 2), "Z:\\");
    EXPECT_EQ(DriveRootPath(roots, 3), "");
    EXPECT_EQ(DriveRootPath(std::string(1, '\0'), 0), "");
}

TEST(PickerDriveTest, OnlyLocalHardAndRemovableDrivesOtherThanAAreBrowsed)
{
    EXPECT_TRUE(ReadsShellAttributes(kDriveFixed, "C:\\"));
    EXPECT_TRUE(ReadsShellAttributes(kDriveRemovable, "E:\\"));
    EXPECT_FALSE(ReadsShellAttributes(kDriveRemovable, "A:\\"));
    EXPECT_FALSE(ReadsShellAttributes(5, "D:\\"));   // CD-ROM
    EXPECT_FALSE(ReadsShellAttributes(4, "N:\\"));   // network
    EXPECT_FALSE(ReadsShellAttributes(6, "R:\\"));   // RAM disk
}

TEST(PickerNameTest, ChildPathsAndShownNames)
{
    EXPECT_EQ(ChildPath("C:\\", "x"), "C:\\x");
    EXPECT_EQ(ChildPath("C:\\a", "x y"), "C:\\a\\x y");
    EXPECT_EQ(SearchPattern("C:\\a"), "C:\\a\\*.*");
    EXPECT_EQ(LastComponent("C:\\a\\b c.txt"), "b c.txt");
    EXPECT_EQ(LastComponent("C:\\a\\dir\\"), "dir");
}

// --- Picker: shortening -----------------------------------------------------------------

int SevenPerChar(std::wstring_view text) { return static_cast<int>(text.size()) * 7; }

// The system keeps small (16 at 96 DPI), large (32) and extra-large (48) icons.
TEST(PickerIconTest, TheListOfTheDpisSizeElseALargerOneShrunkToIt)
{
    auto plan = [](int wanted, const std::vector<int>& sizes) {
        IconPlan p = PlanIcons(wanted, sizes);
        return std::pair{p.list, p.scaled};
    };
    const std::vector<int> sizes{16, 32, 48};
    EXPECT_EQ(plan(16, sizes), std::pair(std::size_t{0}, false)) << "100 %: the small list as it is";
    EXPECT_EQ(plan(32, sizes), std::pair(std::size_t{1}, false)) << "200 %: sharp, not the small icons";
    EXPECT_EQ(plan(24, sizes), std::pair(std::size_t{1}, true)) << "150 %: 24 pixels, shrunk from 32, not 16 grown";
    EXPECT_EQ(plan(40, sizes), std::pair(std::size_t{2}, true));
    EXPECT_EQ(plan(72, sizes), std::pair(std::size_t{2}, true)) << "nothing larger: the largest, grown";
    EXPECT_EQ(plan(12, std::vector<int>{32, 24}), std::pair(std::size_t{1}, true));
    EXPECT_EQ(plan(16, {}), std::pair(std::size_t{0}, false));
}

TEST(ShortenTest, TextThatFitsIsLeftAlone)
{
    EXPECT_EQ(ShortenWithEllipsis(L"abcd", 28, SevenPerChar), L"abcd");
}

TEST(ShortenTest, TheLongestFittingBeginningGetsTheDots)
{
    EXPECT_EQ(ShortenWithEllipsis(L"abcdefgh", 55, SevenPerChar), L"abcd...");   // 7 chars: 49 <= 55
    EXPECT_EQ(ShortenWithEllipsis(L"abcdefgh", 49, SevenPerChar), L"abcd...");
    EXPECT_EQ(ShortenWithEllipsis(L"abcdefgh", 48, SevenPerChar), L"abc...");
    EXPECT_EQ(ShortenWithEllipsis(L"abcdefgh", 21, SevenPerChar), L"...");
    EXPECT_EQ(ShortenWithEllipsis(L"abcdefgh", 20, SevenPerChar), L"");
}

TEST(ShortenTest, ASurrogatePairIsNeverSplit)
{
    std::wstring text = L"ab\xD83D\xDE00zzzz";   // a, b, one emoji, z...
    EXPECT_EQ(ShortenWithEllipsis(text, 42, SevenPerChar), L"ab...");   // 3 units + dots fit
}

} // namespace
} // namespace tw
