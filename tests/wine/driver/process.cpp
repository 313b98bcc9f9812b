// Starting PixGen the way Windows' shell would, with a start-up information
// of our own, and making sure it never outlives the test.
#include "tests/wine/driver/driver.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>

#include <algorithm>
#include <map>

namespace pixtest {

namespace {

// Every process the driver starts is put in this job, which kills them all
// when its last handle closes: when the driver ends, however it ends.
HANDLE KillOnCloseJob() {
    static const HANDLE job = [] {
        HANDLE created = CreateJobObjectW(nullptr, nullptr);
        if (!created) return created;
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return created;
    }();
    return job;
}

struct CaseInsensitiveLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                    TRUE) == CSTR_LESS_THAN;
    }
};

// The driver's own environment with the additions, as a sorted block.
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& additions) {
    std::vector<std::wstring> hidden;   // "=C:=C:\..." entries keep their place in front
    std::map<std::wstring, std::wstring, CaseInsensitiveLess> variables;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* p = strings; *p; p += wcslen(p) + 1) {
            const std::wstring entry = p;
            const std::size_t equals = entry.find(L'=', 1);
            if (entry[0] == L'=' || equals == std::wstring::npos)
                hidden.push_back(entry);
            else
                variables[entry.substr(0, equals)] = entry.substr(equals + 1);
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : additions) variables[name] = value;
    std::vector<wchar_t> block;
    auto append = [&block](const std::wstring& entry) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    };
    for (const std::wstring& entry : hidden) append(entry);
    for (const auto& [name, value] : variables) append(name + L"=" + value);
    block.push_back(L'\0');
    return block;
}

unsigned long long FromFileTime(const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

bool AllDigits(const std::wstring& text) {
    if (text.empty()) return false;
    for (wchar_t c : text)
        if (c < L'0' || c > L'9') return false;
    return true;
}

// The Linux process whose command line is the program's path, through Wine's
// drive Z: (the file system root); its /proc/PID/stat holds the times.
// The /proc folder (as a Windows path) of the Linux process that carries
// the Wine process running program. A process that Wine started names its
// program by the Windows path; one started from Linux (the driver itself,
// by the harness) by the Linux path it was given.
std::wstring LinuxProcessFolder(const std::wstring& program) {
    const std::string wanted = Utf8(program);
    std::wstring linuxPath;
    if (program.size() > 2 && (program[0] == L'Z' || program[0] == L'z') && program[1] == L':') {
        linuxPath = program.substr(2);
        for (wchar_t& c : linuxPath)
            if (c == L'\\') c = L'/';
    }
    std::vector<std::wstring> matches;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) throw Abort{"cannot list Z:\\proc"};
    do {
        if (!AllDigits(found.cFileName)) continue;
        const std::wstring folder = std::wstring(L"Z:\\proc\\") + found.cFileName;
        const std::string commandLine = ReadFileBytes(folder + L"\\cmdline");
        const std::string first = commandLine.substr(0, commandLine.find('\0'));
        if (CompareStringOrdinal(Wide(first).c_str(), -1, program.c_str(), -1, TRUE) == CSTR_EQUAL ||
            (!linuxPath.empty() && Wide(first) == linuxPath))
            matches.push_back(folder);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    if (matches.size() != 1)
        throw Abort{"found " + std::to_string(matches.size()) + " Linux processes for " + wanted};
    return matches.front();
}

unsigned long long LinuxCpuTime(const std::wstring& program) {
    const std::vector<std::wstring> matches{LinuxProcessFolder(program)};
    // After the command name in parentheses: state, then 10 fields, then
    // utime and stime in clock ticks of 1/100 s.
    const std::string stat = ReadFileBytes(matches.front() + L"\\stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) throw Abort{"unreadable " + Utf8(matches.front()) + "\\stat"};
    std::istringstream fields(stat.substr(close + 1));
    std::string skipped;
    for (int i = 0; i < 11; ++i) fields >> skipped;
    unsigned long long user = 0, system = 0;
    if (!(fields >> user >> system)) throw Abort{"unreadable times in " + Utf8(matches.front()) + "\\stat"};
    return (user + system) * 100000ull;
}

}  // namespace

bool UnderWine() {
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

Process Process::Start(const std::wstring& program, const StartOptions& options) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (options.showState >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(options.showState);
    }
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!options.arguments.empty()) commandLine += L" " + options.arguments;
    const std::wstring directory = options.directory.empty() ? FolderOf(program) : options.directory;
    std::vector<wchar_t> environment = EnvironmentBlock(options.environment);
    HANDLE output = nullptr;  // an inheritable copy of ours, for the program's output and errors
    if (options.shareOutput) {
        std::fflush(stdout);
        DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(), &output, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, output != nullptr,
                                        CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                                        directory.c_str(), &startup, &info);
    const DWORD error = GetLastError();
    if (output) CloseHandle(output);
    if (!started) throw Abort{"cannot start " + Utf8(program) + " (error " + std::to_string(error) + ")"};
    if (HANDLE job = KillOnCloseJob()) AssignProcessToJobObject(job, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    Process process;
    process.program_ = program;
    process.process_ = info.hProcess;
    process.id_ = info.dwProcessId;
    process.threadId_ = info.dwThreadId;
    return process;
}

Process::Process(Process&& other) noexcept
    : program_(std::move(other.program_)),
      process_(std::exchange(other.process_, nullptr)),
      id_(std::exchange(other.id_, 0)),
      threadId_(std::exchange(other.threadId_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Close();
        program_ = std::move(other.program_);
        process_ = std::exchange(other.process_, nullptr);
        id_ = std::exchange(other.id_, 0);
        threadId_ = std::exchange(other.threadId_, 0);
    }
    return *this;
}

Process::~Process() {
    Close();
}

void Process::Close() noexcept {
    if (!process_) return;
    if (Running()) Kill();
    CloseHandle(process_);
    process_ = nullptr;
}

bool Process::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs) const {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

void Process::Kill() {
    if (!process_) return;
    TerminateProcess(process_, 0xDEAD);
    WaitForSingleObject(process_, kExitTimeout);
}

std::wstring Process::LinuxFolder() const { return LinuxProcessFolder(program_); }

unsigned long long Process::CpuTime() const {
    if (UnderWine()) return LinuxCpuTime(program_);
    FILETIME created, exited, kernel, user;
    if (!process_ || !GetProcessTimes(process_, &created, &exited, &kernel, &user))
        throw Abort{"GetProcessTimes failed (error " + std::to_string(GetLastError()) + ")"};
    return FromFileTime(kernel) + FromFileTime(user);
}

namespace {

// A field of /proc/<pid>/status in kilobytes ("RssAnon:   1234 kB").
SIZE_T StatusKilobytes(const std::string& status, const std::string& field) {
    const std::size_t at = status.find(field + ":");
    return at == std::string::npos ? 0 : std::strtoull(status.c_str() + at + field.size() + 1, nullptr, 10);
}

std::size_t EntriesIn(const std::wstring& folder) {
    std::size_t count = 0;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (found.cFileName[0] != L'.') ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

}  // namespace

Holdings MeasureHoldings(const Process& process) {
    Holdings holdings;
    GetProcessHandleCount(process.Handle(), &holdings.handles);
    holdings.gdiObjects = GetGuiResources(process.Handle(), GR_GDIOBJECTS);
    holdings.userObjects = GetGuiResources(process.Handle(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process.Handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        holdings.privateBytes = memory.PrivateUsage;
    if (UnderWine()) {
        const std::wstring folder = process.LinuxFolder();
        if (holdings.handles == 0) holdings.handles = static_cast<DWORD>(EntriesIn(folder + L"\\fd"));
        if (holdings.privateBytes == 0)
            holdings.privateBytes = StatusKilobytes(ReadFileBytes(folder + L"\\status"), "RssAnon") * 1024;
    }
    return holdings;
}

SIZE_T OwnPrivateBytes() {
    // Wine 8 answers for this process too, but with a figure that never
    // changes; and its Z:\\proc\\self is the Wine server's, which opens the
    // files, so the Linux process is found by the program's path.
    if (UnderWine()) {
        wchar_t path[MAX_PATH];
        const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return 0;
        return StatusKilobytes(ReadFileBytes(LinuxProcessFolder(path) + L"\\status"), "RssAnon") * 1024;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        return 0;
    return memory.PrivateUsage;
}

namespace {
constexpr const wchar_t* kAeDebugKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";
}  // namespace

NoDebuggerForCrashes::NoDebuggerForCrashes() {
    REQUIRE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAeDebugKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) == ERROR_SUCCESS);
    wchar_t buffer[512] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    had_ = RegQueryValueExW(key_, L"Debugger", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
           ERROR_SUCCESS;
    previous_ = buffer;
    Set(L"pixtest-no-such-debugger.exe %ld %ld");
}

NoDebuggerForCrashes::~NoDebuggerForCrashes() {
    if (had_)
        Set(previous_);
    else
        RegDeleteValueW(key_, L"Debugger");
    RegCloseKey(key_);
}

void NoDebuggerForCrashes::Set(const std::wstring& value) {
    RegSetValueExW(key_, L"Debugger", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace pixtest
