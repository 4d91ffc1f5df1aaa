#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cwctype>

#include "child_process.h"
#include "platform/utf8_path.h"

namespace vek::test {

namespace {

std::wstring Wide(const std::string& utf8) {
    return PathFromUtf8(utf8).wstring();
}

// One word of a command line, read back by the program's runtime exactly as given:
// backslashes count only before a quote.
std::wstring Quoted(const std::wstring& word) {
    if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) {
        return word;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

bool SameName(std::wstring a, std::wstring b) {
    const auto upper = [](std::wstring& text) {
        std::transform(text.begin(), text.end(), text.begin(), std::towupper);
    };
    upper(a);
    upper(b);
    return a == b;
}

// The environment block: the test's own, less the dropped and the replaced variables, plus
// the new ones. Windows compares names without regard to case.
std::wstring EnvironmentBlock(const ChildSetup& setup) {
    std::vector<std::wstring> entries;
    const std::wstring prefix = Wide(setup.droppedPrefix);
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != 0; entry += wcslen(entry) + 1) {
        const std::wstring text = entry;
        const std::wstring name = text.substr(0, text.find(L'=', 1));
        const bool dropped = !prefix.empty() && SameName(name.substr(0, prefix.size()), prefix);
        const bool replaced =
            std::any_of(setup.variables.begin(), setup.variables.end(),
                        [&](const auto& set) { return SameName(Wide(set.first), name); });
        if (!dropped && !replaced) {
            entries.push_back(text);
        }
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : setup.variables) {
        entries.push_back(Wide(name) + L"=" + Wide(value));
    }
    std::wstring block;
    for (const std::wstring& entry : entries) {
        block += entry;
        block += L'\0';
    }
    return block + L'\0';
}

HANDLE Inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

Child StartChild(const ChildSetup& setup) {
    Child started;
    if (setup.terminal) {
        ADD_FAILURE() << "no terminal to give the program on Windows";
        return started;
    }
    std::wstring commandLine;
    for (const std::string& word : setup.words) {
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Wide(word));
    }
    std::wstring environment = EnvironmentBlock(setup);
    HANDLE input = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE output = Inheritable(setup.outFile.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE errors = Inheritable(setup.errFile.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION process{};
    started.start = std::chrono::steady_clock::now();
    const bool created = CreateProcessW(Wide(setup.words.front()).c_str(), commandLine.data(),
                                        nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                        environment.data(), nullptr, &startup, &process) != 0;
    EXPECT_TRUE(created) << "CreateProcess failed: " << GetLastError();
    for (HANDLE handle : {input, output, errors}) {
        CloseHandle(handle);
    }
    if (created) {
        CloseHandle(process.hThread);
        started.process = reinterpret_cast<std::intptr_t>(process.hProcess);
    }
    return started;
}

ChildRun FinishChild(const Child& child, const std::function<void()>& whileStopped) {
    ChildRun run;
    if (whileStopped) {
        ADD_FAILURE() << "a process cannot stop itself for the test on Windows";
    }
    if (child.process == -1) {
        return run;
    }
    const auto process = reinterpret_cast<HANDLE>(child.process);
    WaitForSingleObject(process, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process, &status);
    run.status = static_cast<int>(status);
    run.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - child.start)
                           .count();
    CloseHandle(process);
    return run;
}

}  // namespace vek::test
