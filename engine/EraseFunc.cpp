#include "engine/EraseFunc.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "common/Assertions.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/Paths.h"
#include "engine/EraseSeams.h"
#include "engine/PassWriter.h"
#include "engine/Random.h"
#include "engine/Verify.h"

namespace {

EraseEnvironment& InstalledEnvironment() {
    static EraseEnvironment environment;
    return environment;
}

thread_local const EraseEnvironment* threadEnvironment = nullptr;

const EraseEnvironment& Environment() {
    return threadEnvironment ? *threadEnvironment : InstalledEnvironment();
}

EraseSeams& Seams() {
    static EraseSeams seams;
    return seams;
}

int PassCount(EraseLevel level) {
    switch (level) {
        case EraseLevel::Speed: return 1;
        case EraseLevel::Normal: return 2;
        case EraseLevel::High: return 3;
    }
    return 1;
}

// The word of a pass whose words are all alike (every pass but the third at High).
std::uint16_t FixedWordFor(EraseLevel level, int passIndex) {
    return (level != EraseLevel::Speed && passIndex == 0) ? 0xFFFE : 0x0000;
}

BOOL SystemWrite(HANDLE file, const void* data, DWORD size, DWORD* written) {
    return ::WriteFile(file, data, size, written, nullptr);
}

// The two window calls of the display. They are looked up only when controls are given: a
// window exists then, so the window library is loaded already, and a console front end never
// loads it (which saves a noticeable part of a short process's start under Wine).
struct WindowCalls {
    decltype(&::SendMessageW) sendMessage = nullptr;
    decltype(&::SetWindowTextW) setWindowText = nullptr;
};

const WindowCalls& LoadedWindowCalls() {
    static const WindowCalls calls = [] {
        WindowCalls found;
        if (const HMODULE user = ::GetModuleHandleW(L"user32.dll")) {
            found.sendMessage = reinterpret_cast<decltype(&::SendMessageW)>(
                reinterpret_cast<void*>(::GetProcAddress(user, "SendMessageW")));
            found.setWindowText = reinterpret_cast<decltype(&::SetWindowTextW)>(
                reinterpret_cast<void*>(::GetProcAddress(user, "SetWindowTextW")));
        }
        return found;
    }();
    return calls;
}

ULONGLONG ClockNow();

// The caller's progress bar and label. Controls are touched only when their value changes,
// and a file's start shows 0 only when the service interval has passed since a start last
// did: in a run of many small files the controls would otherwise go 0, 100, 0, 100 for every
// file, faster than anyone sees, at a trip to the window system each. A file whose start was
// not shown leaves the controls as the last one shown left them (100) unless its ticks show
// it; one that was shown, or whose ticks showed it, ends at 100 on them.
class ProgressDisplay {
public:
    // `report`: whether the front end's progress is told the percentages too.
    ProgressDisplay(HWND bar, HWND label, bool report = true)
        : bar_(bar && LoadedWindowCalls().sendMessage ? bar : nullptr),
          label_(label && LoadedWindowCalls().setWindowText ? label : nullptr),
          report_(report),
          shown_(bar_ != nullptr || (report && Environment().progress != nullptr)) {}

    // Whether anything shows the percentage; without that, ticks need not compute it.
    bool Shown() const { return shown_; }

    void Start() {
        if (bar_ && StartDue()) {
            LoadedWindowCalls().sendMessage(bar_, PBM_SETPOS, 0, 0);
            if (label_) LoadedWindowCalls().setWindowText(label_, L"0%");
            touched_ = true;
        }
        barPercent_ = 0;
        labelPosition_ = 0;
        Report(0);
    }

    // The end of the file: 100.
    void Finish() {
        if (bar_ && !touched_) {
            barPercent_ = 100;
            if (labelPosition_ != 100) Report(labelPosition_ = 100);
            return;
        }
        Show(100);
    }

    // At a tick (spaced by the service interval) and at the end.
    void Show(std::int64_t percent) {
        if (percent == barPercent_) return;
        barPercent_ = percent;
        touched_ = true;
        int position = static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
        if (bar_) {
            const auto send = LoadedWindowCalls().sendMessage;
            send(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
            position = static_cast<int>(send(bar_, PBM_GETPOS, 0, 0));
        }
        if (position == labelPosition_) return;
        labelPosition_ = position;
        if (label_) LoadedWindowCalls().setWindowText(label_, (std::to_wstring(position) + L"%").c_str());
        Report(position);
    }

private:
    void Report(int position) {
        if (!report_) return;
        if (const auto& progress = Environment().progress) progress(position);
    }

    // True (and the interval starts again) when a start may show 0; one moment for every display.
    static bool StartDue() {
        static ULONGLONG last = 0;
        static bool once = false;
        const ULONGLONG now = ClockNow();
        if (once && now - last < kServiceIntervalMs) return false;
        once = true;
        last = now;
        return true;
    }

    HWND bar_;
    HWND label_;
    bool report_;
    bool shown_;
    bool touched_ = false;  // the controls showed this file
    std::int64_t barPercent_ = -1;
    int labelPosition_ = -1;
};

// Words go through a buffer owned by the call and reach the file in large writes; the bytes
// and their offsets are exactly those of one 2-byte write per word.
class WordWriter {
public:
    explicit WordWriter(HANDLE file) : file_(file), buffer_(kBufferBytes) {}

    // Words that still fit before the buffer must go to the system.
    std::int64_t Room() const { return static_cast<std::int64_t>((buffer_.size() - used_) / 2); }
    bool Full() const { return used_ == buffer_.size(); }

    // Appends `count` (at most Room()) words of the pass.
    void Append(EraseLevel level, int passIndex, std::int64_t count) {
        const auto n = static_cast<std::size_t>(count);
        if (level == EraseLevel::High && passIndex == 2) {
            FillRandomWords(buffer_.data() + used_, n);
            patternBytes_ = std::min(patternBytes_, used_);
        } else {
            PreparePattern(FixedWordFor(level, passIndex), used_ + 2 * n);
        }
        used_ += 2 * n;
    }

    // Takes back the last `count` words appended, which never reach the file.
    void DropLast(std::int64_t count) { used_ -= 2 * static_cast<std::size_t>(count); }

    // Hands the buffered words to the system and asks it to put them on the disk.
    bool FlushToDisk() {
        if (!Flush()) return false;
        const auto& flush = Seams().flushFile;
        return (flush ? flush(file_) : ::FlushFileBuffers(file_)) != FALSE;
    }

    // Hands the buffered words to the system.
    bool Flush() {
        std::size_t offset = 0;
        const auto& write = Seams().writeFile;
        while (offset < used_) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(used_ - offset);
            const BOOL ok = write ? write(file_, buffer_.data() + offset, chunk, &written)
                                  : SystemWrite(file_, buffer_.data() + offset, chunk, &written);
            if (!ok || written == 0) {
                used_ = 0;
                return false;
            }
            offset += written;
        }
        used_ = 0;
        return true;
    }

private:
    // Makes the buffer hold `word` up to `end`. The buffer keeps a pattern from one use to the
    // next, so a pass of equal words is written once into it and then only handed out.
    void PreparePattern(std::uint16_t word, std::size_t end) {
        if (word != patternWord_) {
            patternWord_ = word;
            patternBytes_ = 0;
        }
        if (end <= patternBytes_) return;
        unsigned char* out = buffer_.data();
        if (word == 0) {
            std::memset(out + patternBytes_, 0, end - patternBytes_);
        } else {
            for (std::size_t i = patternBytes_; i < end; i += 2) {
                out[i] = static_cast<unsigned char>(word & 0xFF);
                out[i + 1] = static_cast<unsigned char>(word >> 8);
            }
        }
        patternBytes_ = end;
    }

    static constexpr std::size_t kBufferBytes = 64 * 1024;
    HANDLE file_;
    std::vector<unsigned char> buffer_;
    std::size_t used_ = 0;
    // buffer_[0, patternBytes_) holds patternWord_ repeated.
    std::uint16_t patternWord_ = 0;
    std::size_t patternBytes_ = 0;
};

bool SeekTo(HANDLE file, LONGLONG position) {
    LARGE_INTEGER distance{};
    distance.QuadPart = position;
    return ::SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

void Notify(OverwriteEvent::Kind kind, int passesDone, HANDLE file) {
    if (const auto& observer = Seams().observer) {
        observer(OverwriteEvent{kind, passesDone, file});
        SeekTo(file, 0);
    }
}

ULONGLONG ClockNow() {
    const auto& clock = Seams().clock;
    return clock ? clock() : ::GetTickCount64();
}

// The moments at which a pass shows its progress and keeps the windows alive: the display and
// the message servicing cost a round trip to the window system each time, so at a tick they
// run only when the service interval has passed since the last time.
class ServiceClock {
public:
    ServiceClock() : clock_(Seams().clock), last_(Now()) {}

    // True (and the interval starts again) when the interval has passed.
    bool Due() {
        const ULONGLONG now = Now();
        if (now - last_ < kServiceIntervalMs) return false;
        last_ = now;
        return true;
    }

private:
    ULONGLONG Now() const { return clock_ ? clock_() : ::GetTickCount64(); }

    const std::function<ULONGLONG()>& clock_;
    ULONGLONG last_;
};

// How far the passes of one file have come, over all its ranges and its tip.
struct PassProgress {
    explicit PassProgress(ProgressDisplay& shown, std::int64_t totalBytes) : display(shown), total(totalBytes) {}
    ProgressDisplay& display;
    std::int64_t total;     // bytes of every pass over every range, tip included
    std::int64_t done = 0;  // bytes handed to the system so far (the bytes written)
    int tick = 0;           // words since the last tick
    ServiceClock clock;
    // With a read-back to come: the stretches the last pass wrote, each with the generator's
    // state before its first word.
    std::vector<WrittenRange>* lastPass = nullptr;
};

// Words a pass writes over a range: its length rounded up to whole words (one byte past an odd
// end), and at least one word (an empty file gets one).
std::int64_t WordsOver(const ByteRange& range) { return std::max<std::int64_t>(1, (range.length + 1) / 2); }

// The progress's whole for the passes of `level` over `ranges`: their lengths, once per pass.
std::int64_t PassLengths(EraseLevel level, const std::vector<ByteRange>& ranges) {
    std::int64_t bytes = 0;
    for (const ByteRange& range : ranges) bytes += range.length;
    return bytes * PassCount(level);
}

// Writes the passes of `level` over `ranges` of the open file: each pass over every range in
// order, flushed to the disk at its end (and told to the observer when `reportPassEnds`). False
// on an error (a refused write or flush) and when the abort flag ended the writing: either way
// part of the ranges is not overwritten.
bool WritePasses(HANDLE file, EraseLevel level, const std::vector<ByteRange>& ranges, PassProgress& progress,
                 bool reportPassEnds) {
    const int passes = PassCount(level);
    const auto& environment = Environment();
    ProgressDisplay& display = progress.display;
    const bool serviced = display.Shown() || environment.serviceMessages != nullptr;
    // With nothing to show, service or read at a tick, the words of a pass go out in one run.
    const bool ticking = serviced || environment.abortRequested != nullptr;
    WordWriter writer(file);
    // A tick after `doneAt` bytes; false when the abort flag is set.
    const auto tickGoesOn = [&](std::int64_t doneAt) {
        if (serviced && progress.clock.Due()) {
            if (display.Shown()) display.Show(ProgressPercent(doneAt, progress.total));
            if (environment.serviceMessages) environment.serviceMessages();
        }
        return !(environment.abortRequested && environment.abortRequested->load());
    };

    for (int passIndex = 0; passIndex < passes; ++passIndex) {
        for (std::size_t r = 0; r < ranges.size(); ++r) {
            if (!SeekTo(file, ranges[r].offset)) return false;
            std::int64_t left = WordsOver(ranges[r]);
            if (progress.lastPass && passIndex + 1 == passes)
                progress.lastPass->push_back(WrittenRange{ranges[r].offset, 2 * left, RandomState()});
            while (left > 0) {
                // The words up to the range's end or up to a full buffer are made at once; the
                // ticks among them follow, in the order and with the effect they have after single
                // 2-byte writes: nothing has reached the system yet, so an abort at a tick takes
                // back the words after it.
                const std::int64_t count = std::min(left, writer.Room());
                writer.Append(level, passIndex, count);
                if (ticking) {
                    for (std::int64_t at = kWordsPerTick - progress.tick; at < count; at += kWordsPerTick) {
                        if (!tickGoesOn(progress.done + 2 * at)) {
                            // An abort ends the writing: what was written still reaches the disk.
                            writer.DropLast(count - at);
                            writer.FlushToDisk();
                            progress.done += 2 * at;
                            return false;
                        }
                    }
                }
                left -= count;
                progress.done += 2 * count;
                progress.tick = static_cast<int>((progress.tick + count) % kWordsPerTick);
                // A range's words reach the system before the position moves to the next range.
                if ((writer.Full() || left == 0) && !writer.Flush()) return false;
                if (left > 0 && ticking && progress.tick == 0 && !tickGoesOn(progress.done)) {
                    writer.FlushToDisk();
                    return false;
                }
            }
            if (r + 1 < ranges.size() && ticking && progress.tick == 0 && !tickGoesOn(progress.done)) {
                writer.FlushToDisk();
                return false;
            }
        }
        if (!writer.FlushToDisk()) return false;
        if (reportPassEnds) Notify(OverwriteEvent::PassEnd, passIndex + 1, file);
        if (passIndex + 1 == passes) return true;
        if (ticking && progress.tick == 0 && !tickGoesOn(progress.done)) {
            writer.FlushToDisk();
            return false;
        }
    }
    return true;
}

// The passes over one whole stream of `size` bytes, shown on `display`.
bool RewritePasses(HANDLE file, EraseLevel level, std::int64_t size, ProgressDisplay& display) {
    const std::vector<ByteRange> whole{{0, size}};
    PassProgress progress(display, PassLengths(level, whole));
    return WritePasses(file, level, whole, progress, true);
}

// Where a folder lies: its final path and, for paths longer than some systems give final
// paths for, its place on the volume. Found once for the folder of the last file erased: a
// run meets the files of one folder one after another.
struct FolderPlace {
    std::wstring folder;  // as the file's path gives it
    std::wstring finalPath;
    std::wstring volumePath;  // found when first needed (it costs more than the final path)
    bool volumeKnown = false;
    bool found = false;
};

FolderPlace& LastFolderPlace() {
    static FolderPlace place;
    return place;
}

FolderPlace LookUpFolderPlace(const std::wstring& folder) {
    FolderPlace place;
    place.folder = folder;
    UniqueFile parent(FsCreateFile(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!parent) return place;
    place.finalPath = FinalPathOf(parent.get());
    place.found = true;
    return place;
}

const std::wstring& VolumePathOfPlace(FolderPlace& place) {
    if (!place.volumeKnown) {
        UniqueFile parent(FsCreateFile(place.folder, FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS));
        if (parent) place.volumePath = VolumePathOf(parent.get());
        place.volumeKnown = true;
    }
    return place.volumePath;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Whether the open file lies in the folder at `place` under the name `path` gives (or the name
// the folder lists for it).
bool LiesInFolderAsNamed(HANDLE file, std::wstring finalFile, const std::wstring& path, std::size_t slash,
                         FolderPlace& place) {
    std::wstring expected = place.finalPath;
    if (finalFile.empty() || expected.empty()) {
        // Past the length some systems give final paths for, the place on the volume tells.
        finalFile = VolumePathOf(file);
        expected = VolumePathOfPlace(place);
    }
    if (finalFile.empty() || expected.empty()) return false;
    if (expected.back() != L'\\') expected += L'\\';
    const std::wstring own = path.substr(slash + 1);
    if (SameName(finalFile, expected + own)) return true;
    // The folder may list the entry under another form of the name (a long name for a short one).
    WIN32_FIND_DATAW entry{};
    UniqueFind listed(FsFindFirstFile(path, entry));
    const std::wstring name = listed ? std::wstring(entry.cFileName) : own;
    if (SameName(finalFile, expected + name)) return true;
    // Some systems (Wine) drop a name's trailing dots and blanks from the final path. The file
    // then passes only when it is not the entry of that shorter name.
    std::wstring shorter = name;
    while (!shorter.empty() && (shorter.back() == L'.' || shorter.back() == L' ')) shorter.pop_back();
    if (shorter.empty() || shorter == name || !SameName(finalFile, expected + shorter)) return false;
    UniqueFile other(FsCreateFile(path.substr(0, slash + 1) + shorter, FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS));
    if (!other) return true;
    BY_HANDLE_FILE_INFORMATION mine{}, theirs{};
    if (!::GetFileInformationByHandle(file, &mine) || !::GetFileInformationByHandle(other.get(), &theirs)) return false;
    return mine.dwVolumeSerialNumber != theirs.dwVolumeSerialNumber || mine.nFileIndexHigh != theirs.nFileIndexHigh ||
           mine.nFileIndexLow != theirs.nFileIndexLow;
}

// Whether the open file is the entry that `path` names in its folder, and not a file that a
// link of that name leads to. A link to a file shows on Windows as a reparse point, but
// elsewhere (Unix links under Wine) it may look like a plain file; what tells in both cases
// is where the opened file really lies: its final path must be the final path of the
// folder followed by the entry's own name (letter case aside; a short name asked for is
// compared in its long form). A hard link is the file itself under another name and passes.
// The folder's place is remembered from the last file: a file that lies where the folder lay
// then is the entry of that name in that very folder, whatever became of the folder's path
// since; a file that does not is tried again against the folder's place found afresh.
bool OpenedAsNamed(HANDLE file, const std::wstring& path) {
    bool available = true;
    const std::wstring finalFile = FinalPathOf(file, &available);
    if (!available) return true;  // a system without the call has no links to files either
    // The folder and name as this path has them (a name may hold a colon under Wine).
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return false;
    std::wstring folder = path.substr(0, slash + 1);
    if (folder.size() > 1 && folder[folder.size() - 2] != L':') folder.pop_back();
    FolderPlace& last = LastFolderPlace();
    if (last.found && last.folder == folder && LiesInFolderAsNamed(file, finalFile, path, slash, last)) return true;
    last = LookUpFolderPlace(folder);
    return last.found && LiesInFolderAsNamed(file, finalFile, path, slash, last);
}

// Cuts the file: length 5 (which extends a shorter file), then 0.
bool CutFile(HANDLE file) {
    return SeekTo(file, 5) && ::SetEndOfFile(file) && SeekTo(file, 0) && ::SetEndOfFile(file) && SeekTo(file, 0);
}

// The names of the file's streams as the system lists them; none when the listing fails or
// the system has no such call.
std::vector<std::wstring> ListStreams(const std::wstring& path) {
    std::vector<std::wstring> names;
    if (const auto& list = Seams().listStreams) {
        if (!list(path, names)) names.clear();
        return names;
    }
    WIN32_FIND_STREAM_DATA stream{};
    UniqueFind found(FsFindFirstStream(path, stream));
    if (!found) return names;
    do {
        names.emplace_back(stream.cStreamName);
    } while (FsFindNextStream(found.get(), stream));
    return names;
}

// Whether two open handles are one file (a named stream is part of its file).
bool SameFile(HANDLE one, HANDLE other) {
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return ::GetFileInformationByHandle(one, &a) && ::GetFileInformationByHandle(other, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// Overwrites every named stream of the open file `file` (named `fileName`) with the passes of
// `level` and cuts it to nothing; the main stream is the caller's. Deleting the file frees its
// streams without overwriting them, so they go first. False when a listed stream cannot be
// opened or written: the caller then leaves the file as it is.
bool OverwriteNamedStreams(HANDLE file, const std::wstring& fileName, EraseLevel level, DWORD access, DWORD flags) {
    bool ok = true;
    for (const std::wstring& listed : ListStreams(fileName)) {
        // ":name:$DATA"; the main stream is "::$DATA".
        std::wstring name = listed;
        constexpr std::wstring_view kDataType = L":$DATA";
        if (name.size() >= kDataType.size() &&
            ::CompareStringOrdinal(name.c_str() + name.size() - kDataType.size(), -1, kDataType.data(), -1, TRUE) ==
                CSTR_EQUAL)
            name.resize(name.size() - kDataType.size());
        if (name.size() < 2 || name.front() != L':' || name.find(L'\\') != std::wstring::npos) continue;
        const std::wstring streamName = fileName + name;
        UniqueFile stream(FsCreateFile(streamName, access, 0, OPEN_EXISTING, flags));
        // A stream is part of its file; where a system keeps it as an entry of its own, that
        // entry must be the one named, never a file a link leads to.
        if (!stream || (!SameFile(stream.get(), file) && !OpenedAsNamed(stream.get(), streamName))) {
            ok = false;
            continue;
        }
        ProgressDisplay quiet(nullptr, nullptr, false);
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(stream.get(), &size) || !SeekTo(stream.get(), 0) ||
            !RewritePasses(stream.get(), level, size.QuadPart, quiet) || !SeekTo(stream.get(), 0) ||
            !::SetEndOfFile(stream.get())) {
            ::FlushFileBuffers(stream.get());
            ok = false;
        }
    }
    return ok;
}

}  // namespace

EraseEnvironment SetEraseEnvironment(EraseEnvironment environment) {
    return std::exchange(InstalledEnvironment(), std::move(environment));
}

const EraseEnvironment& CurrentEraseEnvironment() { return Environment(); }

ThreadEraseEnvironment::ThreadEraseEnvironment(EraseEnvironment environment)
    : environment_(std::move(environment)), previous_(threadEnvironment) {
    threadEnvironment = &environment_;
}

ThreadEraseEnvironment::~ThreadEraseEnvironment() { threadEnvironment = previous_; }

ULONGLONG ServiceClockNow() { return ClockNow(); }

EraseSeams SetEraseSeams(EraseSeams seams) { return std::exchange(Seams(), std::move(seams)); }

ErasePlan PlanErase(const FileFacts& facts, EraseLevel) {
    ErasePlan plan;
    if (!facts.found || (facts.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        plan.refusal = ErasePlan::Refusal::NotAFile;
        return plan;
    }
    if (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A cloud placeholder is not a link; every other reparse point may lead anywhere.
        if (facts.cloud == CloudState::None) plan.refusal = ErasePlan::Refusal::Link;
        if (facts.cloud == CloudState::CloudOnly) plan.refusal = ErasePlan::Refusal::CloudOnly;
        if (plan.refusal != ErasePlan::Refusal::None) return plan;
    }
    if (!facts.opened) return plan;

    // Such files get new clusters for what is written and free the old ones with their content.
    constexpr DWORD kMovesClusters = FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ENCRYPTED | FILE_ATTRIBUTE_SPARSE_FILE;
    plan.movesItsClusters = (facts.attributes & kMovesClusters) != 0;
    plan.encrypted = (facts.attributes & FILE_ATTRIBUTE_ENCRYPTED) != 0;
    if (facts.attributes & FILE_ATTRIBUTE_SPARSE_FILE) {
        // Only the ranges that hold data: writing the holes would allocate them all.
        if (!facts.rangesKnown) {
            plan.refusal = ErasePlan::Refusal::HolesUnknown;
            return plan;
        }
        for (const ByteRange& range : facts.allocatedRanges) {
            if (range.offset < 0 || range.length <= 0 || range.offset >= facts.size) continue;
            plan.ranges.push_back({range.offset, std::min(range.length, facts.size - range.offset)});
        }
        return plan;
    }
    plan.ranges.push_back({0, facts.size});

    // The tip: from the end of what the passes wrote to the end of the last cluster, never past
    // what the file has allocated (and never beyond that cluster: preallocated space is left).
    if (plan.movesItsClusters || facts.cloud != CloudState::None || facts.clusterSize == 0 || facts.allocation < 0)
        return plan;
    const std::int64_t written = 2 * WordsOver(plan.ranges.front());
    const std::int64_t cluster = facts.clusterSize;
    const std::int64_t end = std::min(facts.allocation, (facts.size + cluster - 1) / cluster * cluster);
    if (end > written) plan.tip.push_back({written, end - written});
    return plan;
}

namespace {

// The words of the level's last pass.
PassWords LastPassWords(EraseLevel level) {
    const int last = PassCount(level) - 1;
    if (level == EraseLevel::High && last == 2) return PassWords{true, 0};
    return PassWords{false, FixedWordFor(level, last)};
}

// Reads back what the last pass wrote; the display goes on from where the passes left it, the
// read counting as one more pass, and a Stop ends it as it ends a pass.
ReadBack ReadBackLastPass(HANDLE file, const std::wstring& path, EraseLevel level,
                          const std::vector<WrittenRange>& written, PassProgress& progress) {
    const auto& environment = Environment();
    const std::int64_t before = progress.done;
    return ReadBackWritten(file, path, LastPassWords(level), written, [&](std::int64_t compared) {
        if (progress.clock.Due()) {
            if (progress.display.Shown() && progress.total > 0)
                progress.display.Show(ProgressPercent(std::min(before + compared, progress.total), progress.total));
            if (environment.serviceMessages) environment.serviceMessages();
        }
        return !(environment.abortRequested && environment.abortRequested->load());
    });
}

}  // namespace

std::wstring EraseLogEnding(const EraseOutcome& outcome) {
    constexpr wchar_t kLeft[] =
        L"を抹消しましたが、圧縮・暗号化・スパースのいずれかのファイルだったため、元のデータの一部が空き領域に";
    switch (outcome.kind) {
        case EraseOutcome::Kind::CloudOnly:
            return L"はクラウドにのみ保存されているため処理しませんでした。"
                   L"クラウド上の内容と以前のバージョンはこのコンピュータから抹消できません。";
        case EraseOutcome::Kind::NotErased:
            if (outcome.readBack == ReadBack::Differed)
                return L"は読み戻した内容が書き込んだ内容と一致しなかったため、削除しませんでした。";
            if (outcome.readBack == ReadBack::Unreadable)
                return L"は書き込んだ内容を読み戻せなかったため、削除しませんでした。";
            return L"を正しく処理出来ませんでした。";
        case EraseOutcome::Kind::Erased:
            break;
    }
    if (outcome.leftoverClustersSeen > 0) return kLeft + std::wstring(L"残っています。");
    // Only a file that keeps its clusters gets a tip, so an unfinished tip is the whole reason.
    if (outcome.leftoverPossible && outcome.tipRefused)
        return L"を抹消しましたが、ファイルの末尾の先（最後のクラスタの残り）を上書きし終えられなかったため、"
               L"元のデータの一部が空き領域に残っている可能性があります。";
    if (outcome.leftoverPossible) return kLeft + std::wstring(L"残っている可能性があります。");
    if (outcome.writeOnly)
        return L"をディスクから抹消しました。(読み取りが許されていないため、ファイルの配置は確かめていません。)";
    return L"をディスクから抹消しました。";
}

EraseOutcome EraseFile(const std::wstring& fileName, EraseLevel level, HWND progressBar, HWND percentLabel,
                       bool verify) {
    constexpr DWORD kOpenFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    EraseOutcome outcome;
    outcome.driveRoot = DriveRootOf(fileName);
    const auto ended = [&outcome](EraseOutcome::Kind kind) {
        outcome.kind = kind;
        outcome.logEnding = EraseLogEnding(outcome);
        return outcome;
    };

    // What the name shows, before anything is opened: a cloud placeholder opened for data would
    // be fetched from the cloud first.
    FileFacts facts = FsFileFactsByName(fileName);
    if (facts.found) outcome.size = facts.size;
    ErasePlan plan = PlanErase(facts, level);
    if (plan.refusal == ErasePlan::Refusal::CloudOnly) return ended(EraseOutcome::Kind::CloudOnly);
    if (plan.refusal != ErasePlan::Refusal::None) return ended(EraseOutcome::Kind::NotErased);
    if (facts.attributes & FILE_ATTRIBUTE_READONLY) {
        // The attribute is cleared only on the file itself, never on one a link leads to.
        UniqueFile probe(FsCreateFile(fileName, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      OPEN_EXISTING, kOpenFlags));
        if (!probe || !OpenedAsNamed(probe.get(), fileName)) return ended(EraseOutcome::Kind::NotErased);
        probe.reset();
        const DWORD cleared = facts.attributes & ~FILE_ATTRIBUTE_READONLY;
        FsSetAttributes(fileName, cleared ? cleared : FILE_ATTRIBUTE_NORMAL);
    }
    // Opened for reading too (the questions on the open file need it); a file that only lets
    // itself be written is erased without them.
    // The read-back opens the file a second time, for reading only.
    const DWORD share = verify ? FILE_SHARE_READ : 0;
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    UniqueFile file(FsCreateFile(fileName, access, share, OPEN_EXISTING, kOpenFlags));
    if (!file && ::GetLastError() == ERROR_ACCESS_DENIED && !verify) {
        access = GENERIC_WRITE;
        file.reset(FsCreateFile(fileName, access, share, OPEN_EXISTING, kOpenFlags));
        outcome.writeOnly = static_cast<bool>(file);
    }
    if (!file) return ended(EraseOutcome::Kind::NotErased);
    facts.readable = (access & GENERIC_READ) != 0;
    FsFileFactsOfOpenFile(file.get(), fileName, facts);
    // The open file must be what the name showed: a plain file (or a placeholder here in full),
    // and the entry the path names, not a file a link leads to.
    plan = PlanErase(facts, level);
    if (plan.refusal != ErasePlan::Refusal::None || !OpenedAsNamed(file.get(), fileName) ||
        !OverwriteNamedStreams(file.get(), fileName, level, access, kOpenFlags))
        return ended(EraseOutcome::Kind::NotErased);

    if (const std::size_t slash = fileName.find_last_of(L'\\');
        facts.cloud == CloudState::Present && slash != std::wstring::npos)
        outcome.syncRoot = FsSyncRootOf(fileName.substr(0, slash));

    RandomizeFromClock();
    ProgressDisplay display(progressBar, percentLabel);
    display.Start();
    // The read-back counts as one more pass over everything written.
    const std::int64_t passLengths = PassLengths(level, plan.ranges) + PassLengths(level, plan.tip);
    PassProgress progress(display, verify ? passLengths / PassCount(level) * (PassCount(level) + 1) : passLengths);
    std::vector<WrittenRange> lastPass;
    if (verify) progress.lastPass = &lastPass;
    if (!WritePasses(file.get(), level, plan.ranges, progress, true)) {
        // The system refused a write (a full disk, say) or a Stop ended the writing: what was
        // written goes to the disk, and the file stays where it is under its own name, neither
        // cut nor deleted, so that nothing of it is left unerased on the disk behind a name
        // that is gone and it can be tried again.
        ::FlushFileBuffers(file.get());
        file.reset();
        display.Finish();
        outcome.bytesWritten = progress.done;
        return ended(EraseOutcome::Kind::NotErased);
    }
    if (!plan.tip.empty()) {
        // The file's own length is done: a refused write here only leaves part of the tip.
        const std::size_t mainRanges = lastPass.size();
        outcome.tipRefused = !WritePasses(file.get(), level, plan.tip, progress, false);
        if (outcome.tipRefused) {
            ::FlushFileBuffers(file.get());
            lastPass.resize(mainRanges);  // only what surely reached the disk is read back
        }
        // The writes past the end moved it; the file gets its own length back before anyone looks.
        SeekTo(file.get(), facts.size);
        ::SetEndOfFile(file.get());
        SeekTo(file.get(), 0);
    }
    outcome.bytesWritten = progress.done;
    if (verify) {
        // After a tip the file was given its own length back, so what lies past it (the tip, the
        // byte past an odd length) can no longer be read through the file: the read-back covers
        // the file's own length.
        const std::int64_t end = plan.tip.empty() ? INT64_MAX : facts.size;
        std::vector<WrittenRange> own;
        for (WrittenRange range : lastPass) {
            if (range.offset >= end) continue;
            range.length = std::min(range.length, end - range.offset);
            own.push_back(range);
        }
        outcome.readBack = ReadBackLastPass(file.get(), fileName, level, own, progress);
        if (outcome.readBack != ReadBack::Matched) {
            // Not what was written, or not known: the file stays under its own name, uncut.
            file.reset();
            display.Finish();
            return ended(EraseOutcome::Kind::NotErased);
        }
    }

    // Clusters that were the file's before the passes and are not now were freed with their content.
    std::vector<ClusterRun> after;
    const bool compared =
        facts.clustersKnown && FsClustersOfOpenFile(file.get(), -1, facts.clusterSize, after);
    outcome.leftoverClustersSeen = compared ? ClustersFreed(facts.clusters, after) : 0;
    outcome.encrypted = plan.encrypted;
    // Without a comparison the attributes decide; an encrypted file may keep the plain copy made
    // when it was first encrypted, which no comparison shows.
    outcome.leftoverPossible = outcome.leftoverClustersSeen == 0 &&
                               ((plan.movesItsClusters && (!compared || plan.encrypted)) || outcome.tipRefused);

    Notify(OverwriteEvent::BeforeCut, PassCount(level), file.get());
    const bool cut = CutFile(file.get());
    file.reset();
    display.Finish();

    std::wstring current = fileName;
    // The name follows the last backslash (under Wine a name may hold a colon).
    const std::size_t slash = fileName.find_last_of(L'\\');
    const std::wstring wipeName = slash == std::wstring::npos
                                      ? ExtractFilePath(fileName) + L"$" + ExtractFileName(fileName)
                                      : fileName.substr(0, slash + 1) + L"$" + fileName.substr(slash + 1);
    // The rename fails when a file of that name exists already, which is then left alone.
    const bool renamed = FsMoveFile(fileName, wipeName);
    if (renamed) current = wipeName;

    // Some systems accept the delete and drop it when the file is closed (a folder that
    // forbids removing entries, say): only a file that is gone counts as deleted. The name the
    // rename gave is spelled as the entry has it, so its look-up need not ignore letter case.
    const bool deleted = FsDeleteFile(current) && !(renamed ? FsExactEntryExists(current) : FsEntryExists(current));
    return ended(cut && deleted ? EraseOutcome::Kind::Erased : EraseOutcome::Kind::NotErased);
}

std::vector<std::wstring> DriveNotes(const std::wstring& root, const DriveFacts& facts) {
    std::vector<std::wstring> notes;
    if (facts.solidState || facts.trim)
        notes.push_back(L"ドライブ " + root +
                        L" はSSDです。上書きが元のデータのあった場所に届くとは限りません。"
                        L"削除後のTRIMと、BitLockerなどのドライブ全体の暗号化が有効です。");
    if (facts.refs) notes.push_back(L"ドライブ " + root + L" (ReFS) では上書きが元の場所に行われる保証がありません。");
    if (facts.network)
        notes.push_back(L"ドライブ " + root + L" (ネットワーク) では上書きが元の場所に行われる保証がありません。");
    return notes;
}

std::vector<std::wstring> EraseRunNotes::Before(const EraseOutcome& outcome) {
    const auto firstTime = [](std::vector<std::wstring>& seen, const std::wstring& key) {
        if (key.empty()) return false;
        for (const std::wstring& known : seen)
            if (SameName(known, key)) return false;
        seen.push_back(key);
        return true;
    };
    std::vector<std::wstring> notes;
    if (firstTime(drives_, outcome.driveRoot)) notes = DriveNotes(outcome.driveRoot, FsDriveFacts(outcome.driveRoot));
    if (firstTime(syncRoots_, outcome.syncRoot))
        notes.push_back(L"同期フォルダ:" + outcome.syncRoot +
                        L" はクラウドと同期されています。クラウドには以前のバージョンとクラウドのごみ箱が残ります。");
    return notes;
}

bool OverwriteFile(const std::wstring& fileName, EraseLevel level, HWND progressBar, HWND percentLabel,
                   ReadBack* readBack) {
    const EraseOutcome outcome = EraseFile(fileName, level, progressBar, percentLabel, readBack != nullptr);
    if (readBack) *readBack = outcome.readBack;
    return outcome.kind == EraseOutcome::Kind::Erased;
}

std::int64_t ProgressPercent(std::int64_t done, std::int64_t total) {
    if (done == 0) return 0;
    return static_cast<std::int64_t>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

std::int64_t FileSizeOf(const std::wstring& fileName) {
    UniqueFile file(FsCreateFile(fileName, GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) {
        RaiseAssertion(AssertSite::EraseFuncOutOfZero);
        return -1;
    }
    return size.QuadPart;
}

// --- the pass writer for other callers ---

struct PassWriter::Buffer {
    explicit Buffer(HANDLE file) : writer(file) {}
    WordWriter writer;
};

PassWriter::PassWriter(HANDLE file) : buffer_(std::make_unique<Buffer>(file)) {}
PassWriter::~PassWriter() = default;

int PassWriter::Passes(EraseLevel level) { return PassCount(level); }

bool PassWriter::Write(EraseLevel level, int passIndex, std::size_t bytes) {
    const auto words = static_cast<std::int64_t>(std::min(bytes, kMaxWrite) / 2);
    if (words == 0) return true;
    buffer_->writer.Append(level, passIndex, words);
    return buffer_->writer.Flush();
}

bool PassWriter::FlushToDisk() { return buffer_->writer.FlushToDisk(); }
