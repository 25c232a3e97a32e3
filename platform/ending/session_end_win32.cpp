// SPDX-License-Identifier: Apache-2.0
#include "platform/ending/session_end.h"

#include "platform/text/wide_text_win32.h"

#include <future>
#include <thread>

#include <windows.h>

TSessionEndHold::TSessionEndHold(void *window)
{
    if (window != nullptr &&
        ShutdownBlockReasonCreate(static_cast<HWND>(window), WideFromUtf8(SessionEndReason).c_str()))
        FWindow = window;
}

TSessionEndHold::~TSessionEndHold()
{
    if (FWindow != nullptr)
        ShutdownBlockReasonDestroy(static_cast<HWND>(FWindow));
}

namespace {

const wchar_t WindowClass[] = L"MeterReadoutSessionEnd";
// Asks the window to go; WM_CLOSE could come from anyone.
constexpr UINT EndWatchMessage = WM_APP + 1;

} // namespace

struct TSessionEndWatch::TState {
    std::function<void()> EndRun;
    HWND Window = nullptr;
    std::thread Thread;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            const auto *creation = reinterpret_cast<const CREATESTRUCTW *>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        }
        auto *state = reinterpret_cast<TState *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_QUERYENDSESSION:
            return TRUE;  // the run ends in order when WM_ENDSESSION comes
        case WM_ENDSESSION:
            // The process ends as soon as this returns.
            if (wParam && state != nullptr) {
                const TSessionEndHold hold(window);
                state->EndRun();
            }
            return 0;
        case EndWatchMessage:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    void Run(std::promise<HWND> &made)
    {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = WindowClass;
        RegisterClassExW(&windowClass);  // fails harmlessly when a watch before has registered it
        // Top-level (no parent, not HWND_MESSAGE): only those hear of the
        // session's end. Never shown.
        const HWND window = CreateWindowExW(0, WindowClass, L"meter-readout", WS_OVERLAPPED, CW_USEDEFAULT,
                                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                            windowClass.hInstance, this);
        made.set_value(window);
        if (window == nullptr)
            return;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
};

TSessionEndWatch::TSessionEndWatch(std::function<void()> endRun) : F(std::make_unique<TState>())
{
    F->EndRun = std::move(endRun);
    std::promise<HWND> made;
    std::future<HWND> window = made.get_future();
    F->Thread = std::thread([state = F.get(), &made] { state->Run(made); });
    F->Window = window.get();
}

TSessionEndWatch::~TSessionEndWatch()
{
    if (F->Window != nullptr)
        PostMessageW(F->Window, EndWatchMessage, 0, 0);
    F->Thread.join();
}

void *TSessionEndWatch::Window() const
{
    return F->Window;
}
