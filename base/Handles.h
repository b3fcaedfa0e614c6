// Owners of Win32 handles: one small class per kind, each closing in its destructor.
#pragma once
#include "base/Binder.h"
#include <windows.h>

// A file, process or thread handle; INVALID_HANDLE_VALUE and NULL both mean none.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != NULL; }
    void reset(HANDLE handle = INVALID_HANDLE_VALUE) { Close(); handle_ = handle; }
    HANDLE release() { HANDLE h = handle_; handle_ = INVALID_HANDLE_VALUE; return h; }
    void Close()
    {
        if (valid()) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
private:
    HANDLE handle_;
};

// The find handles open now. A fault skips the destructors between it and its guard, and a
// tree walk holds one find handle per level. On the NT family a directory that an open find
// handle lists is removed only when the handle closes, and its parent cannot be removed before
// (Wine removes it at once): so the guard closes, after a fault, those opened inside its body.
// Each handle is noted with a number that grows with every handle opened; a guard takes the
// number the next one will get, and closes those numbered from it on. A walk deeper than the
// record's 160 levels (a path holds at most 130) goes unnoted below that depth.
unsigned long NextFindNumber();
void NoteOpenFind(HANDLE handle, bool held = false);
void ForgetOpenFind(HANDLE handle);
// Closes every noted handle numbered `first` or later, the newest first.
void CloseFindsFrom(unsigned long first);

class FindHandle {
public:
    explicit FindHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle)
    {
        if (valid()) NoteOpenFind(handle_);
    }
    ~FindHandle() { Close(); }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Close()
    {
        if (valid()) {
            ForgetOpenFind(handle_);
            FindClose(handle_);
        }
        handle_ = INVALID_HANDLE_VALUE;
    }
private:
    HANDLE handle_;
};

// A directory held open while a tree walk is inside it: noted like a find handle, so that a
// fault's guard closes it and the directory can still be removed by a later step.
class HeldDirectory {
public:
    HeldDirectory() = default;
    ~HeldDirectory() { Close(); }
    HeldDirectory(const HeldDirectory&) = delete;
    HeldDirectory& operator=(const HeldDirectory&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != NULL; }
    void reset(HANDLE handle)
    {
        Close();
        handle_ = handle;
        if (valid()) NoteOpenFind(handle_, true);
    }
    void Close()
    {
        if (valid()) {
            ForgetOpenFind(handle_);
            CloseHandle(handle_);
        }
        handle_ = INVALID_HANDLE_VALUE;
    }
private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class RegKey {
public:
    RegKey() : key_(NULL) {}
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    // Opens into a temporary and takes ownership only on success; returns the Win32 result.
    LONG Open(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS)
    {
        HKEY opened = NULL;
        LONG result = RegOpenKeyExA(root, path, 0, access, &opened);
        if (result == ERROR_SUCCESS) {
            Close();
            key_ = opened;
        }
        return result;
    }
    // Takes ownership of a key opened elsewhere (with options Open does not give).
    void Adopt(HKEY opened)
    {
        Close();
        key_ = opened;
    }
    HKEY get() const { return key_; }
    bool valid() const { return key_ != NULL; }
    void Close()
    {
        if (key_) RegCloseKey(key_);
        key_ = NULL;
    }
private:
    HKEY key_;
};

class Library {
public:
    explicit Library(HMODULE module = NULL) : module_(module) {}
    ~Library() { Close(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    bool Load(const char* name)
    {
        Close();
        module_ = LoadLibraryA(name);
        return module_ != NULL;
    }
    HMODULE get() const { return module_; }
    bool valid() const { return module_ != NULL; }
    HMODULE release() { HMODULE m = module_; module_ = NULL; return m; }
    void Close()
    {
        if (module_) FreeLibrary(module_);
        module_ = NULL;
    }
    // The export's address as the caller's procedure type, or NULL when it is missing.
    template <typename Proc> Proc Find(const char* exportName) const
    {
        return module_ ? reinterpret_cast<Proc>(BindExport(module_, exportName)) : NULL;
    }
private:
    HMODULE module_;
};

// Releases a COM interface pointer.
template <typename Interface> class ComPtr {
public:
    ComPtr() : pointer_(NULL) {}
    ~ComPtr() { Close(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    void** out() { Close(); return reinterpret_cast<void**>(&pointer_); }
    void Close()
    {
        if (pointer_) pointer_->Release();
        pointer_ = NULL;
    }
private:
    Interface* pointer_;
};
