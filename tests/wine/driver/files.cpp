// The run's folders and files: what the harness passes in, and the layouts
// a test deploys PixGen in.
#include "tests/wine/driver/driver.h"

namespace pixtest {

std::wstring Environment(const wchar_t* name) {
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return std::wstring();
    std::wstring value(n, L'\0');
    const DWORD got = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(got);
    return value;
}

std::wstring RequiredEnvironment(const wchar_t* name) {
    std::wstring value = Environment(name);
    if (value.empty())
        throw Abort{"the variable " + Utf8(name) + " is not set: run this program through scripts/lib/harness.sh"};
    return value;
}

std::wstring Scratch(const std::wstring& relative) {
    const std::wstring folder = RequiredEnvironment(L"PIX_SCRATCH");
    return relative.empty() ? folder : JoinPath(folder, relative);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    const wchar_t last = folder.back();
    return last == L'\\' || last == L'/' ? folder + name : folder + L"\\" + name;
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw Abort{"cannot write " + Utf8(path)};
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != bytes.size()) throw Abort{"cannot write " + Utf8(path)};
}

std::wstring PlainLibrary() { return RequiredEnvironment(L"PIX_QUELVANO"); }
std::wstring RecordingLibrary() { return RequiredEnvironment(L"PIX_QUELVANO_RECORDING"); }

namespace {

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(JoinPath(folder, L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = JoinPath(folder, name);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void Copy(const std::wstring& from, const std::wstring& to) {
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE))
        throw Abort{"cannot copy " + Utf8(from) + " to " + Utf8(to) + " (error " + std::to_string(GetLastError()) +
                    ")"};
}

}  // namespace

std::wstring Deploy(const std::wstring& folder, const Layout& layout) {
    const std::wstring target = Scratch(folder);
    RemoveTree(target);
    if (!CreateDirectoryW(target.c_str(), nullptr))
        throw Abort{"cannot create " + Utf8(target) + " (error " + std::to_string(GetLastError()) + ")"};
    const std::wstring program = JoinPath(target, layout.exeName);
    Copy(RequiredEnvironment(L"PIX_EXE"), program);
    if (!layout.library.empty()) Copy(layout.library, JoinPath(target, L"Quelvano.dll"));
    for (const auto& [name, path] : layout.files) Copy(path, JoinPath(target, name));
    return program;
}

}  // namespace pixtest
