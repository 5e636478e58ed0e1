#include "storage/Backup.h"

#include "core/Types.h"
#include "storage/TextFile.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>


bool BackupData() {
    const std::wstring folder = DataFilePath(L"backup");
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    bool all = true;
    for (const wchar_t* name : kDataFileNames) {
        const std::wstring target = folder + L"\\" + name;
        if (!CopyFileW(DataFilePath(name).c_str(), target.c_str(), FALSE))
            all = false;
    }
    return all;
}

namespace {

// Releases a COM interface pointer when the scope ends.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_)
            p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    void** out() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

} // namespace

std::wstring StartupShortcutPathIn(std::wstring_view folder) {
    if (folder.empty())
        return std::wstring();
    std::wstring path(folder);
    path += L'\\';
    path += kStartupShortcutName;
    return path;
}

std::wstring GetStartupShortcutPath() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    return StartupShortcutPathIn(folder);
}

bool ShortcutFileExists(const std::wstring& path) {
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteStartupShortcut(const std::wstring& shortcutPath, const std::wstring& target) {
    if (shortcutPath.empty() || target.empty())
        return false;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out())))
        return false;
    // A link without its target would start nothing: then no file is written at all.
    if (FAILED(link->SetPath(target.c_str())))
        return false;
    link->SetDescription(kStartupShortcutDescription); // the description is only a tip
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out())))
        return false;
    return SUCCEEDED(file->Save(shortcutPath.c_str(), TRUE));
}

void DeleteShortcutFile(const std::wstring& path) {
    if (ShortcutFileExists(path))
        DeleteFileW(path.c_str()); // a failure shows as the box still ticked next time
}

bool IsAutoStartEnabled() {
    return ShortcutFileExists(GetStartupShortcutPath());
}

void EnableAutoStart() {
    WriteStartupShortcut(GetStartupShortcutPath(), RunningExecutablePath());
}

void DisableAutoStart() {
    DeleteShortcutFile(GetStartupShortcutPath());
}
