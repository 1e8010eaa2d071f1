#include "files/FileListRules.h"

#include "settings/IniCodec.h"
#include "settings/IniText.h"
#include "settings/uIniFileMgr.h"

#include <stdexcept>

namespace tw {

namespace {

const char kSection[] = "system";
const char kFileKey[] = "File";

} // namespace

void VectorFileLines::Delete(int index) { lines_.erase(lines_.begin() + index); }

int VectorFileLines::FindIgnoringCase(const std::string& path) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (SameIgnoringAsciiCase(lines_[i], path))
            return static_cast<int>(i);
    return -1;
}

std::string QuoteArgument(std::string_view arg)
{
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes only escape when a quote follows them.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string AttribCommandLine(const std::string& systemDir, bool unhide, const std::string& path)
{
    return QuoteArgument(systemDir + "\\attrib.exe") + (unhide ? " -h -s " : " +h +s ") + QuoteArgument(path);
}

std::string ExplorerFile(const std::string& windowsDir) { return windowsDir + "\\Explorer.exe"; }

std::string ExplorerParameters(const std::string& path) { return QuoteArgument(path); }

bool HasWildcard(std::string_view path) { return path.find_first_of("?*") != std::string_view::npos; }

void ApplyFileAttributes(TAttribQueue& queue, bool unhide, const std::string& path) noexcept
{
    try {
        if (path.empty() || HasWildcard(path))
            return;
        queue.Enqueue(AttribCommandLine(queue.Files().SystemDirectory(), unhide, path), unhide ? path : std::string());
    } catch (...) {
        // Whether attrib ran or not, the list has changed as the user asked.
    }
}

std::string FileListText(const FileLines& lines)
{
    std::vector<std::string> all;
    all.reserve(static_cast<std::size_t>(lines.Count()));
    for (int i = 0; i < lines.Count(); ++i)
        all.push_back(lines.Line(i));
    return JoinLines(all);
}

std::vector<std::string> FileListFromText(std::string_view text)
{
    return SplitLines(text.substr(0, text.find('\0')));
}

bool LoadFileList(FileLines& lines, TIniFileMgr& ini)
{
    std::string stream;
    bool whole = ini.ReadBinaryStream(kSection, kFileKey, stream);
    if (!whole) {
        std::size_t lastBreak = stream.find_last_of("\r\n");
        stream.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
    }
    lines.Assign(FileListFromText(stream));
    return whole;
}

void SaveFileList(const FileLines& lines, TIniFileMgr& ini)
{
    ini.WriteBinaryStream(kSection, kFileKey, FileListText(lines));
}

void TFileListRecord::Load(FileLines& lines)
{
    LoadFileList(lines, ini_);
    changed_ = false;
}

bool TFileListRecord::Store(const FileLines& lines)
{
    try {
        SaveFileList(lines, ini_);
    } catch (const std::exception&) {
        return false;
    }
    changed_ = false;
    return true;
}

void TFileListRecord::StoreIfChanged(const FileLines& lines)
{
    if (changed_)
        SaveFileList(lines, ini_);
    changed_ = false;
}

bool IsFileListed(const FileLines& lines, const std::string& path) { return lines.FindIgnoringCase(path) >= 0; }

bool HideFile(FileLines& lines, TAttribQueue& queue, TFileListRecord& record, const std::string& path)
{
    bool changedBefore = record.Changed();
    lines.Append(path);
    if (!record.Store(lines)) {
        lines.Delete(lines.Count() - 1);
        record.SetChanged(changedBefore);
        return false;
    }
    ApplyFileAttributes(queue, false, path);
    return true;
}

void UnhideFile(FileLines& lines, TAttribQueue& queue, TFileListRecord& record, const std::string& path)
{
    ApplyFileAttributes(queue, true, path);
    bool removed = false;
    for (int i = lines.Count() - 1; i >= 0; --i) {
        if (lines.Line(i) == path) {
            lines.Delete(i);
            removed = true;
        }
    }
    if (removed) {
        record.SetChanged(true);
        record.Store(lines);
    }
}

void UnhideLine(FileLines& lines, TAttribQueue& queue, TFileListRecord& record, int index)
{
    if (index < 0 || index >= lines.Count())
        return;
    ApplyFileAttributes(queue, true, lines.Line(index));
    lines.Delete(index);
    record.SetChanged(true);
    record.Store(lines);
}

void KeepUnstartedRestores(FileLines& lines, TAttribQueue& queue, TFileListRecord& record)
{
    std::vector<std::string> restores = queue.TakeUnstartedRestores();
    if (restores.empty())
        return;
    // Still hidden, so listed again: the next run shows them and can give them back.
    for (const std::string& path : restores)
        lines.Append(path);
    record.SetChanged(true);
    record.Store(lines);
}

} // namespace tw
