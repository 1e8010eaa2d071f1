// tw-e2e: TIMEOUT 240
// Hiding files as a user does it: the refresh button on the Files page opens the picker,
// ticking an entry hides it at once and lists it, clearing the tick restores it; the list
// survives a restart (and a program that is ended without closing its window), the Files
// page restores a line after a confirmation, a slow attrib never holds the window up, and a
// close that cannot save asks before it quits. A restore that attrib could not carry out
// keeps its line, and a restore never takes away an attribute the entry had before.
//
// Wine's own attrib applies only the last of several flags ("attrib +h +s" sets only the
// system attribute), unlike a real system's. Tarnwick is not bent to that: for this test
// the prefix's attrib.exe is replaced by helpers/attrib.cpp (chosen over Wine's own through
// a load-order override in the prefix's registry), which applies every flag, refuses as a
// real attrib does an entry whose hidden or system attribute the command does not name, and
// records each command line it gets, so the test checks both the exact command lines
// (order, quoting) and what they did to the files.
#include "E2e.h"
#include "RemoteTree.h"
#include "Hints.h"
#include "Tabs.h"

#include "app/ControlIds.h"
#include "files/PickerIds.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>
#include <sstream>

namespace {

using namespace tw::e2e;
namespace ids = tw::ids;

constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// Hangul and an emoji: code page 936 holds neither, and its guess at the name, "?? ??.txt",
// is a pattern that "ab cd.txt" beside it matches.
constexpr const wchar_t* kHangul = L"\uD55C\uAE00 \U0001F600.txt";

std::wstring SystemFolder()
{
    wchar_t dir[MAX_PATH]{};
    GetSystemDirectoryW(dir, MAX_PATH);
    return dir;
}

DWORD Attrs(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }
bool HiddenSystem(const std::wstring& path) { return (Attrs(path) & kHiddenSystem) == kHiddenSystem; }
bool Plain(const std::wstring& path) { return (Attrs(path) & kHiddenSystem) == 0; }

void WriteFileText(const std::wstring& path, const std::string& text)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << WideToUtf8(path);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

struct WindowSearch {
    DWORD program;
    const std::wstring* text;
    HWND found;
};

BOOL CALLBACK MatchOtherWindow(HWND w, LPARAM p)
{
    auto* s = reinterpret_cast<WindowSearch*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != s->program && pid != GetCurrentProcessId() && IsWindowVisible(w) &&
        Text(w).find(*s->text) != std::wstring::npos) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// Puts our attrib.exe in place of Wine's for the whole test program, and Wine's back
// afterwards. The native copy is chosen through the prefix's registry: Wine reads a load
// order override for a program it starts from there (an override put only in our own
// environment does not reach the processes Tarnwick starts).
class AttribDouble : public ::testing::Environment {
public:
    void SetUp() override
    {
        system_ = SystemFolder() + L"\\attrib.exe";
        saved_ = system_ + L".tw-wine";
        // A run that died half-way left Wine's copy saved: keep that one, not ours.
        if (GetFileAttributesW(saved_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            ASSERT_TRUE(CopyFileW(system_.c_str(), saved_.c_str(), TRUE)) << GetLastError();
        }
        ASSERT_TRUE(CopyFileW(HelperExe(L"attrib").c_str(), system_.c_str(), FALSE)) << GetLastError();
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kOverrides, L"attrib.exe", REG_SZ, L"native", sizeof(L"native")),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kOverrides, L"attrib.exe");
        if (CopyFileW(saved_.c_str(), system_.c_str(), FALSE))
            DeleteFileW(saved_.c_str());
    }

private:
    static constexpr const wchar_t* kOverrides = L"Software\\Wine\\DllOverrides";
    std::wstring system_;
    std::wstring saved_;
};

const auto* const kAttribDouble = ::testing::AddGlobalTestEnvironment(new AttribDouble);

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log_ = data_.File(L"attrib.log");
        SetEnvironmentVariableW(L"TW_ATTRIB_LOG", log_.c_str());
        root_ = data_.File(L"tree");
        CreateDirectoryW(root_.c_str(), nullptr);
        for (const wchar_t* dir : {L"Empty", L"Folder With Blank", L"OnlySubs", L"OnlySubs\\Sub1", L"OnlySubs\\Sub2", L"Zed"})
            CreateDirectoryW(Path(dir).c_str(), nullptr);
        for (const wchar_t* file : {L"a b.txt", L"plain.txt", L"already.dat", L"Folder With Blank\\inner.txt",
                                    L"中文 名.txt", kHangul, L"ab cd.txt"})
            WriteFileText(Path(file), "x");
        SetFileAttributesW(Path(L"already.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
    }

    std::wstring Path(const std::wstring& name) const { return root_ + L"\\" + name; }

    // OnlySubs\Many: more files than the picker adds in one go.
    void MakeBigFolder()
    {
        CreateDirectoryW(Path(L"OnlySubs\\Many").c_str(), nullptr);
        for (int i = 0; i < 4400; ++i) {
            wchar_t name[16];
            swprintf(name, 16, L"m%04d.txt", i);
            WriteFileText(Path(L"OnlySubs\\Many\\") + name, "x");
            manyNames_.push_back(name);
        }
    }

    // The command lines attrib was given, oldest first.
    std::vector<std::wstring> Commands() const
    {
        std::vector<std::wstring> out;
        HANDLE f = CreateFileW(log_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return out;
        std::string text(1 << 16, '\0');
        DWORD got = 0;
        ReadFile(f, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
        CloseHandle(f);
        text.resize(got);
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            out.push_back(Utf8ToWide(line));
        return out;
    }
    std::wstring Command(const wchar_t* flags, const std::wstring& path) const
    {
        return L"\"" + SystemFolder() + L"\\attrib.exe\" " + flags + L" \"" + path + L"\"";
    }

    // The File value of System.ini (ANSI), or the FileUtf8 one, decoded into its lines.
    // Reading System.ini holds it open for a moment, and the program replaces the file whole,
    // by a move over it that it retries for half a second: a reader that polled every few
    // milliseconds could keep the new file out. The stored lists are read a few times a second.
    template <class Pred>
    bool WaitUntilSaved(Pred&& pred) const
    {
        const auto deadline = std::chrono::steady_clock::now() + Ms(10000);
        for (;;) {
            if (pred())
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            PumpFor(Ms(250));
        }
    }

    std::vector<std::wstring> SavedList(const char* key = "File") const
    {
        char hex[8192]{};
        GetPrivateProfileStringA("system", key, "<missing>", hex, sizeof hex,
                                 WideToAnsi(app_.FileInFolder(L"System.ini")).c_str());
        std::string bytes;
        for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
            bytes += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
        if (std::string(hex) == "<missing>")
            return {L"<missing>"};
        std::vector<std::wstring> out;
        for (size_t pos = 0; pos < bytes.size();) {
            size_t end = bytes.find("\r\n", pos);
            std::string line = bytes.substr(pos, end - pos);
            out.push_back(key == std::string_view("File") ? AnsiToWide(line) : Utf8ToWide(line));
            pos = end == std::string::npos ? bytes.size() : end + 2;
        }
        return out;
    }

    // A visible top-level window of another program whose title holds `text`.
    HWND OtherWindowTitled(const std::wstring& text) const
    {
        WindowSearch search{app_.Id(), &text, nullptr};
        EnumWindows(&MatchOtherWindow, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    HWND Main() const { return app_.MainWindow(); }

    // Clicks line `index` of the file list and waits for the click's effect, the line selected
    // in the focused list, so that keys pressed next go to it.
    bool SelectLine(int index)
    {
        const std::optional<POINT> at = ListBoxLinePoint(FileList(), index);
        if (!at || !Click(*at, FileList()))
            return false;
        if (WaitUntil([&] { return FocusOf(Main()) == FileList() && SendTimed(FileList(), LB_GETCURSEL) == index; }))
            return true;
        ADD_FAILURE() << "line " << index << " was not selected; " << DescribeInputState(Main());
        return false;
    }

    HWND FileList() const { return ControlById(Main(), ids::lstFiles); }

    bool OpenFilesPage() const
    {
        return BringToForeground(Main()) && ClickTab(ControlById(Main(), ids::PageControl1), 2);
    }
    // Opens the picker with the refresh button; its window, or nullptr.
    HWND OpenPicker() const
    {
        if (!ClickWindow(ControlById(Main(), ids::BtnRefreshList)))
            return nullptr;
        return app_.WaitForWindow(L"TDrawTreeForm", {}, kStartWait);
    }
    HTREEITEM ExpandToRoot(const RemoteTree& tree, std::wstring& shown) const { return ExpandTo(tree, root_, shown); }

    TempFolder data_{L"tw-files"};
    std::wstring root_;
    std::vector<std::wstring> manyNames_;   // in the order the picker lists them
    std::wstring log_;
    App app_;
};

TEST_F(FilesTest, PickerHidesAtOnceListsAndRestoresAndTheListOutlivesAKill)
{
    MakeBigFolder();
    ASSERT_TRUE(app_.Start());
    ASSERT_TRUE(OpenFilesPage());
    EXPECT_EQ(HoverHint(ControlById(Main(), ids::BtnRefreshList), Center(FileList())), L"选择文件");

    HWND picker = OpenPicker();
    ASSERT_TRUE(picker);
    RECT mainRect = ScreenRect(Main());
    RECT pickerRect = ScreenRect(picker);
    EXPECT_EQ(pickerRect.left, mainRect.right) << "beside the main window, on its right";
    EXPECT_EQ(pickerRect.top, mainRect.top);
    EXPECT_FALSE(IsEnabled(Main())) << "the picker is modal";

    HWND header = ControlById(picker, ids::VDT1Header);
    std::wstring caption;
    auto column = HeaderItem(header, &caption);
    ASSERT_TRUE(column);
    EXPECT_EQ(caption, L"文件路径");
    EXPECT_EQ(column->fmt & (HDF_SORTUP | HDF_SORTDOWN), 0) << "no sort glyph before the first click";
    EXPECT_EQ(Text(ControlById(picker, ids::BtnSelFiles)), L"确定(&O)");

    RemoteTree tree(ControlById(picker, ids::VDT1));
    std::vector<HTREEITEM> drives = tree.Children(nullptr);
    ASSERT_FALSE(drives.empty());
    for (HTREEITEM drive : drives)
        EXPECT_EQ(tree.CheckState(drive), 0) << "a drive has no check box: " << WideToUtf8(tree.Text(drive));

    std::wstring shown;
    HTREEITEM top = ExpandToRoot(tree, shown);
    ASSERT_TRUE(top);
    // Folders first, each group ascending; hidden and system entries listed like any other.
    EXPECT_EQ(tree.ChildTexts(top), (std::vector<std::wstring>{L"Empty", L"Folder With Blank", L"OnlySubs", L"Zed",
                                                                L"a b.txt", L"ab cd.txt", L"already.dat", L"plain.txt",
                                                                L"中文 名.txt", kHangul}));
    for (HTREEITEM child : tree.Children(top))
        EXPECT_EQ(tree.CheckState(child), 1) << WideToUtf8(tree.Text(child));
    EXPECT_TRUE(tree.HasButton(tree.Find(top, L"OnlySubs"))) << "a folder of only subfolders can be opened";
    EXPECT_FALSE(tree.HasButton(tree.Find(top, L"a b.txt")));
    // What the shell knows comes after the first paint, and soon; it settles what was drawn.
    EXPECT_TRUE(WaitUntil([&] {
        LRESULT waiting = 1;
        return SendTimed(picker, ids::PickerRefiningMessage, 0, 0, waiting) && waiting == 0;
    }, kStartWait)) << "the picker still waits on the shell";
    EXPECT_TRUE(tree.HasButton(tree.Find(top, L"OnlySubs")));
    EXPECT_FALSE(tree.HasButton(tree.Find(top, L"a b.txt")));
    // Wine's shell says "has subfolders" of every folder, so an empty one shows a button until
    // it is opened; opened, it has no entries and loses the button.
    HTREEITEM empty = tree.Find(top, L"Empty");
    ASSERT_TRUE(tree.Expand(empty));
    EXPECT_TRUE(tree.Children(empty).empty());
    EXPECT_FALSE(tree.HasButton(empty));

    // Tick a file with the mouse and a folder with the space key: hidden at once, listed.
    HTREEITEM blankFile = tree.Find(top, L"a b.txt");
    auto box = tree.CheckBoxPoint(blankFile);
    ASSERT_TRUE(box);
    ASSERT_TRUE(Click(*box));
    EXPECT_TRUE(WaitUntil([&] { return HiddenSystem(Path(L"a b.txt")); })) << std::hex << Attrs(Path(L"a b.txt"));
    HTREEITEM folder = tree.Find(top, L"Folder With Blank");
    ASSERT_TRUE(tree.Select(folder));
    PressKey(VK_SPACE);
    EXPECT_TRUE(WaitUntil([&] { return HiddenSystem(Path(L"Folder With Blank")); }));
    EXPECT_TRUE(Plain(Path(L"Folder With Blank\\inner.txt"))) << "only the folder itself is hidden";
    HTREEITEM chinese = tree.Find(top, L"中文 名.txt");
    ASSERT_TRUE(chinese);
    ASSERT_TRUE(Click(*tree.CheckBoxPoint(chinese)));
    EXPECT_TRUE(WaitUntil([&] { return HiddenSystem(Path(L"中文 名.txt")); }));
    EXPECT_EQ(ListBoxLines(FileList()), (std::vector<std::wstring>{shown + L"\\a b.txt", shown + L"\\Folder With Blank",
                                                                    shown + L"\\中文 名.txt"}));

    // Clear a tick: restored and gone from the list.
    ASSERT_TRUE(Click(*tree.CheckBoxPoint(blankFile)));
    EXPECT_TRUE(WaitUntil([&] { return Plain(Path(L"a b.txt")); }));
    // Tick and clear at once while attrib is slow (a sleeping drive): the window and the
    // picker answer all the while, and the file ends restored, the commands in order.
    WriteFileText(log_ + L".sleep", "2000");
    HTREEITEM plain = tree.Find(top, L"plain.txt");
    auto plainBox = tree.CheckBoxPoint(plain);
    ASSERT_TRUE(plainBox);
    ASSERT_TRUE(Click(*plainBox));
    ASSERT_TRUE(Click(*plainBox));
    ASSERT_TRUE(WaitUntil([&] { return Commands().size() == 5; })) << "the hide has started";
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(Main(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &answer)) << "the window is held up";
    EXPECT_TRUE(SendMessageTimeoutW(picker, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &answer)) << "the picker is held up";
    EXPECT_TRUE(WaitUntil([&] { return tree.CheckState(plain) == 1; }, Ms(1000)));
    EXPECT_EQ(Commands().size(), 5u) << "the restore waits for the hide to finish";
    EXPECT_TRUE(WaitUntil([&] { return Commands().size() == 6; }));
    DeleteFileW((log_ + L".sleep").c_str());
    EXPECT_TRUE(WaitUntil([&] { return Plain(Path(L"plain.txt")); }));
    // An entry that was hidden before it was ticked keeps that once cleared: clearing takes
    // away only what the tick added. attrib changes nothing of a hidden file unless the
    // command names the hidden attribute too, so the restore names it.
    HTREEITEM already = tree.Find(top, L"already.dat");
    ASSERT_TRUE(already);
    ASSERT_TRUE(Click(*tree.CheckBoxPoint(already)));
    EXPECT_TRUE(WaitUntil([&] { return HiddenSystem(Path(L"already.dat")); }));
    EXPECT_TRUE(WaitUntil([&] { return ListBoxLines(FileList()).size() == 3; }));
    ASSERT_TRUE(Click(*tree.CheckBoxPoint(already)));
    // Its stored line goes once the restore is known to have done its part.
    EXPECT_TRUE(WaitUntilSaved([&] { return SavedList().size() == 2; })) << SavedList().size() << " stored lines";
    EXPECT_EQ(Attrs(Path(L"already.dat")) & kHiddenSystem, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN))
        << std::hex << Attrs(Path(L"already.dat"));
    EXPECT_EQ(Commands(), (std::vector<std::wstring>{
                              Command(L"+h +s", shown + L"\\a b.txt"),
                              Command(L"+h +s", shown + L"\\Folder With Blank"),
                              Command(L"+h +s", shown + L"\\中文 名.txt"),
                              Command(L"-h -s", shown + L"\\a b.txt"),
                              Command(L"+h +s", shown + L"\\plain.txt"),
                              Command(L"-h -s", shown + L"\\plain.txt"),
                              Command(L"+h +s", shown + L"\\already.dat"),
                              Command(L"-s +h", shown + L"\\already.dat"),
                          }));
    EXPECT_EQ(ListBoxLines(FileList()),
              (std::vector<std::wstring>{shown + L"\\Folder With Blank", shown + L"\\中文 名.txt"}));

    // While another program holds the settings file a tick cannot be saved: the entry is
    // left alone, its tick undone, and the user told.
    HTREEITEM zed = tree.Find(top, L"Zed");
    ASSERT_TRUE(zed);
    {
        UniqueHandle holder(CreateFileW(app_.FileInFolder(L"System.ini").c_str(), GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.Get());
        ASSERT_TRUE(Click(*tree.CheckBoxPoint(zed)));
        HWND told = app_.WaitForWindow(L"#32770", L"Tarnwick");
        ASSERT_TRUE(told);
        EXPECT_EQ(Text(GetDlgItem(told, 0xFFFF)), L"无法保存文件列表，该文件未隐藏！");
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == told; }));
        ASSERT_TRUE(ClickWindow(GetDlgItem(told, IDOK)));
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(told); }));
    }
    EXPECT_TRUE(WaitUntil([&] { return tree.CheckState(zed) == 1; }));
    EXPECT_TRUE(Plain(Path(L"Zed")));
    EXPECT_EQ(Commands().size(), 8u);
    EXPECT_EQ(ListBoxLines(FileList()).size(), 2u);

    // A name the code page cannot hold is hidden, listed and stored exactly: never through the
    // code page's guess at it, which names the file beside it, nor where older versions
    // would read that guess.
    HTREEITEM hangul = tree.Find(top, kHangul);
    ASSERT_TRUE(hangul);
    ASSERT_TRUE(Click(*tree.CheckBoxPoint(hangul)));
    EXPECT_TRUE(WaitUntil([&] { return HiddenSystem(Path(kHangul)); })) << std::hex << Attrs(Path(kHangul));
    EXPECT_TRUE(WaitUntil([&] { return Commands().size() == 9; }));
    EXPECT_EQ(Commands().back(), Command(L"+h +s", shown + L"\\" + kHangul));
    EXPECT_TRUE(Plain(Path(L"ab cd.txt")));
    EXPECT_EQ(ListBoxLines(FileList()), (std::vector<std::wstring>{shown + L"\\Folder With Blank",
                                                                    shown + L"\\中文 名.txt", shown + L"\\" + kHangul}));

    // The header sorts: the first click shows the glyph and keeps the order ascending, the
    // second reverses the whole order, files first.
    auto headerRect = HeaderItemRect(header);
    ASSERT_TRUE(headerRect);
    ASSERT_TRUE(Click(Center(*headerRect)));
    EXPECT_TRUE(WaitUntil([&] { return (HeaderItem(header)->fmt & HDF_SORTUP) != 0; }));
    std::vector<std::wstring> ascending = tree.ChildTexts(top);
    EXPECT_EQ(ascending.front(), L"Empty");
    // A folder too big to go in at once opens with its first entries and takes in the rest
    // a slice at a time when idle; the second click comes as soon as it opens, while it fills.
    HTREEITEM onlySubs = tree.Find(top, L"OnlySubs");
    ASSERT_TRUE(tree.Expand(onlySubs));
    HTREEITEM many = tree.Find(onlySubs, L"Many");
    ASSERT_TRUE(many);
    // A little to the side, or the two clicks would make a double click. The pointer is there
    // first, so that the click comes as soon as the node opens, before the rest is in.
    const POINT second{Center(*headerRect).x + 30, Center(*headerRect).y};
    ASSERT_TRUE(MoveMouse(second));
    PostMessageW(tree.Window(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(many));
    const auto openBy = std::chrono::steady_clock::now() + kStartWait;
    while (!tree.Expanded(many) && std::chrono::steady_clock::now() < openBy)
        Sleep(1);
    ASSERT_TRUE(Click(second));
    EXPECT_TRUE(WaitUntil([&] { return (HeaderItem(header)->fmt & HDF_SORTDOWN) != 0; }));
    std::vector<std::wstring> descending = tree.ChildTexts(top);
    std::reverse(ascending.begin(), ascending.end());
    EXPECT_EQ(descending, ascending);
    EXPECT_TRUE(WaitUntil([&] {
        LRESULT waiting = 1;
        return SendTimed(picker, ids::PickerRefiningMessage, 0, 0, waiting) && waiting == 0;
    }, kStartWait)) << "the folder did not fill";
    std::reverse(manyNames_.begin(), manyNames_.end());
    EXPECT_EQ(tree.ChildTexts(many), manyNames_) << "every entry, once, in the new order";

    // "确定(&O)" closes the picker; the list was written as it changed, so ending the
    // program without closing its window loses nothing.
    ASSERT_TRUE(ClickWindow(ControlById(picker, ids::BtnSelFiles)));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(picker) || !IsVisible(picker); }));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(Main()); }));
    app_.Kill();
    EXPECT_EQ(SavedList(), (std::vector<std::wstring>{shown + L"\\Folder With Blank", shown + L"\\中文 名.txt"}));
    EXPECT_EQ(SavedList("FileUtf8"), (std::vector<std::wstring>{shown + L"\\" + kHangul}));

    // The next run lists it exactly, ticked in the picker, and clearing the tick gives it back.
    ASSERT_TRUE(app_.Start());
    ASSERT_TRUE(OpenFilesPage());
    EXPECT_EQ(ListBoxLines(FileList()), (std::vector<std::wstring>{shown + L"\\Folder With Blank",
                                                                    shown + L"\\中文 名.txt", shown + L"\\" + kHangul}));
    picker = OpenPicker();
    ASSERT_TRUE(picker);
    RemoteTree again(ControlById(picker, ids::VDT1));
    top = ExpandToRoot(again, shown);
    ASSERT_TRUE(top);
    hangul = again.Find(top, kHangul);
    ASSERT_TRUE(hangul);
    EXPECT_EQ(again.CheckState(hangul), 2);
    ASSERT_TRUE(Click(*again.CheckBoxPoint(hangul)));
    EXPECT_TRUE(WaitUntil([&] { return Plain(Path(kHangul)); })) << std::hex << Attrs(Path(kHangul));
    EXPECT_TRUE(WaitUntilSaved([&] { return SavedList("FileUtf8").empty(); }));
    EXPECT_EQ(Commands().back(), Command(L"-h -s", shown + L"\\" + kHangul));
    EXPECT_TRUE(Plain(Path(L"ab cd.txt")));
    EXPECT_EQ(ListBoxLines(FileList()),
              (std::vector<std::wstring>{shown + L"\\Folder With Blank", shown + L"\\中文 名.txt"}));
}

TEST_F(FilesTest, SavedListComesBackTickedAndTheFilesPageRestoresAfterAsking)
{
    // What an earlier run left: two hidden entries, one of them listed in another letter case.
    std::wstring folder = Path(L"Folder With Blank");
    std::wstring upper = root_ + L"\\PLAIN.TXT";
    SetFileAttributesW(folder.c_str(), kHiddenSystem);
    SetFileAttributesW(Path(L"plain.txt").c_str(), kHiddenSystem);
    std::string text = WideToAnsi(folder) + "\r\n" + WideToAnsi(upper) + "\r\n";
    std::string hex;
    for (unsigned char c : text) {
        char pair[3];
        snprintf(pair, sizeof pair, "%02X", c);
        hex += pair;
    }
    WritePrivateProfileStringA("system", "File", hex.c_str(), WideToAnsi(app_.FileInFolder(L"System.ini")).c_str());

    ASSERT_TRUE(app_.Start());
    ASSERT_TRUE(OpenFilesPage());
    EXPECT_EQ(ListBoxLines(FileList()), (std::vector<std::wstring>{folder, upper}));
    EXPECT_TRUE(Commands().empty()) << "nothing is run for the loaded paths";

    HWND picker = OpenPicker();
    ASSERT_TRUE(picker);
    RemoteTree tree(ControlById(picker, ids::VDT1));
    std::wstring shown;
    HTREEITEM top = ExpandToRoot(tree, shown);
    ASSERT_TRUE(top);
    EXPECT_EQ(tree.CheckState(tree.Find(top, L"Folder With Blank")), 2);
    EXPECT_EQ(tree.CheckState(tree.Find(top, L"plain.txt")), 2) << "listed in another letter case";
    EXPECT_EQ(tree.CheckState(tree.Find(top, L"a b.txt")), 1);
    // The close box closes it too.
    PostMessageW(picker, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(picker) || !IsVisible(picker); }));
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Main()); }));

    // "打开文件", the context menu's first item, shows the folder in Explorer.
    ASSERT_TRUE(BringToForeground(Main()));
    auto line = ListBoxLinePoint(FileList(), 0);
    ASSERT_TRUE(line && SelectLine(0));
    ASSERT_TRUE(app_.ChooseFromContextMenu(*line, 1));
    HWND explorer = WaitFor([&] { return OtherWindowTitled(L"Folder With Blank"); }, kStartWait);
    EXPECT_TRUE(explorer) << "no Explorer window shows the folder";
    if (explorer) {
        PostMessageW(explorer, WM_CLOSE, 0, 0);
        WaitUntil([&] { return !IsWindow(explorer); });
    }

    // Delete on a line asks first; No leaves everything as it was.
    ASSERT_TRUE(BringToForeground(Main()));
    ASSERT_TRUE(SelectLine(0));
    PressKey(VK_DELETE);
    HWND ask = app_.WaitForWindow(L"#32770", L"Confirm");
    ASSERT_TRUE(ask) << "Delete did nothing; " << DescribeInputState(Main());
    EXPECT_EQ(Text(GetDlgItem(ask, 0xFFFF)), L"确定取消路径[" + folder + L"]的隐藏吗");
    EXPECT_EQ(Text(GetDlgItem(ask, IDYES)), L"&Yes");
    EXPECT_EQ(Text(GetDlgItem(ask, IDNO)), L"&No");
    ASSERT_TRUE(ClickWindow(GetDlgItem(ask, IDNO)));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(ask); }));
    // Alt+Delete, which arrives as a system key, asks the same.
    ASSERT_TRUE(SelectLine(0));
    PressKey(VK_DELETE, kAlt);
    ask = app_.WaitForWindow(L"#32770", L"Confirm");
    ASSERT_TRUE(ask) << "Alt+Delete did nothing";
    ASSERT_TRUE(ClickWindow(GetDlgItem(ask, IDNO)));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(ask); }));
    EXPECT_EQ(ListBoxLines(FileList()).size(), 2u);
    EXPECT_TRUE(HiddenSystem(folder));

    // Shift+Delete behaves as Delete, and Yes restores that line's path; but attrib cannot
    // change a folder another program holds, and says nothing of it. The folder stays
    // hidden, so it stays listed and stored, and the user is told.
    WriteFileText(log_ + L".refuse", "");
    ASSERT_TRUE(SelectLine(0));
    PressKey(VK_DELETE, kShift);
    ask = app_.WaitForWindow(L"#32770", L"Confirm");
    ASSERT_TRUE(ask);
    ASSERT_TRUE(ClickWindow(GetDlgItem(ask, IDYES)));
    HWND refused = app_.WaitForWindow(L"#32770", L"Tarnwick");
    ASSERT_TRUE(refused) << "no word of the restore that did not take";
    EXPECT_EQ(Text(GetDlgItem(refused, 0xFFFF)), L"无法取消隐藏：" + folder);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == refused; }));
    ASSERT_TRUE(ClickWindow(GetDlgItem(refused, IDOK)));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(refused); }));
    DeleteFileW((log_ + L".refuse").c_str());
    EXPECT_TRUE(HiddenSystem(folder));
    EXPECT_EQ(ListBoxLines(FileList()), (std::vector<std::wstring>{upper, folder}));
    EXPECT_EQ(SavedList(), (std::vector<std::wstring>{upper, folder}));
    EXPECT_EQ(Commands(), (std::vector<std::wstring>{Command(L"-h -s", folder)}));

    // The context menu's "取消隐藏" does the same for the first line: it is the menu's
    // second item. A right click does not move the selection.
    auto last = ListBoxLinePoint(FileList(), 0);
    ASSERT_TRUE(last && SelectLine(0));
    ASSERT_TRUE(app_.ChooseFromContextMenu(*last, 2));
    ask = app_.WaitForWindow(L"#32770", L"Confirm");
    ASSERT_TRUE(ask);
    EXPECT_EQ(Text(GetDlgItem(ask, 0xFFFF)), L"确定取消路径[" + upper + L"]的隐藏吗");
    // Meanwhile another program holds the settings file, so this change cannot be saved.
    UniqueHandle holder(CreateFileW(app_.FileInFolder(L"System.ini").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.Get());
    ASSERT_TRUE(ClickWindow(GetDlgItem(ask, IDYES)));
    EXPECT_TRUE(WaitUntil([&] { return Plain(Path(L"plain.txt")); }));
    EXPECT_TRUE(WaitUntil([&] { return ListBoxLines(FileList()) == std::vector<std::wstring>{folder}; }));

    // Closing cannot save: the user is asked, and No keeps the window open.
    PostMessageW(Main(), WM_CLOSE, 0, 0);
    HWND question = app_.WaitForWindow(L"#32770", L"Tarnwick");
    ASSERT_TRUE(question);
    EXPECT_NE(Text(GetDlgItem(question, 0xFFFF)).find(L"是否不保存就退出？"), std::wstring::npos);
    // Clicked once it is in front, as a user would: a click that lands while the box is
    // still being activated may only activate it.
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == question; }));
    ASSERT_TRUE(ClickWindow(GetDlgItem(question, IDNO)));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(question); }));
    EXPECT_TRUE(IsWindow(Main()) && IsVisible(Main()));

    // Once it is let go, the close saves; the folder that stayed hidden is still listed in
    // the next run.
    holder.Reset();
    ASSERT_TRUE(app_.Close());
    EXPECT_EQ(SavedList(), (std::vector<std::wstring>{folder}));
    ASSERT_TRUE(app_.Start());
    // Read once the start has loaded it: the window answers before that.
    EXPECT_TRUE(WaitUntil([&] { return ListBoxLines(FileList()) == std::vector<std::wstring>{folder}; }))
        << ListBoxLines(FileList()).size() << " lines";
    ASSERT_TRUE(app_.Close());
}

} // namespace
