#pragma once

#include <windows.h>

#include <memory>
#include <utility>

// Owners for kernel handles: each releases what it holds exactly once; copying is deleted.
template <typename Traits>
class UniqueHandleT {
public:
    using handle_type = typename Traits::handle_type;

    UniqueHandleT() noexcept = default;
    explicit UniqueHandleT(handle_type h) noexcept : h_(h) {}
    ~UniqueHandleT() { reset(); }

    UniqueHandleT(const UniqueHandleT&) = delete;
    UniqueHandleT& operator=(const UniqueHandleT&) = delete;
    UniqueHandleT(UniqueHandleT&& other) noexcept : h_(other.release()) {}
    UniqueHandleT& operator=(UniqueHandleT&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    handle_type get() const noexcept { return h_; }
    bool valid() const noexcept { return h_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    handle_type release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(handle_type h = Traits::invalid()) noexcept {
        if (valid()) Traits::close(h_);
        h_ = h;
    }

private:
    handle_type h_ = Traits::invalid();
};

struct FileHandleTraits {
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(handle_type h) noexcept { ::CloseHandle(h); }
};

// Handles whose "none" value is NULL (tokens, processes, events, threads).
struct KernelHandleTraits {
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(handle_type h) noexcept { ::FindClose(h); }
};

using UniqueFile = UniqueHandleT<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandleT<KernelHandleTraits>;
using UniqueFind = UniqueHandleT<FindHandleTraits>;

// Owner of one reference to a COM object: released once, copying deleted (a unique_ptr).
//
//   ITaskFolder* raw = nullptr;
//   if (SUCCEEDED(service->GetFolder(path, &raw))) folder.reset(raw);
template <typename Interface>
struct ComReleaser {
    void operator()(Interface* object) const noexcept { object->Release(); }
};
template <typename Interface>
using UniqueCom = std::unique_ptr<Interface, ComReleaser<Interface>>;
