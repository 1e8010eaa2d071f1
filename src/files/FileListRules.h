// The hidden-file list: the paths the user hid through the picker, kept as lines wherever
// they live (the Files page's list box in the program, a vector in the tests). The rules
// here decide what a hide, an unhide, a lookup, a load and a save do to those lines and
// which system command each one runs.
#pragma once

#include "files/AttribQueue.h"
#include "platform/Platform.h"
#include "settings/IniCodec.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class TIniFileMgr;

// The lines of the list, in order. Paths are UTF-8, as the file calls take them.
class FileLines {
public:
    virtual ~FileLines() = default;
    virtual int Count() const = 0;
    virtual std::string Line(int index) const = 0;
    virtual void Append(const std::string& line) = 0;
    virtual void Delete(int index) = 0;
    // Replaces every line.
    virtual void Assign(const std::vector<std::string>& lines) = 0;
    // The first line equal to `path` when letter case is ignored, as the list control's own
    // exact-string search finds it; -1 when there is none.
    virtual int FindIgnoringCase(const std::string& path) const = 0;
};

// The list as a plain vector, for code that has no list control. Case is folded for the
// ASCII letters only: the program's list box folds with the system's rules instead.
class VectorFileLines final : public FileLines {
public:
    VectorFileLines() = default;
    explicit VectorFileLines(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    int Count() const override { return static_cast<int>(lines_.size()); }
    std::string Line(int index) const override { return lines_.at(static_cast<std::size_t>(index)); }
    void Append(const std::string& line) override { lines_.push_back(line); }
    void Delete(int index) override;
    void Assign(const std::vector<std::string>& lines) override { lines_ = lines; }
    int FindIgnoringCase(const std::string& path) const override;

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Explorer in the Windows folder, and the parameter that opens `path` in it.
std::string ExplorerFile(const std::string& windowsDir);
std::string ExplorerParameters(const std::string& path);

// True when `path` holds a wildcard. No file name can; such a path is one an older version
// listed through the ANSI code page, which put "?" for what it could not hold, and attrib
// would apply to every name the pattern matches.
bool HasWildcard(std::string_view path);

// Queues the hide of `path` (with `findBits`, the worker first reports what the file had),
// or its restore, which takes away only what `had` lacks (both without it). Errors are
// swallowed. False when nothing was queued: an empty path or a wildcard, which never gets a
// command, or a queue that failed.
bool QueueHide(TAttribQueue& queue, const std::string& path, bool findBits) noexcept;
bool QueueRestore(TAttribQueue& queue, const std::string& path, std::optional<std::uint32_t> had) noexcept;
void ApplyFileAttributes(TAttribQueue& queue, bool unhide, const std::string& path) noexcept;

// The stored text: every line followed by CR LF.
std::string FileListText(const FileLines& lines);
// Lines from stored text: split at CR LF, a lone CR or a lone LF; the text ends at a NUL.
std::vector<std::string> FileListFromText(std::string_view text);

// The bytes of `path` in the ANSI code page when they name it exactly, converted without a
// best fit and back unchanged; nothing otherwise. Only such a path may be stored where the
// versions that read the list through the ANSI code page will act on it.
std::optional<std::string> ExactAnsiPath(FileApi& files, const std::string& path);

// Section "system", key "File" of the settings file, its lines as stored (ANSI). Loading a
// value that is not whole hexadecimal keeps only the lines that ended before the fault (a line cut short is no
// path) and returns false. Saving throws "Unable to write to <path>" when it fails.
bool LoadFileList(FileLines& lines, TIniFileMgr& ini);
void SaveFileList(const FileLines& lines, TIniFileMgr& ini);

// The list's entries in the settings file, and whether they still hold what the lines hold.
// Nothing the user did not change is written back: a stored value the list could not be
// read from whole stays as it is until the list changes.
//
// Beside "File" the record keeps, under "FileAttributes", the hidden and system bits each
// path had before the program first hid it, so that a restore gives back only what was
// added; older versions ignore the key, and a path without an entry loses both bits. A
// restore not yet seen to take keeps its path in the stored list meanwhile: should the
// program end before the answer, the next run still lists the file.
//
// "File" holds the paths the ANSI code page names exactly, so that older versions and older
// files keep working; the others go under "FileUtf8" as hexadecimal of UTF-8 lines, which
// older versions ignore (and so never act on a form of the name that is not the file's).
// A load lists the paths of "File" first, then those of "FileUtf8".
class TFileListRecord {
public:
    TFileListRecord(TIniFileMgr& ini, FileApi& files) : ini_(ini), files_(files) {}

    void Load(FileLines& lines);
    // Writes the lines now; false when the file could not be written.
    bool Store(const FileLines& lines);
    // At close: writes the lines only if they changed since they were last stored; throws
    // "Unable to write to <path>" when that fails.
    void StoreIfChanged(const FileLines& lines);
    bool Changed() const { return changed_; }
    void SetChanged(bool changed) { changed_ = changed; }

    // The bits `path` had before it was first hidden, when known; letter case is ignored as
    // the list's lookup ignores it. The first answer for a path stays.
    std::optional<std::uint32_t> Kept(const std::string& path) const;
    void Keep(const std::string& path, std::uint32_t bits);
    void Forget(const std::string& path);
    // Restores issued and not yet answered (one entry per restore).
    void BeginRestore(const std::string& path) { restoring_.push_back(path); }
    void EndRestore(const std::string& path);
    bool Restoring(const std::string& path) const;

private:
    void Write(const FileLines& lines);

    TIniFileMgr& ini_;
    FileApi& files_;
    bool changed_ = false;
    bool utf8Stored_ = false;   // "FileUtf8" is in the file: it is kept up to date, even empty
    std::map<std::string, KeptAttributes> kept_;   // by path with its ASCII letters folded
    std::vector<std::string> restoring_;
};

bool IsFileListed(const FileLines& lines, const std::string& path);
// Appends `path` (duplicates included) and stores the list; only once the line is saved is
// the path hidden. When saving fails the line is taken out again, nothing runs, and the
// result is false. A path not listed in any letter case, nor being restored, has its
// attributes looked at first, to be kept.
bool HideFile(FileLines& lines, TAttribQueue& queue, TFileListRecord& record, const std::string& path);
// Restores `path` and removes every line equal to it byte for byte, then stores the list.
// A failed store leaves the list marked changed, to be written at close. A restore that
// cannot be queued leaves the lines as they are: the file stays hidden.
void UnhideFile(FileLines& lines, TAttribQueue& queue, TFileListRecord& record, const std::string& path);
// Restores the path of line `index` and removes that one line only; stored as above.
void UnhideLine(FileLines& lines, TAttribQueue& queue, TFileListRecord& record, int index);
// Takes in what the commands that ended found: the bits a file had are kept, a restore
// that took lets its path go, one that did not puts its line back. Stores the list when
// that changed it; returns the paths whose restore did not take, for the user to be told.
std::vector<std::string> SettleFileCommands(FileLines& lines, TAttribQueue& queue, TFileListRecord& record);
// At a close that cannot wait for the queue: the restores that never started leave the
// queue and their paths go back into the list, stored, since those files stay hidden.
void KeepUnstartedRestores(FileLines& lines, TAttribQueue& queue, TFileListRecord& record);

} // namespace tw
