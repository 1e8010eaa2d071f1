#include "files/FileListRules.h"

#include "settings/IniCodec.h"
#include "settings/IniText.h"
#include "settings/uIniFileMgr.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace tw {

namespace {

constexpr const char* kSection = kSettingsSection;
const char kFileKey[] = "File";
const char kKeptKey[] = "FileAttributes";
const char kUtf8Key[] = "FileUtf8";

bool Runnable(const std::string& path) { return !path.empty() && !HasWildcard(path); }

} // namespace

void VectorFileLines::Delete(int index) { lines_.erase(lines_.begin() + index); }

int VectorFileLines::FindIgnoringCase(const std::string& path) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (SameIgnoringAsciiCase(lines_[i], path))
            return static_cast<int>(i);
    return -1;
}

std::string ExplorerFile(const std::string& windowsDir) { return windowsDir + "\\Explorer.exe"; }

std::string ExplorerParameters(const std::string& path) { return QuoteArgument(path); }

bool HasWildcard(std::string_view path) { return path.find_first_of("?*") != std::string_view::npos; }

namespace {

// True when the command for `path` was queued.
template <typename Enqueue>
bool QueueCommand(const std::string& path, Enqueue enqueue) noexcept
{
    try {
        if (!Runnable(path))
            return false;
        enqueue();
        return true;
    } catch (...) {
        // Whether attrib ran or not, the list has changed as the user asked.
        return false;
    }
}

} // namespace

bool QueueHide(TAttribQueue& queue, const std::string& path, bool findBits) noexcept
{
    return QueueCommand(path, [&] { queue.EnqueueHide(path, findBits); });
}

bool QueueRestore(TAttribQueue& queue, const std::string& path, std::optional<std::uint32_t> had) noexcept
{
    return QueueCommand(path, [&] { queue.EnqueueRestore(path, had); });
}

void ApplyFileAttributes(TAttribQueue& queue, bool unhide, const std::string& path) noexcept
{
    if (unhide)
        QueueRestore(queue, path, std::nullopt);
    else
        QueueHide(queue, path, true);
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

std::optional<std::string> ExactAnsiPath(FileApi& files, const std::string& path)
{
    std::optional<std::string> ansi = files.PathToAnsi(path);
    if (ansi && files.AnsiToPath(*ansi) == path)
        return ansi;
    return std::nullopt;
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
    VectorFileLines ansi;
    LoadFileList(ansi, ini_);
    std::vector<std::string> all;
    for (const std::string& line : ansi.Lines())
        all.push_back(files_.AnsiToPath(line));
    std::optional<std::string> utf8 = ini_.ReadString(kSection, kUtf8Key);
    utf8Stored_ = utf8.has_value();
    if (utf8) {
        bool whole = false;
        std::string bytes = DecodeHex(*utf8, whole);
        for (std::string& path : Utf8PathLines(bytes, whole))
            all.push_back(std::move(path));
    }
    lines.Assign(all);
    kept_.clear();
    restoring_.clear();
    changed_ = false;
    std::optional<std::string> value = ini_.ReadString(kSection, kKeptKey);
    if (!value)
        return;
    std::set<std::string> listed;
    for (int i = 0; i < lines.Count(); ++i)
        listed.insert(FoldAsciiCase(lines.Line(i)));
    bool whole = false;
    // An entry for a path no longer listed (an older version changed the list) would be
    // taken for a path ticked again later; it is dropped.
    for (KeptAttributes& entry : DecodeKeptAttributes(*value, whole)) {
        if (!entry.utf8)
            entry.path = files_.AnsiToPath(entry.path);
        entry.utf8 = false;
        std::string key = FoldAsciiCase(entry.path);
        if (listed.count(key))
            kept_.emplace(std::move(key), std::move(entry));
    }
}

void TFileListRecord::Write(const FileLines& lines)
{
    std::vector<std::string> stored;
    std::set<std::string> listed;
    for (int i = 0; i < lines.Count(); ++i) {
        stored.push_back(lines.Line(i));
        listed.insert(FoldAsciiCase(stored.back()));
    }
    for (const std::string& path : restoring_)
        if (listed.insert(FoldAsciiCase(path)).second)
            stored.push_back(path);
    std::vector<std::string> ansi;
    std::vector<std::string> utf8;
    for (const std::string& path : stored) {
        if (std::optional<std::string> exact = ExactAnsiPath(files_, path))
            ansi.push_back(std::move(*exact));
        else
            utf8.push_back(path);
    }
    std::vector<KeptAttributes> kept;
    for (const auto& [key, entry] : kept_) {
        if (!listed.count(key))
            continue;
        std::optional<std::string> exact = ExactAnsiPath(files_, entry.path);
        kept.push_back(exact ? KeptAttributes{*exact, entry.bits, false} : KeptAttributes{entry.path, entry.bits, true});
    }
    // "File" keeps the form every version reads; the values change in one write.
    std::vector<std::pair<std::string, std::string>> values{{kFileKey, EncodeHex(JoinLines(ansi))},
                                                            {kKeptKey, EncodeKeptAttributes(kept)}};
    if (!utf8.empty() || utf8Stored_)
        values.emplace_back(kUtf8Key, EncodeHex(JoinLines(utf8)));
    ini_.WriteValues(kSection, values);
    utf8Stored_ = utf8Stored_ || !utf8.empty();
}

bool TFileListRecord::Store(const FileLines& lines)
{
    try {
        Write(lines);
    } catch (const std::exception&) {
        return false;
    }
    changed_ = false;
    return true;
}

void TFileListRecord::StoreIfChanged(const FileLines& lines)
{
    if (changed_)
        Write(lines);
    changed_ = false;
}

std::optional<std::uint32_t> TFileListRecord::Kept(const std::string& path) const
{
    auto it = kept_.find(FoldAsciiCase(path));
    if (it == kept_.end())
        return std::nullopt;
    return it->second.bits;
}

void TFileListRecord::Keep(const std::string& path, std::uint32_t bits)
{
    kept_.emplace(FoldAsciiCase(path), KeptAttributes{path, bits & kAttribBoth});
}

void TFileListRecord::Forget(const std::string& path) { kept_.erase(FoldAsciiCase(path)); }

void TFileListRecord::EndRestore(const std::string& path)
{
    auto it = std::find(restoring_.begin(), restoring_.end(), path);
    if (it != restoring_.end())
        restoring_.erase(it);
}

bool TFileListRecord::Restoring(const std::string& path) const
{
    return std::any_of(restoring_.begin(), restoring_.end(),
                       [&](const std::string& r) { return SameIgnoringAsciiCase(r, path); });
}

bool IsFileListed(const FileLines& lines, const std::string& path) { return lines.FindIgnoringCase(path) >= 0; }

bool HideFile(FileLines& lines, TAttribQueue& queue, TFileListRecord& record, const std::string& path)
{
    // Already ours in some spelling, or on its way back: what the file shows now may be our
    // own doing, so it is not taken for what the user had.
    bool known = IsFileListed(lines, path) || record.Kept(path) || record.Restoring(path);
    bool changedBefore = record.Changed();
    lines.Append(path);
    if (!record.Store(lines)) {
        lines.Delete(lines.Count() - 1);
        record.SetChanged(changedBefore);
        return false;
    }
    QueueHide(queue, path, !known);
    return true;
}

void UnhideFile(FileLines& lines, TAttribQueue& queue, TFileListRecord& record, const std::string& path)
{
    bool queued = QueueRestore(queue, path, record.Kept(path));
    if (!queued && Runnable(path))
        return;
    if (queued)
        record.BeginRestore(path);
    bool removed = false;
    for (int i = lines.Count() - 1; i >= 0; --i) {
        if (lines.Line(i) == path) {
            lines.Delete(i);
            removed = true;
        }
    }
    if (removed || queued) {
        record.SetChanged(true);
        record.Store(lines);
    }
}

void UnhideLine(FileLines& lines, TAttribQueue& queue, TFileListRecord& record, int index)
{
    if (index < 0 || index >= lines.Count())
        return;
    std::string path = lines.Line(index);
    bool queued = QueueRestore(queue, path, record.Kept(path));
    if (!queued && Runnable(path))
        return;
    if (queued)
        record.BeginRestore(path);
    lines.Delete(index);
    record.SetChanged(true);
    record.Store(lines);
}

std::vector<std::string> SettleFileCommands(FileLines& lines, TAttribQueue& queue, TFileListRecord& record)
{
    std::vector<std::string> refused;
    bool changed = false;
    for (const TFileOutcome& outcome : queue.TakeOutcomes()) {
        const std::string& path = outcome.path;
        switch (outcome.kind) {
        case TFileOutcome::Found:
            if (!record.Kept(path) && (IsFileListed(lines, path) || record.Restoring(path))) {
                record.Keep(path, outcome.bits);
                changed = true;
            }
            break;
        case TFileOutcome::Restored:
            record.EndRestore(path);
            if (!IsFileListed(lines, path) && !record.Restoring(path))
                record.Forget(path);
            changed = true;
            break;
        case TFileOutcome::Refused:
            // Still hidden: listed again, or it would be hidden and named nowhere.
            record.EndRestore(path);
            if (!IsFileListed(lines, path))
                lines.Append(path);
            refused.push_back(path);
            changed = true;
            break;
        }
    }
    if (changed) {
        record.SetChanged(true);
        record.Store(lines);
    }
    return refused;
}

void KeepUnstartedRestores(FileLines& lines, TAttribQueue& queue, TFileListRecord& record)
{
    std::vector<std::string> restores = queue.TakeUnstartedRestores();
    if (restores.empty())
        return;
    // Still hidden, so listed again: the next run shows them and can give them back.
    for (const std::string& path : restores) {
        record.EndRestore(path);
        if (!IsFileListed(lines, path))
            lines.Append(path);
    }
    record.SetChanged(true);
    record.Store(lines);
}

} // namespace tw
