// Parsing and running the stand-in's text commands.
#include "CommandChannel.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace chrome_standin {
namespace {

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

bool Number(const std::string& word, long& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    value = std::strtol(word.c_str(), &end, 0);
    return end && *end == '\0';
}

bool HResult(const std::string& word, HRESULT& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    value = static_cast<HRESULT>(std::strtoul(word.c_str(), &end, 0));
    return end && *end == '\0';
}

bool Service(const std::string& word, StandinService& service)
{
    static const std::pair<const char*, StandinService> names[] = {
        {"tabs", StandinService::Tabs},
        {"tabsreg", StandinService::TabsRegistration},
        {"browser", StandinService::Browser},
        {"events", StandinService::EventsRegistration},
        {"quickbrowser", StandinService::QuickBrowser},
        {"page", StandinService::PageObject},
    };
    for (const auto& name : names)
        if (word == name.first) {
            service = name.second;
            return true;
        }
    return false;
}

std::string Hex(ULONG_PTR value)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string Handle(HWND window)
{
    return Hex(reinterpret_cast<ULONG_PTR>(window));
}

std::string Result(HRESULT hr, const std::string& success = "ok")
{
    if (SUCCEEDED(hr))
        return success;
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string Printable(const VARIANT& value)
{
    VARIANT text;
    VariantInit(&text);
    std::string printed = "?";
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR)))
        printed = Narrow(std::wstring(V_BSTR(&text), SysStringLen(V_BSTR(&text))));
    VariantClear(&text);
    for (char& c : printed)
        if (c == ' ' || c == '\n' || c == '\r')
            c = '|';
    return printed;
}

std::string DescribeTab(const TabSnapshot& tab)
{
    std::ostringstream text;
    text << tab.id << ' ' << (tab.loading ? 1 : 0) << ' ' << (tab.active ? 1 : 0) << ' ' << Narrow(tab.browserKey)
         << ' ' << Narrow(tab.url);
    return text.str();
}

} // namespace

std::string CommandChannel::Execute(const std::string& line, bool& quit)
{
    quit = false;
    std::vector<std::string> w = Words(line);
    if (w.empty())
        return "error empty command";
    const std::string& verb = w[0];
    long id = 0, a = 0, b = 0;
    bool haveId = w.size() >= 2 && Number(w[1], id);
    LONG tabId = static_cast<LONG>(id);
    auto usage = [&](const char* text) { return std::string("error usage: ") + text; };

    if (verb == "quit") {
        quit = true;
        return "ok bye";
    }
    if (verb == "flush")
        return standin_.FlushNotifications() ? "ok" : "error flush timed out";
    if (verb == "open") {
        if (!haveId || w.size() < 3 || w.size() > 5)
            return usage("open ID URL [LOADING] [active]");
        bool loading = w.size() >= 4 && w[3] == "1";
        bool activate = w.size() == 5 && w[4] == "active";
        return Result(standin_.OpenTab(tabId, Wide(w[2]), loading, activate));
    }
    if (verb == "close") {
        if (!haveId || w.size() != 2)
            return usage("close ID");
        return Result(standin_.CloseTab(tabId));
    }
    if (verb == "update") {
        if (!haveId || w.size() != 4)
            return usage("update ID URL LOADING");
        return Result(standin_.UpdateTab(tabId, Wide(w[2]), w[3] == "1"));
    }
    if (verb == "loading") {
        if (!haveId || w.size() != 3)
            return usage("loading ID 0|1");
        return Result(standin_.SetTabLoading(tabId, w[2] == "1"));
    }
    if (verb == "schedule" || verb == "behaviour") {
        if (!haveId || w.size() != 4 || !Number(w[2], a) || !Number(w[3], b))
            return usage("schedule|behaviour ID START_MS STOP_MS");
        if (verb == "schedule")
            return a < 0 ? usage("schedule ID START_MS(>=0) STOP_MS")
                         : Result(standin_.ScheduleLoading(tabId, static_cast<DWORD>(a), static_cast<LONG>(b)));
        return Result(
            standin_.SetNavigationBehaviour(tabId, NavigationBehaviour{static_cast<LONG>(a), static_cast<LONG>(b)}));
    }
    if (verb == "activate") {
        if (!haveId || w.size() != 2)
            return usage("activate ID");
        return Result(standin_.Activate(tabId));
    }
    if (verb == "focus") {
        if (!haveId || w.size() != 2)
            return usage("focus ID");
        return Result(standin_.FocusTab(tabId));
    }
    if (verb == "removebrowser") {
        if (!haveId || w.size() != 2)
            return usage("removebrowser ID");
        std::wstring oldKey, newKey;
        HRESULT hr = standin_.RemoveBrowser(tabId, &oldKey, &newKey);
        return Result(hr, "ok " + Narrow(oldKey) + " " + Narrow(newKey));
    }
    if (verb == "rect") {
        if (haveId && w.size() == 3 && w[2] == "default")
            return Result(standin_.SetTabRectangle(tabId, nullptr));
        long values[4] = {};
        if (!haveId || w.size() != 6 || !Number(w[2], values[0]) || !Number(w[3], values[1]) ||
            !Number(w[4], values[2]) || !Number(w[5], values[3]))
            return usage("rect ID LEFT TOP WIDTH HEIGHT | rect ID default");
        RECT rectangle = {values[0], values[1], values[0] + values[2], values[1] + values[3]};
        return Result(standin_.SetTabRectangle(tabId, &rectangle));
    }
    if (verb == "refuse" || verb == "delay" || verb == "calls" || verb == "clearrules") {
        StandinService service = StandinService::Tabs;
        if (w.size() < 2 || !Service(w[1], service))
            return usage("refuse|delay|calls|clearrules tabs|tabsreg|browser|events|quickbrowser|page ...");
        long member = 0;
        if (verb == "clearrules") {
            standin_.ClearCallRules(service);
            return "ok";
        }
        if (w.size() < 3 || !Number(w[2], member))
            return usage("refuse SERVICE DISPID HRESULT | delay SERVICE DISPID MS | calls SERVICE DISPID");
        if (verb == "calls")
            return "ok " + std::to_string(standin_.CallCount(service, static_cast<DISPID>(member)));
        HRESULT failure = S_OK;
        if (verb == "refuse") {
            if (w.size() != 4 || !HResult(w[3], failure))
                return usage("refuse SERVICE DISPID HRESULT");
            standin_.RefuseCalls(service, static_cast<DISPID>(member), failure);
            return "ok";
        }
        if (w.size() != 4 || !Number(w[3], a) || a < 0)
            return usage("delay SERVICE DISPID MS");
        standin_.DelayCalls(service, static_cast<DISPID>(member), static_cast<DWORD>(a));
        return "ok";
    }
    if (verb == "options") {
        if (!haveId || w.size() != 2)
            return usage("options ID");
        std::vector<ReceivedOption> options = standin_.OptionsReceived(tabId);
        std::string answer = "ok " + std::to_string(options.size());
        for (const ReceivedOption& option : options)
            answer +=
                " " + Narrow(option.key) + "=" + std::to_string(option.value.Type()) + ":" + Printable(*option.value);
        return answer;
    }
    if (verb == "tabs") {
        std::vector<TabSnapshot> tabs = standin_.Tabs();
        std::string answer = "ok " + std::to_string(tabs.size());
        for (const TabSnapshot& tab : tabs)
            answer += " [" + DescribeTab(tab) + "]";
        return answer;
    }
    if (verb == "tab") {
        if (!haveId || w.size() != 2)
            return usage("tab ID");
        std::optional<TabSnapshot> tab = standin_.Tab(tabId);
        return tab ? "ok " + DescribeTab(*tab) : "error no such tab";
    }
    if (verb == "windows") {
        const BrowserWindows& windows = standin_.Windows();
        RECT frame = standin_.FrameRectangle();
        std::ostringstream text;
        text << "ok frame=" << Handle(windows.frame) << " container=" << Handle(windows.container)
             << " shelf=" << Handle(windows.shelf) << " bubble=" << Handle(windows.bubble) << " rect=" << frame.left
             << "," << frame.top << "," << frame.right << "," << frame.bottom;
        return text.str();
    }
    if (verb == "tabwindows") {
        if (!haveId || w.size() != 2)
            return usage("tabwindows ID");
        std::optional<TabSnapshot> tab = standin_.Tab(tabId);
        if (!tab)
            return "error no such tab";
        return "ok rwhh=" + Handle(tab->windows.renderWidgetHost) + " compositor=" + Handle(tab->windows.compositor);
    }
    if (verb == "notifiers")
        return "ok tabs=" + std::to_string(standin_.TabsNotifierCount()) +
               " browser=" + std::to_string(standin_.BrowserEventsNotifierCount());
    return "error unknown verb " + verb;
}

} // namespace chrome_standin
