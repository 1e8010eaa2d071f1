// The settings store against the system's real private-profile functions: what lands in the
// file, what comes back (whatever its length), and what a failed write says.
#include "platform/Win32Platform.h"
#include "settings/IniCodec.h"
#include "settings/uIniFileMgr.h"

#include "E2e.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tw {
namespace {

using namespace tw::e2e;

// The real profile functions, with the executable's folder moved to a test folder.
class ProfileInFolder final : public ProfileApi {
public:
    explicit ProfileInFolder(std::string folder) : folder_(std::move(folder)) {}
    std::string ExecutableDir() override { return folder_; }
    std::string AppDataDir() override { return Win32Profile().AppDataDir(); }
    bool CanCreateFilesIn(const std::string& dir) override { return Win32Profile().CanCreateFilesIn(dir); }
    bool CreateFolder(const std::string& dir) override { return Win32Profile().CreateFolder(dir); }
    FileRead ReadWholeFile(const std::string& path, std::string& text) override
    {
        return Win32Profile().ReadWholeFile(path, text);
    }
    bool ReplaceWholeFile(const std::string& path, const std::string& text) override
    {
        return Win32Profile().ReplaceWholeFile(path, text);
    }
    void Pause(unsigned ms) override { Win32Profile().Pause(ms); }
    std::optional<std::string> ReadString(const std::string& path, const std::string& section,
                                          const std::string& key) override
    {
        return Win32Profile().ReadString(path, section, key);
    }

private:
    std::string folder_;
};

class RealSettingsFile : public ::testing::Test {
protected:
    TempFolder folder{L"tw-settings"};
    ProfileInFolder profile{WideToAnsi(folder.Path()) + "\\"};
    TIniFileMgr ini{profile};

    std::string FileText() const
    {
        std::ifstream in(ini.Path(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    void WriteFile(const std::string& text) const
    {
        std::ofstream out(ini.Path(), std::ios::binary);
        out << text;
    }
};

TEST_F(RealSettingsFile, ExecutableFolderEndsWithASeparatorAndHoldsUs)
{
    std::string dir = Win32Profile().ExecutableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
    char self[MAX_PATH]{};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(std::string(self).rfind(dir, 0), 0u) << self << " is not in " << dir;
}

TEST_F(RealSettingsFile, NoFileReadsDefaultsAndCreatesNothing)
{
    EXPECT_EQ(ini.ReadInteger("system", "HideAllHelp", 18), 18);
    std::string stream;
    ini.ReadBinaryStream("system", "File", stream);
    EXPECT_EQ(stream, "");
    EXPECT_EQ(GetFileAttributesA(ini.Path().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(ini.Unreadable()) << "an absent file is no reason not to save";
}

TEST_F(RealSettingsFile, AWriteReplacesTheWholeFileAndKeepsWhatTheUserWrote)
{
    WriteFile("; mine\r\n[Other]\r\nKey=kept\r\n[system]\r\nHideWord=72\r\n");
    ini.WriteInteger("system", "HideWord", 81);
    ini.WriteBinaryStream("system", "File", JoinLines({"C:\\a"}));
    EXPECT_EQ(FileText(), "; mine\r\n[Other]\r\nKey=kept\r\n[system]\r\nHideWord=81\r\nFile=433A5C610D0A\r\n");
    // The profile functions see the new file, whatever case the names are spelt in.
    EXPECT_EQ(ini.ReadInteger("SYSTEM", "hideword", 0), 81);
    // Nothing of the replacement is left beside it.
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((ini.SettingsDir() + "*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    EXPECT_TRUE(profile.CanCreateFilesIn(ini.SettingsDir()));
    EXPECT_FALSE(profile.CanCreateFilesIn(ini.SettingsDir() + "no such folder\\"));
}

TEST_F(RealSettingsFile, AFileHeldOpenAtStartIsToldFromAnAbsentOneAndNeverWritten)
{
    WriteFile("[system]\r\nFile=433A5C610D0A\r\n");
    {
        // Another program holds it without sharing for longer than the start-up retries.
        UniqueHandle holder(CreateFileA(ini.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.Get());
        TIniFileMgr locked{profile};
        EXPECT_TRUE(locked.Unreadable());
        holder.Reset();
        EXPECT_THROW(locked.WriteBinaryStream("system", "File", ""), std::runtime_error);
    }
    EXPECT_EQ(FileText(), "[system]\r\nFile=433A5C610D0A\r\n");
}

TEST_F(RealSettingsFile, HandWrittenValuesReadAsTheUserMeantThem)
{
    WriteFile("[System]\r\nHideAllHelp=0x11\r\nHideAllWord = 57 \r\nHideHelp=abc\r\nShowHelp=\r\n"
              "File=433a5c610d0a\r\n");
    EXPECT_EQ(ini.ReadInteger("system", "HideAllHelp", 18), 17);
    EXPECT_EQ(ini.ReadInteger("system", "HideAllWord", 88), 57);   // the system trims the blanks
    EXPECT_EQ(ini.ReadInteger("system", "HideHelp", 18), 18);
    EXPECT_EQ(ini.ReadInteger("system", "ShowHelp", 18), 18);
    std::string stream;
    ini.ReadBinaryStream("system", "File", stream);
    EXPECT_EQ(SplitLines(stream), std::vector<std::string>{"C:\\a"});
}

TEST_F(RealSettingsFile, AbsentKeyAndEmptyValueAreTold)
{
    ini.WriteBinaryStream("system", "File", "");
    EXPECT_EQ(Win32Profile().ReadString(ini.Path(), "system", "File"), std::optional<std::string>(""));
    EXPECT_EQ(Win32Profile().ReadString(ini.Path(), "system", "Other"), std::nullopt);
    EXPECT_EQ(Win32Profile().ReadString(ini.Path(), "elsewhere", "File"), std::nullopt);
}

TEST_F(RealSettingsFile, LongValuesComeBackWhole)
{
    // Lengths around every buffer size a reader might start with, and a megabyte.
    for (std::size_t length : {254u, 255u, 256u, 257u, 4095u, 65536u, 1u << 20}) {
        SCOPED_TRACE(length);
        std::string bytes(length / 2, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>("C:\\\xD2\xFE=\x7F\x80\r\n"[i % 10]);
        ini.WriteBinaryStream("system", "File", bytes);
        std::string back;
        ini.ReadBinaryStream("system", "File", back);
        ASSERT_EQ(back.size(), bytes.size());
        EXPECT_TRUE(back == bytes);
    }
}

TEST_F(RealSettingsFile, LongValueInAUnicodeFileComesBackWhole)
{
    // Notepad saves "Unicode" as UTF-16 with a byte-order mark; the system reads that too.
    std::string value(300000, 'A');
    std::wstring text = L"\xFEFF[system]\r\nFile=" + std::wstring(value.begin(), value.end()) + L"\r\n";
    {
        std::ofstream out(ini.Path(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * 2));
    }
    EXPECT_EQ(Win32Profile().ReadString(ini.Path(), "system", "File"), std::optional<std::string>(value));
}

TEST_F(RealSettingsFile, ReadOnlyFileMakesTheWriteFailWithItsFullPath)
{
    ini.WriteInteger("system", "HideWord", 72);
    ASSERT_TRUE(SetFileAttributesA(ini.Path().c_str(), FILE_ATTRIBUTE_READONLY));
    // Windows refuses to open a read-only file for writing. Wine run as root (the test bed)
    // lets root write it anyway; there the file is held open without sharing as well, which
    // makes it just as unwritable for the profile functions.
    UniqueHandle holder(CreateFileA(ini.Path().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    try {
        ini.WriteInteger("system", "HideWord", 81);
        ADD_FAILURE() << "the write did not fail";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.Path());
    }
    EXPECT_THROW(ini.WriteBinaryStream("system", "File", "x"), std::runtime_error);
    holder.Reset();
    EXPECT_EQ(ini.ReadInteger("system", "HideWord", 0), 72);
    SetFileAttributesA(ini.Path().c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
} // namespace tw
