// The file calls against the real system: the search's attribute masks, the shell's answers,
// the drive list, commands that are waited for, and command lines split by the system's own
// argument parser.
#include "files/FileListRules.h"
#include "files/PickerRules.h"
#include "platform/Win32LateCalls.h"
#include "platform/Win32Platform.h"
#include "platform/ui/Text.h"

#include "E2e.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace tw {
namespace {

using namespace tw::e2e;

std::vector<std::string> Found(const std::string& folder, std::uint32_t mask, bool* any = nullptr)
{
    std::vector<std::string> names;
    bool result = Win32Files().FindFiles(SearchPattern(folder), mask, [&](const FindEntry& e) {
        names.push_back(e.name);
        return true;
    });
    if (any)
        *any = result;
    std::sort(names.begin(), names.end());
    return names;
}

class Win32FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t* name : {L"a.txt", L"hidden.txt", L"system.sys"}) {
            HANDLE f = CreateFileW(temp_.File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_NE(f, INVALID_HANDLE_VALUE);
            CloseHandle(f);
        }
        SetFileAttributesW(temp_.File(L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
        SetFileAttributesW(temp_.File(L"system.sys").c_str(), FILE_ATTRIBUTE_SYSTEM);
        CreateDirectoryW(temp_.File(L"dir").c_str(), nullptr);
        CreateDirectoryW(temp_.File(L"only").c_str(), nullptr);
        CreateDirectoryW(temp_.File(L"only\\sub").c_str(), nullptr);
    }
    std::string Path(const wchar_t* name = nullptr) const
    {
        return WideToUtf8(name ? temp_.File(name) : temp_.Path());
    }

    TempFolder temp_{L"tw-files-win32"};
};

TEST_F(Win32FilesTest, TheSearchMaskSkipsEntriesWithBitsItDoesNotAdmit)
{
    EXPECT_EQ(Found(Path(), kAnyEntryMask),
              (std::vector<std::string>{".", "..", "a.txt", "dir", "hidden.txt", "only", "system.sys"}));
    EXPECT_EQ(Found(Path(), kFilesOnlyMask), (std::vector<std::string>{"a.txt", "hidden.txt", "system.sys"}));
    EXPECT_EQ(Found(Path(), FILE_ATTRIBUTE_ARCHIVE), (std::vector<std::string>{"a.txt"}));

    bool any = true;
    EXPECT_TRUE(Found(Path(L"only"), kFilesOnlyMask, &any).empty());
    EXPECT_FALSE(any) << "a folder of only subfolders has no files";
    EXPECT_FALSE(FolderHasFiles(Win32Files(), Path(L"only")));
    EXPECT_TRUE(FolderHasFiles(Win32Files(), Path()));
    Found(Path(L"missing"), kAnyEntryMask, &any);
    EXPECT_FALSE(any);

    // A restore is judged by the attributes read afterwards: only a path that is not there
    // (nor its folder) reads as gone.
    bool missing = true;
    EXPECT_EQ(Win32Files().FileAttributes(Path(L"hidden.txt"), missing).value_or(0) & FILE_ATTRIBUTE_HIDDEN,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(missing);
    EXPECT_FALSE(Win32Files().FileAttributes(Path(L"gone.txt"), missing));
    EXPECT_TRUE(missing);
    missing = false;
    EXPECT_FALSE(Win32Files().FileAttributes(Path(L"missing\\gone.txt"), missing));
    EXPECT_TRUE(missing);
}

// Under code page 936 Hangul and an emoji have no ANSI form: the search, the attributes and
// the stored form must not go through one.
TEST_F(Win32FilesTest, ANameTheCodePageCannotHoldIsFoundAndNamedExactly)
{
    const wchar_t* name = L"\uD55C\uAE00 \U0001F600.txt";
    HANDLE f = CreateFileW(temp_.File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    std::vector<std::string> names = Found(Path(), kFilesOnlyMask);
    EXPECT_NE(std::find(names.begin(), names.end(), WideToUtf8(name)), names.end());
    bool missing = true;
    EXPECT_TRUE(Win32Files().FileAttributes(Path(name), missing));
    EXPECT_EQ(ExactAnsiPath(Win32Files(), Path(name)), std::nullopt);
    EXPECT_EQ(ExactAnsiPath(Win32Files(), Path(L"a.txt")), WideToAnsi(temp_.File(L"a.txt")));
    EXPECT_EQ(Win32Files().AnsiToPath(WideToAnsi(temp_.File(L"a.txt"))), Path(L"a.txt"));
}

TEST_F(Win32FilesTest, TheShellTellsFoldersFromFilesAndNothingOfWhatItCannotParse)
{
    FileApi& files = Win32Files();
    EXPECT_TRUE(files.ShellAttributes(Path(L"dir"), shell::kRequestMask) & shell::kFolder);
    EXPECT_TRUE(files.ShellAttributes(Path(L"only"), shell::kRequestMask) & shell::kHasSubfolders);
    EXPECT_FALSE(files.ShellAttributes(Path(L"a.txt"), shell::kRequestMask) & shell::kFolder);
    EXPECT_EQ(files.ShellAttributes(Path(L"no such entry"), shell::kRequestMask), 0u);
    EXPECT_GE(files.SmallIconIndex(Path(L"a.txt"), kClosedIconFlags), 0);
    EXPECT_NE(files.SmallImageList(), 0u);
}

TEST_F(Win32FilesTest, DrivesListedAsTheMaskCountsThem)
{
    FileApi& files = Win32Files();
    std::string roots = files.GetLogicalDriveStringsA();
    ASSERT_GE(roots.size(), 2u);
    EXPECT_EQ(roots.back(), '\0');
    int count = CountDrives(files.GetLogicalDrives());
    EXPECT_GT(count, 0);
    EXPECT_FALSE(DriveRootPath(roots, count - 1).empty());
    EXPECT_TRUE(DriveRootPath(roots, count).empty());
    EXPECT_EQ(files.GetDriveTypeA("C:\\"), kDriveFixed);
}

TEST_F(Win32FilesTest, ACommandIsWaitedForAndNamedOnlyByItsFullPath)
{
    FileApi& files = Win32Files();
    std::string marker = Path(L"ran marker.txt");
    std::string cmd = QuoteArgument(files.SystemDirectory() + "\\cmd.exe") + " /c echo x> " + QuoteArgument(marker);
    ASSERT_TRUE(files.RunHidden(cmd, kAttribWaitMs));
    EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "done when RunHidden returns";

    // A bare name is refused rather than looked for in the current folder or along the path.
    EXPECT_FALSE(files.RunHidden("cmd.exe /c exit", kAttribWaitMs));
}

TEST_F(Win32FilesTest, AnOpenJoinsTheShellsApartmentFirst)
{
    // The verb may be served by a shell extension, a COM object: the thread that asks must
    // already be in a single-threaded apartment, whichever thread it is.
    HRESULT later = S_OK;
    std::thread([&] {
        Win32Files().ShellOpen(0, Path(L"no such program.exe"), "");
        later = Ole().CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    }).join();
    EXPECT_EQ(later, RPC_E_CHANGED_MODE);
}

TEST(CommandLineSplitTest, TheSystemsParserGivesEveryPathBackWhole)
{
    for (std::string path : {"C:\\My Files\\a b.txt", "C:\\", "D:\\dir with blank\\", "E:\\x"}) {
        std::wstring line = ui::FromAnsi(AttribCommandLine("C:\\Windows\\system32", false, path));
        int argc = 0;
        LPWSTR* argv = CommandLineToArgvW(line.c_str(), &argc);
        ASSERT_TRUE(argv);
        ASSERT_EQ(argc, 4) << path;
        EXPECT_EQ(WideToAnsi(argv[3]), path);
        EXPECT_EQ(WideToAnsi(argv[0]), "C:\\Windows\\system32\\attrib.exe");
        LocalFree(argv);
    }
}

} // namespace
} // namespace tw
