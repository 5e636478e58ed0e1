#include "app/StartupChecks.h"

#include "core/UniqueHandles.h"

#include <windows.h>

#include <cwctype>

namespace {

std::wstring LongForm(const std::wstring& path) {
    // %TEMP% is often given in its short form (C:\Users\ABCDEF~1\...).
    const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (size == 0)
        return path;
    std::wstring longPath(size, L'\0');
    const DWORD written = GetLongPathNameW(path.c_str(), &longPath[0], size);
    if (written == 0 || written >= size)
        return path;
    longPath.resize(written);
    return longPath;
}

bool CanWriteIn(const std::wstring& folder) {
    // A name of our own that no data file has; the file goes again when its handle closes.
    const std::wstring probe = folder + L"\\nomaclip-write-check.tmp";
    const UniqueHandle file =
        MakeUniqueFileHandle(CreateFileW(probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file)
        return false;
    const char byte = 0;
    DWORD written = 0;
    return WriteFile(file.get(), &byte, 1, &written, nullptr) && written == 1;
}

std::wstring_view WithoutTrailingSlash(std::wstring_view path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
        path.remove_suffix(1);
    return path;
}

} // namespace

InstanceCheck ClassifyInstanceStart(bool created, DWORD error, bool openable) {
    if (created)
        return error == ERROR_ALREADY_EXISTS ? InstanceCheck::AlreadyRunning : InstanceCheck::First;
    // No handle: an elevated run's mutex refuses a start without administrator rights. Any other
    // failure with no mutex to be found leaves the program to run unguarded rather than not at all.
    return error == ERROR_ACCESS_DENIED || openable ? InstanceCheck::AlreadyRunning : InstanceCheck::First;
}

bool IsWithinFolder(std::wstring_view path, std::wstring_view folder) {
    path = WithoutTrailingSlash(path);
    folder = WithoutTrailingSlash(folder);
    if (folder.empty() || path.size() < folder.size())
        return false;
    for (size_t i = 0; i < folder.size(); ++i) {
        const wchar_t a = path[i] == L'/' ? L'\\' : path[i];
        const wchar_t b = folder[i] == L'/' ? L'\\' : folder[i];
        if (std::towlower(a) != std::towlower(b))
            return false;
    }
    return path.size() == folder.size() || path[folder.size()] == L'\\' || path[folder.size()] == L'/';
}

FolderFacts ReadFolderFacts(const std::wstring& folder, const std::wstring& temporaryFolder) {
    FolderFacts facts;
    facts.writable = CanWriteIn(folder);
    facts.temporary = !temporaryFolder.empty() && IsWithinFolder(LongForm(folder), LongForm(temporaryFolder));
    const DWORD pictures = GetFileAttributesW((folder + L"\\img").c_str());
    facts.hasPictures = pictures != INVALID_FILE_ATTRIBUTES && (pictures & FILE_ATTRIBUTE_DIRECTORY);
    return facts;
}

std::wstring FolderWarningText(const FolderFacts& facts, const std::wstring& folder) {
    std::wstring problems;
    if (facts.temporary)
        problems +=
            L"・一時フォルダーから起動されています。zip ファイルの中から直接起動すると、exe だけが一時フォルダーに"
            L"コピーされます。履歴や設定はそこに保存され、一時ファイルの削除とともに消えてしまいます。\n";
    if (!facts.writable)
        problems +=
            L"・このフォルダーには書き込めません（Program Files の中など）。履歴、定型文、設定は保存されません。\n";
    if (!facts.hasPictures)
        problems += L"・img フォルダーがありません。ツールバーのアイコンと鍵の画像が表示されません。\n";
    for (const std::wstring& name : facts.recovered)
        problems += L"・前回の保存が途中で終わっていました。保存しかけた内容を " + name +
                    L" として残しました。中身を確かめ、必要な部分を移してください。\n";
    if (problems.empty())
        return std::wstring();
    std::wstring advice;
    if (facts.temporary || !facts.writable)
        advice =
            L"zip "
            L"ファイルを、書き込みのできる自分のフォルダー（例：ドキュメントの中に作ったフォルダー）にすべて展開し、"
            L"そこにある nomaclip.exe を起動してください。";
    else if (!facts.hasPictures)
        advice = L"zip ファイルをすべて展開し、img フォルダーを nomaclip.exe と同じフォルダーに置いてください。";
    return L"Nomaclip のデータは、nomaclip.exe と同じフォルダーに保存されます。\n" + folder + L"\n\n" + problems +
           L"\n" + advice;
}
