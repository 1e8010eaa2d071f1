// A simulated file system and shell for the native unit tests: drives, folders and files
// with their attributes, the file search with its attribute mask, the shell's attribute and
// icon queries, and the commands a program starts. attrib command lines are split the way
// the C runtime splits them and then applied, so a test sees what a real attrib would do
// with exactly the command line it was given.
#pragma once

#include "platform/Platform.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tw::sim {

inline constexpr std::uint32_t kReadOnly = 0x01;
inline constexpr std::uint32_t kHidden = 0x02;
inline constexpr std::uint32_t kSystem = 0x04;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;

// Splits a command line into arguments with the C runtime's rules (quotes group, 2n
// backslashes before a quote give n and the quote delimits, 2n+1 give n and a literal quote).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

class SimFiles : public FileApi {
public:
    // A drive root such as "C:\" of a drive type (3 fixed, 5 CD-ROM, ...); fixed and
    // removable roots are also folders of the file system.
    void AddDrive(const std::string& root, unsigned type);
    // Adds the entry and any missing parent folders.
    void AddFolder(const std::string& path, std::uint32_t attributes = kDirectory);
    void AddFile(const std::string& path, std::uint32_t attributes = kArchive);
    // Shell bits beyond what the file system gives (compressed, shared, link).
    void SetExtraShellBits(const std::string& path, std::uint32_t bits);
    // FILE_ATTRIBUTE_* of an entry (paths match without regard to case); nothing if absent.
    std::optional<std::uint32_t> Attributes(const std::string& path) const;

    std::string systemDir = "C:\\Windows\\system32";
    std::string windowsDir = "C:\\Windows";
    bool startFails = false;              // RunHidden: the command cannot be started
    // attrib runs and ends as usual but changes nothing on these paths (upper case): a file
    // held by another program, access denied, a read-only medium.
    std::set<std::string> refusing;
    std::set<std::string> unreadable;     // FileAttributes fails, the path still there
    std::vector<std::string> commands;    // every command line RunHidden was given
    // What attrib printed where it left an entry alone for a hidden or system attribute the
    // command did not name.
    std::vector<std::string> attribRefusals;
    std::vector<unsigned> commandWaits;   // the wait bound of each
    std::vector<std::string> opened;      // ShellOpen: "<file>|<parameters>"
    int searches = 0;                     // FindFiles calls
    int shellQueries = 0;                 // ShellAttributes calls
    int iconLookups = 0;                  // SmallIconIndex calls
    int typeIconLookups = 0;              // TypeIconIndex calls

    // FileApi
    std::string SystemDirectory() override { return systemDir; }
    std::string WindowsDirectory() override { return windowsDir; }
    bool RunHidden(const std::string& commandLine, unsigned waitMs) override;
    std::optional<std::uint32_t> FileAttributes(const std::string& path, bool& missing) override;
    void ShellOpen(Hwnd owner, const std::string& file, const std::string& parameters) override;
    std::uint32_t GetLogicalDrives() override;
    std::string GetLogicalDriveStringsA() override;
    unsigned GetDriveTypeA(const std::string& root) override;
    bool FindFiles(const std::string& pattern, std::uint32_t attributeMask,
                   const std::function<bool(const FindEntry&)>& each) override;
    std::uint32_t ShellAttributes(const std::string& path, std::uint32_t mask) override;
    int SmallIconIndex(const std::string& path, unsigned flags) override;
    int TypeIconIndex(const std::string& path, bool folder, unsigned flags) override;
    std::uintptr_t SmallImageList() override { return 0x5151; }
    int OverlayIndex(bool link) override { return link ? 2 : 1; }
    // The simulated ANSI code page is Latin-1, except that it maps "ā" (U+0101) onto "a"
    // without a word, as a best fit that slips past the flag would.
    std::optional<std::string> PathToAnsi(const std::string& path) override;
    std::string AnsiToPath(const std::string& ansi) override;

private:
    struct Entry {
        std::string path;          // as added
        std::uint32_t attributes;
        std::uint32_t extraShell = 0;
    };
    static std::string Key(const std::string& path);
    static std::string Parent(const std::string& key);
    void ApplyAttrib(const std::vector<std::string>& args);

    std::map<std::string, Entry> entries_;     // by upper-case path without a trailing "\"
    std::map<char, unsigned> drives_;          // drive letter -> type
};

} // namespace tw::sim
