#include "cli/ChildProcess.hpp"
#include "install/Console.hpp"
#include "install/SystemPaths.hpp"
#include "install/WideText.hpp"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cwchar>
#include <mutex>
#include <system_error>
#include <thread>

#include <windows.h>

namespace {

// A child that was terminated is gone within this time.
constexpr DWORD kTerminateWaitMs = 10000;

// What the reader threads share with the waiting parent.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t generation = 0; // counts arrivals, stream ends and wakes
};

// One pipe's bytes not yet collected, guarded by Shared::mutex.
struct Stream {
    std::string arrived;
    bool ended = false;
};

std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out;
    if (length > 0 && text != nullptr) {
        out = sys::utf8FromWide(std::wstring_view(text, length));
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
            out.pop_back();
        }
    }
    LocalFree(text);
    return out.empty() ? "system error " + std::to_string(code) : out;
}

void closeHandle(HANDLE& handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    handle = nullptr;
}

// Blocks in the pipe until the child's end of it closes; owns `pipe`.
void readAll(HANDLE pipe, const std::shared_ptr<Shared>& shared, Stream& stream) {
    std::array<char, 4096> chunk{};
    for (;;) {
        DWORD n = 0;
        const BOOL ok = ReadFile(pipe, chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr);
        if (ok && n == 0) {
            continue; // an empty write, not the end
        }
        const std::lock_guard lock(shared->mutex);
        if (ok) {
            stream.arrived.append(chunk.data(), n);
        } else {
            stream.ended = true;
        }
        ++shared->generation;
        shared->changed.notify_all();
        if (stream.ended) {
            break;
        }
    }
    CloseHandle(pipe);
}

// This process's environment with `entry` in place of any variable of the same name.
std::vector<wchar_t> environmentWith(const std::wstring& name, const std::wstring& value) {
    std::vector<wchar_t> block;
    const std::wstring prefix = name + L"=";
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; entry != nullptr && *entry != L'\0';) {
        const std::size_t length = std::wcslen(entry);
        if (_wcsnicmp(entry, prefix.c_str(), prefix.size()) != 0) {
            block.insert(block.end(), entry, entry + length + 1);
        }
        entry += length + 1;
    }
    if (current != nullptr) {
        FreeEnvironmentStringsW(current);
    }
    const std::wstring entry = prefix + value;
    block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    block.push_back(L'\0');
    return block;
}

} // namespace

struct ChildProcess::Events::Impl {
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    std::uint64_t seen = 0; // the generation the last wait returned at
};

struct ChildProcess::Impl {
    HANDLE process = nullptr;
    HANDLE stopEvent = nullptr;
    DWORD id = 0;
    std::shared_ptr<Shared> shared;
    Stream out;
    Stream err;
    std::thread outReader;
    std::thread errReader;
    std::optional<ChildExit> exit;
};

ChildProcess::Events::Events()
    : m_impl(std::make_unique<Impl>()) {}

ChildProcess::Events::~Events() = default;

void ChildProcess::Events::wake() {
    const std::lock_guard lock(m_impl->shared->mutex);
    ++m_impl->shared->generation;
    m_impl->shared->changed.notify_all();
}

// The reader threads count every arrival; anything since the last wait returned ends this one.
void ChildProcess::Events::wait(const std::vector<ChildProcess*>& /*children*/,
                                std::chrono::milliseconds timeout) {
    Shared& shared = *m_impl->shared;
    std::unique_lock lock(shared.mutex);
    shared.changed.wait_for(lock, timeout, [&] { return shared.generation != m_impl->seen; });
    m_impl->seen = shared.generation;
}

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl)) {}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  Events& events, std::string& error) {
    if (argv.empty()) {
        error = "no program";
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->shared = events.m_impl->shared;
    // Not a console event: the child has a console of its own, so that closing ours does not
    // end it. A station that dies never sets the event, and the child finishes its device.
    static std::atomic<unsigned> counter{0};
    const std::wstring eventName = L"Local\\detector-updater-stop-" +
                                   std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(++counter);
    impl->stopEvent = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    if (impl->stopEvent == nullptr) {
        error = "stop event: " + systemMessage(GetLastError());
        return nullptr;
    }
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr;
    HANDLE outWrite = nullptr;
    HANDLE errRead = nullptr;
    HANDLE errWrite = nullptr;
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             OPEN_EXISTING, 0, nullptr);
    const auto closeAll = [&] {
        for (HANDLE* handle : {&outRead, &outWrite, &errRead, &errWrite, &nul}) {
            closeHandle(*handle);
        }
    };
    if (nul == INVALID_HANDLE_VALUE || CreatePipe(&outRead, &outWrite, &inherited, 0) == 0 ||
        CreatePipe(&errRead, &errWrite, &inherited, 0) == 0) {
        error = "pipe: " + systemMessage(GetLastError());
        closeAll();
        closeHandle(impl->stopEvent);
        return nullptr;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    // Only these three handles reach the child, whatever else is inheritable here.
    std::array<HANDLE, 3> handed = {nul, outWrite, errWrite};
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    auto* list =
        static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(HeapAlloc(GetProcessHeap(), 0, listSize));
    const bool listed =
        list != nullptr && InitializeProcThreadAttributeList(list, 1, 0, &listSize) != 0 &&
        UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handed.data(),
                                  sizeof(HANDLE) * handed.size(), nullptr, nullptr) != 0;
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nul;
    startup.StartupInfo.hStdOutput = outWrite;
    startup.StartupInfo.hStdError = errWrite;
    startup.lpAttributeList = listed ? list : nullptr;

    std::wstring line = sys::wideFromUtf8(commandLine(argv));
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');
    auto environment = environmentWith(console::kStopEventVariable, eventName);
    const std::wstring program = sys::pathFromUtf8(argv[0]).wstring();
    PROCESS_INFORMATION created{};
    const DWORD flags =
        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
    const BOOL ok =
        CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE, flags,
                       environment.data(), nullptr, &startup.StartupInfo, &created);
    const DWORD failure = GetLastError();
    if (listed) {
        DeleteProcThreadAttributeList(list);
    }
    if (list != nullptr) {
        HeapFree(GetProcessHeap(), 0, list);
    }
    closeHandle(nul);
    closeHandle(outWrite);
    closeHandle(errWrite);
    if (ok == 0) {
        error = "starting " + argv[0] + ": " + systemMessage(failure);
        closeAll();
        closeHandle(impl->stopEvent);
        return nullptr;
    }
    CloseHandle(created.hThread);
    impl->process = created.hProcess;
    impl->id = created.dwProcessId;
    auto child = std::unique_ptr<ChildProcess>(new ChildProcess(std::move(impl)));
    Impl& own = *child->m_impl;
    try {
        own.outReader = std::thread(readAll, outRead, own.shared, std::ref(own.out));
        outRead = nullptr;
        own.errReader = std::thread(readAll, errRead, own.shared, std::ref(own.err));
        errRead = nullptr;
    } catch (const std::system_error& e) {
        error = std::string("reader thread: ") + e.what();
        closeAll();
        return nullptr; // the destructor ends the child
    }
    return child;
}

ChildProcess::~ChildProcess() {
    if (!m_impl->exit && m_impl->process != nullptr) {
        TerminateProcess(m_impl->process, 1);
        WaitForSingleObject(m_impl->process, kTerminateWaitMs);
    }
    // The child's ends of the pipes closed with it, so the readers are at their end.
    for (std::thread* reader : {&m_impl->outReader, &m_impl->errReader}) {
        if (reader->joinable()) {
            reader->join();
        }
    }
    closeHandle(m_impl->process);
    closeHandle(m_impl->stopEvent);
}

long long ChildProcess::processId() const { return m_impl->id; }

void ChildProcess::collect() {
    const std::lock_guard lock(m_impl->shared->mutex);
    m_output += m_impl->out.arrived;
    m_impl->out.arrived.clear();
    m_errors += m_impl->err.arrived;
    m_impl->err.arrived.clear();
    m_outputEnded = m_impl->out.ended;
    m_errorsEnded = m_impl->err.ended;
}

void ChildProcess::stop() {
    if (!m_impl->exit) {
        SetEvent(m_impl->stopEvent);
    }
}

std::optional<ChildExit> ChildProcess::finished() {
    if (!m_impl->exit && WaitForSingleObject(m_impl->process, 0) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(m_impl->process, &code);
        m_impl->exit = ChildExit{false, static_cast<int>(code)};
    }
    if (!m_impl->exit || !m_outputEnded || !m_errorsEnded) {
        return std::nullopt;
    }
    return m_impl->exit;
}

std::FILE* ChildProcess::openAppendingUninherited(const std::string& path) {
    // "N": the handle is not inheritable.
    return _wfopen(sys::pathFromUtf8(path).c_str(), L"aN");
}
