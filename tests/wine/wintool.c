/* A small Win32 helper for the Wine end-to-end tests. Wine programs have no
 * console here, so every answer goes to a file (UTF-8).
 *   wintool edittext CLASS OUT    text of the first Edit control of the top
 *                                 window of class CLASS (e.g. Notepad)
 *   wintool foreground OUT        class and title of the foreground window
 *   wintool visible TITLE OUT     "1" when a visible top window has TITLE
 *   wintool keylog CLASS TITLE OUT
 *                                 shows a window of the window class CLASS
 *                                 and appends a line to OUT for every key it
 *                                 gets ("down 16", "up 45 ext"), and
 *                                 "paste TEXT" with the clipboard's text when
 *                                 Insert comes with Shift held or V with Ctrl
 *                                 held; runs until the window is closed
 * Exit code 0 on success, 1 when the window was not found, 2 on bad use.
 * Build: x86_64-w64-mingw32-gcc-posix -O2 -static -municode wintool.c -luser32 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static int write_utf8(const wchar_t *path, const wchar_t *text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    char *bytes = malloc(size > 0 ? size : 1);
    FILE *file;
    if (!bytes)
        return 2;
    bytes[0] = 0;
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, size, NULL, NULL);
    file = _wfopen(path, L"wb");
    if (!file) {
        free(bytes);
        return 2;
    }
    fputs(bytes, file);
    fclose(file);
    free(bytes);
    return 0;
}

static int edit_text(const wchar_t *cls, const wchar_t *out)
{
    HWND top = FindWindowW(cls, NULL);
    HWND edit;
    LRESULT length;
    wchar_t *text;
    int result;
    if (!top)
        return 1;
    edit = FindWindowExW(top, NULL, L"Edit", NULL);
    if (!edit)
        return 1;
    /* Another process's edit text needs WM_GETTEXT; GetWindowText does not
     * reach it. */
    length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    text = calloc((size_t)length + 1, sizeof(wchar_t));
    if (!text)
        return 2;
    SendMessageW(edit, WM_GETTEXT, (WPARAM)length + 1, (LPARAM)text);
    result = write_utf8(out, text);
    free(text);
    return result;
}

static int foreground(const wchar_t *out)
{
    wchar_t cls[256] = L"", title[512] = L"", line[800];
    HWND window = GetForegroundWindow();
    if (window) {
        GetClassNameW(window, cls, 256);
        GetWindowTextW(window, title, 512);
    }
    _snwprintf(line, 800, L"%ls\n%ls\n", cls, title);
    line[799] = 0;
    return write_utf8(out, line);
}

static int visible(const wchar_t *title, const wchar_t *out)
{
    HWND window = FindWindowW(NULL, title);
    int shown = window && IsWindowVisible(window);
    int result = write_utf8(out, shown ? L"1\n" : L"0\n");
    return result ? result : (window ? 0 : 1);
}

static FILE *key_log;

static void log_clipboard(void)
{
    HANDLE data;
    const wchar_t *text;
    int size;
    char *bytes;
    /* One attempt, as a terminal makes it: the clipboard must be free when
     * the paste's keys arrive. */
    if (!OpenClipboard(NULL)) {
        fprintf(key_log, "paste failed: the clipboard is open\n");
        return;
    }
    data = GetClipboardData(CF_UNICODETEXT);
    text = data ? GlobalLock(data) : NULL;
    if (text) {
        size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
        bytes = malloc(size > 0 ? size : 1);
        if (bytes && size > 0) {
            WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, size, NULL, NULL);
            fprintf(key_log, "paste %s\n", bytes);
        }
        free(bytes);
        GlobalUnlock(data);
    }
    CloseClipboard();
}

static LRESULT CALLBACK key_log_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    int down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    if (down || message == WM_KEYUP || message == WM_SYSKEYUP) {
        fprintf(key_log, "%s %u%s\n", down ? "down" : "up", (unsigned)wparam,
            (lparam & (1L << 24)) ? " ext" : "");
        if (down
            && ((wparam == VK_INSERT && GetKeyState(VK_SHIFT) < 0)
                || (wparam == 'V' && GetKeyState(VK_CONTROL) < 0)))
            log_clipboard();
        fflush(key_log);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

static int key_log_window(const wchar_t *cls, const wchar_t *title, const wchar_t *out)
{
    WNDCLASSW wc = { 0 };
    HWND window;
    MSG msg;
    key_log = _wfopen(out, L"ab");
    if (!key_log)
        return 2;
    wc.lpfnWndProc = key_log_proc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = cls;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    if (!RegisterClassW(&wc))
        return 2;
    window = CreateWindowExW(
        0, cls, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 200, NULL, NULL, wc.hInstance, NULL);
    if (!window)
        return 2;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    fclose(key_log);
    return 0;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc == 4 && !wcscmp(argv[1], L"edittext"))
        return edit_text(argv[2], argv[3]);
    if (argc == 3 && !wcscmp(argv[1], L"foreground"))
        return foreground(argv[2]);
    if (argc == 4 && !wcscmp(argv[1], L"visible"))
        return visible(argv[2], argv[3]);
    if (argc == 5 && !wcscmp(argv[1], L"keylog"))
        return key_log_window(argv[2], argv[3], argv[4]);
    return 2;
}
