#pragma once
// A renderer stand-in process (vxrendererstandin.exe) seen from the browser
// process: started for one captured page, it answers with its quick browser,
// marshalled for this process; it takes one command per line on its
// standard input and answers each with one line. Test equipment.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace harness {

// The marshalled form of an interface as text (hexadecimal bytes), and back.
HRESULT MarshalToText(IUnknown* object, REFIID iid, std::string& text);
HRESULT UnmarshalFromText(const std::string& text, REFIID iid, void** object);

class RendererProcess
{
public:
    // Starts vxrendererstandin.exe (next to this program) on a page: a
    // snapshot's path, or "live:" and an address for the page live in
    // headless Chromium (through the live-page sidecar whose port is in
    // VXCR_LIVE_PORT). It reports `browserWindow` as its window in the
    // browser process; waits for its quick browser (a proxy in the
    // caller's apartment).
    static HRESULT Start(const std::wstring& page, ULONG browserWindow,
                         std::unique_ptr<RendererProcess>& process, Microsoft::WRL::ComPtr<IDispatch>& quickBrowser,
                         DWORD timeoutMs = 30000);
    ~RendererProcess(); // asks it to quit, kills it when it does not
    RendererProcess(const RendererProcess&) = delete;
    RendererProcess& operator=(const RendererProcess&) = delete;

    // Sends one command; `answer` is the line it answered ("ok ..." or
    // "error ..."). E_FAIL when the process ended, HRESULT_FROM_WIN32
    // (ERROR_TIMEOUT) when no answer came.
    HRESULT Command(const std::string& command, std::string& answer, DWORD timeoutMs = 10000);
    // Ends the process at once, as a crash would.
    void Kill();
    DWORD ProcessId() const { return processId_; }

private:
    RendererProcess() = default;
    bool NextLine(std::string& line, DWORD timeoutMs);
    void ReadLines();
    static DWORD WINAPI ReaderMain(void* self);

    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HANDLE input_ = nullptr;  // its standard input (our end)
    HANDLE output_ = nullptr; // its standard output (our end)
    HANDLE reader_ = nullptr; // a thread of its own, so that a blocked read can be cancelled
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::string> lines_;
    bool ended_ = false;
};

} // namespace harness
