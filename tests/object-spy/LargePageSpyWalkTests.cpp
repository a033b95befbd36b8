// The object spy on the large captured page: the engine walker goes
// through the whole hook (browser-process stand-in, one renderer process,
// the library on both sides) and must reach every member of "all" with the
// identifier the in-process walk of the same snapshot gives it.
#include <windows.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "harness/nativeobject/SnapshotPage.h"
#include "tests/hook-tab/InProcessWalks.h"
#include "tests/support/PagePath.h"

using testsupport::PagePath;

namespace {

std::wstring ProgramNextToThisOne(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + name;
}

// Runs the program and gives what it wrote to its standard output; false
// when it could not start, ran past `timeoutMs` or ended with a failure.
bool RunForOutput(std::wstring commandLine, DWORD timeoutMs, std::string& output)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = nullptr;
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    CloseHandle(process.hThread);
    // Read until the program closes its end; the wait below bounds the run.
    HANDLE reader = CreateThread(
        nullptr, 0,
        [](void* data) -> DWORD {
            auto* pair = static_cast<std::pair<HANDLE, std::string*>*>(data);
            char buffer[65536];
            DWORD got = 0;
            while (ReadFile(pair->first, buffer, sizeof(buffer), &got, nullptr) && got)
                pair->second->append(buffer, got);
            return 0;
        },
        new std::pair<HANDLE, std::string*>(readEnd, &output), 0, nullptr);
    DWORD exitCode = 1;
    const bool ended = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    if (reader) {
        WaitForSingleObject(reader, 30000);
        CloseHandle(reader);
    }
    CloseHandle(readEnd);
    return ended && exitCode == 0;
}

const nlohmann::json* ChildWithAlias(const nlohmann::json& object, const char* alias)
{
    if (!object.contains("children"))
        return nullptr;
    for (const nlohmann::json& child : object["children"])
        if (child.value("alias", "") == alias)
            return &child;
    return nullptr;
}

std::wstring Wide(const std::string& utf8)
{
    std::wstring out(utf8.size(), L'\0');
    out.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                                   static_cast<int>(out.size())));
    return out;
}

TEST(LargePageSpyWalk, EveryMemberOfAllHasTheIdentifierOfTheInProcessWalk)
{
    const std::string snapshot = "large/snapshots/capi3ref.json";
    const std::vector<std::pair<std::wstring, std::wstring>> expected = hook_tab_tests::InProcessAll(snapshot);
    ASSERT_GT(expected.size(), 5000u);

    const std::wstring url = harness::SnapshotPage::Load(PagePath(snapshot)).url;
    std::wstring commandLine = L"\"" + ProgramNextToThisOne(L"vxobjectspy.exe") + L"\" \"--page=" +
                               PagePath(snapshot) + L"|" + url + L"\" --model=dom --json";
    std::string output;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunForOutput(commandLine, 15 * 60 * 1000, output));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const nlohmann::json tree = nlohmann::json::parse(output, nullptr, false);
    ASSERT_FALSE(tree.is_discarded()) << "the spy's answer is not JSON";
    // One entry per window the hook claimed: the tab's window shows the page,
    // the browser frame's own window shows none.
    const nlohmann::json* page = nullptr;
    for (const nlohmann::json& entry : tree["pages"]) {
        ASSERT_EQ(entry.value("model", ""), "dom");
        const nlohmann::json& window = entry["tree"];
        ASSERT_EQ(window.value("kind", ""), "Window");
        if (!window.contains("children") || window["children"].empty())
            continue;
        ASSERT_EQ(page, nullptr) << "one page only";
        ASSERT_EQ(window["children"].size(), 1u);
        page = &window["children"][0];
    }
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->value("kind", ""), "Page");
    const nlohmann::json* document = ChildWithAlias(*page, "document");
    ASSERT_NE(document, nullptr);
    const nlohmann::json* all = ChildWithAlias(*document, "all");
    ASSERT_NE(all, nullptr);

    // (node number, identifier) in the order the walker met them: the node
    // number ends the moniker, the identifier is the method's parameter.
    std::vector<std::pair<std::wstring, std::wstring>> walked;
    for (const nlohmann::json& item : (*all)["children"]) {
        const std::string moniker = item.value("moniker", "");
        const nlohmann::json& parameters = item["parameters"];
        ASSERT_EQ(item.value("kind", ""), "Item") << moniker;
        ASSERT_EQ(parameters.size(), 1u) << moniker;
        walked.emplace_back(Wide(moniker.substr(moniker.rfind('!') + 1)),
                            Wide(parameters.begin()->get<std::string>()));
    }
    EXPECT_EQ(walked, expected);
    printf("object spy on the large page, DOM model: %zu members of all in %.1f s (%.2f ms per object)\n",
           walked.size(), seconds, seconds * 1000 / static_cast<double>(walked.size()));
}

} // namespace
