#include "engine/EraseFunc.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/Assertions.h"
#include "common/Handles.h"
#include "common/Paths.h"
#include "engine/EraseSeams.h"
#include "engine/Random.h"

namespace {

std::uint32_t g_randomSeed = 0;

EraseEnvironment& Environment() {
    static EraseEnvironment environment;
    return environment;
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

// The caller's progress bar and label. Controls are touched only when their value changes.
class ProgressDisplay {
public:
    ProgressDisplay(HWND bar, HWND label)
        : bar_(bar), label_(label), shown_(bar != nullptr || Environment().progress != nullptr) {}

    // Whether anything shows the percentage; without that, ticks need not compute it.
    bool Shown() const { return shown_; }

    void Start() {
        if (bar_) {
            ::SendMessageW(bar_, PBM_SETPOS, 0, 0);
            ::SetWindowTextW(label_, L"0%");
        }
        barPercent_ = 0;
        labelPosition_ = 0;
        Report(0);
    }

    void Show(std::int64_t percent) {
        if (percent == barPercent_) return;
        barPercent_ = percent;
        int position = static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
        if (bar_) {
            ::SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
            position = static_cast<int>(::SendMessageW(bar_, PBM_GETPOS, 0, 0));
        }
        if (position == labelPosition_) return;
        labelPosition_ = position;
        if (label_) ::SetWindowTextW(label_, (std::to_wstring(position) + L"%").c_str());
        Report(position);
    }

private:
    void Report(int position) {
        if (const auto& progress = Environment().progress) progress(position);
    }

    HWND bar_;
    HWND label_;
    bool shown_;
    std::int64_t barPercent_ = -1;
    int labelPosition_ = -1;
};

constexpr std::uint32_t kRandomMultiplier = 0x08088405u;

inline void PutWord(unsigned char* out, std::uint32_t seed) {
    const auto word = static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * 0xFFFEu) >> 32);
    out[0] = static_cast<unsigned char>(word & 0xFF);
    out[1] = static_cast<unsigned char>(word >> 8);
}

// Writes `count` words drawn from the process's generator, low byte first. Four consecutive
// seeds advance together, each by four steps at once, so the sequence is the generator's own.
void FillRandomWords(unsigned char* out, std::size_t count) {
    constexpr std::uint32_t a = kRandomMultiplier;
    constexpr std::uint32_t a4 = a * a * a * a;
    constexpr std::uint32_t c4 = a * a * a + a * a + a + 1u;
    std::uint32_t seed = g_randomSeed;
    std::size_t i = 0;
    if (count >= 4) {
        std::uint32_t s0 = seed * a + 1u;
        std::uint32_t s1 = s0 * a + 1u;
        std::uint32_t s2 = s1 * a + 1u;
        std::uint32_t s3 = s2 * a + 1u;
        for (; i + 4 <= count; i += 4) {
            PutWord(out + 2 * i, s0);
            PutWord(out + 2 * i + 2, s1);
            PutWord(out + 2 * i + 4, s2);
            PutWord(out + 2 * i + 6, s3);
            seed = s3;
            s0 = s0 * a4 + c4;
            s1 = s1 * a4 + c4;
            s2 = s2 * a4 + c4;
            s3 = s3 * a4 + c4;
        }
    }
    for (; i < count; ++i) {
        seed = seed * a + 1u;
        PutWord(out + 2 * i, seed);
    }
    g_randomSeed = seed;
}

// Words go through a buffer owned by the call and reach the file in large writes; the bytes
// and their offsets are exactly those of one 2-byte write per word.
class WordWriter {
public:
    explicit WordWriter(HANDLE file) : file_(file), buffer_(kBufferBytes) {}

    // Appends `count` words of the pass; false once the system has refused a write.
    bool Put(EraseLevel level, int passIndex, std::int64_t count) {
        const bool random = level == EraseLevel::High && passIndex == 2;
        const std::uint16_t word = random ? 0 : FixedWordFor(level, passIndex);
        while (count > 0) {
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(count, (buffer_.size() - used_) / 2));
            if (random) {
                FillRandomWords(buffer_.data() + used_, n);
                patternBytes_ = std::min(patternBytes_, used_);
            } else {
                PreparePattern(word, used_ + 2 * n);
            }
            used_ += 2 * n;
            count -= static_cast<std::int64_t>(n);
            if (used_ == buffer_.size() && !Flush()) return false;
        }
        return true;
    }

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

// Rewrites the open file with the level's passes. False on an error (a refused write or flush).
bool RewritePasses(HANDLE file, EraseLevel level, std::int64_t size, ProgressDisplay& display) {
    const int passes = PassCount(level);
    const std::int64_t total = size * passes;
    std::int64_t done = 0;
    std::int64_t passPos = 0;
    int passIndex = 0;
    int tick = 0;
    const auto& environment = Environment();
    WordWriter writer(file);

    for (;;) {
        // The words up to the next event (the end of the pass or a progress tick) go out
        // together; the events come in the same order as after single words.
        const std::int64_t toPassEnd = std::max<std::int64_t>(1, (size - passPos + 1) / 2);
        const std::int64_t count = std::min<std::int64_t>(toPassEnd, kWordsPerTick - tick);
        if (!writer.Put(level, passIndex, count)) return false;
        passPos += 2 * count;
        done += 2 * count;
        tick += static_cast<int>(count);

        if (passPos >= size) {
            if (!writer.FlushToDisk()) return false;
            ++passIndex;
            Notify(OverwriteEvent::PassEnd, passIndex, file);
            if (!SeekTo(file, 0)) return false;
            passPos = 0;
            if (passIndex == passes) return true;
        }

        if (tick >= kWordsPerTick) {
            if (display.Shown()) display.Show(ProgressPercent(done, total));
            tick = 0;
            if (environment.serviceMessages) environment.serviceMessages();
            if (environment.abortRequested && environment.abortRequested->load()) {
                // An abort only ends the writing: what was written still reaches the disk.
                return writer.FlushToDisk();
            }
        }
    }
}

// Cuts the file: length 5 (which extends a shorter file), then 0.
bool CutFile(HANDLE file) {
    return SeekTo(file, 5) && ::SetEndOfFile(file) && SeekTo(file, 0) && ::SetEndOfFile(file) && SeekTo(file, 0);
}

}  // namespace

void RandomSeed(std::uint32_t seed) { g_randomSeed = seed; }

std::uint32_t RandomBelow(std::uint32_t range) {
    g_randomSeed = g_randomSeed * kRandomMultiplier + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(g_randomSeed) * range) >> 32);
}

void RandomizeFromClock() {
    LARGE_INTEGER counter{};
    if (::QueryPerformanceCounter(&counter) && counter.QuadPart != 0)
        g_randomSeed = counter.LowPart;
    else
        g_randomSeed = ::GetTickCount();
}

EraseEnvironment SetEraseEnvironment(EraseEnvironment environment) {
    return std::exchange(Environment(), std::move(environment));
}

const EraseEnvironment& CurrentEraseEnvironment() { return Environment(); }

EraseSeams SetEraseSeams(EraseSeams seams) { return std::exchange(Seams(), std::move(seams)); }

bool OverwriteFile(const std::wstring& fileName, EraseLevel level, HWND progressBar, HWND percentLabel) {
    const DWORD attributes = ::GetFileAttributesW(fileName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    // Never write through a symbolic link or junction: the file behind it may be anywhere.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;

    if (attributes & FILE_ATTRIBUTE_READONLY) {
        const DWORD cleared = attributes & ~FILE_ATTRIBUTE_READONLY;
        ::SetFileAttributesW(fileName.c_str(), cleared ? cleared : FILE_ATTRIBUTE_NORMAL);
    }

    const DWORD access = Seams().observer ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_WRITE;
    UniqueFile file(::CreateFileW(fileName.c_str(), access, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file.get(), &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return false;

    RandomizeFromClock();
    ProgressDisplay display(progressBar, percentLabel);
    bool sound = true;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        sound = false;
    } else {
        display.Start();
        sound = SeekTo(file.get(), 0) && RewritePasses(file.get(), level, size.QuadPart, display);
        if (sound) {
            Notify(OverwriteEvent::BeforeCut, PassCount(level), file.get());
            sound = CutFile(file.get());
        }
    }
    file.reset();
    display.Show(100);

    std::wstring current = fileName;
    const std::wstring wipeName = ExtractFilePath(fileName) + L"$" + ExtractFileName(fileName);
    if (::GetFileAttributesW(wipeName.c_str()) == INVALID_FILE_ATTRIBUTES &&
        ::MoveFileW(fileName.c_str(), wipeName.c_str()))
        current = wipeName;

    const bool deleted = ::DeleteFileW(current.c_str()) != FALSE;
    return sound && deleted;
}

std::int64_t ProgressPercent(std::int64_t done, std::int64_t total) {
    if (done == 0) return 0;
    return static_cast<std::int64_t>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

std::int64_t FileSizeOf(const std::wstring& fileName) {
    UniqueFile file(::CreateFileW(fileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) {
        RaiseAssertion(AssertSite::EraseFuncOutOfZero);
        return -1;
    }
    return size.QuadPart;
}
