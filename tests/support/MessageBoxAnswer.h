// While it lives, every message box of this thread is answered at once with
// the given button; "caption: text" of each is kept, in order.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace sonvera_test
{
class CMessageBoxAnswer {
public:
    explicit CMessageBoxAnswer(int answer = IDOK) : m_answer(answer)
    {
        s_current = this;
        m_hook = SetWindowsHookExA(WH_CBT, &CMessageBoxAnswer::Hook, nullptr, GetCurrentThreadId());
    }
    ~CMessageBoxAnswer()
    {
        UnhookWindowsHookEx(m_hook);
        s_current = nullptr;
    }
    CMessageBoxAnswer(const CMessageBoxAnswer&) = delete;
    CMessageBoxAnswer& operator=(const CMessageBoxAnswer&) = delete;

    std::vector<std::string> m_boxes;

private:
    static inline CMessageBoxAnswer* s_current = nullptr;

    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_ACTIVATE && s_current != nullptr) {
            HWND box = reinterpret_cast<HWND>(wParam);
            // A message box's text sits in a static of one of these identifiers
            // (the system's and Wine's); the dialogs under test have neither.
            for (int textId : {0xFFFF, 100}) {
                if (GetDlgItem(box, textId) != nullptr && s_current->m_answered.insert(box).second) {
                    char caption[256] = {}, text[1024] = {};
                    GetWindowTextA(box, caption, sizeof caption);
                    GetDlgItemTextA(box, textId, text, sizeof text);
                    s_current->m_boxes.push_back(std::string(caption) + ": " + text);
                    PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(s_current->m_answer), 0);
                    break;
                }
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    int m_answer;
    std::set<HWND> m_answered;   // a box may be activated more than once
    HHOOK m_hook = nullptr;
};

} // namespace sonvera_test
