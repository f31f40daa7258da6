/* Programs that own the clipboard, for the Wine end-to-end tests.
 *   clipowner hang READY SECONDS   takes the clipboard with its text to be
 *                                  rendered on request (delayed rendering),
 *                                  writes READY, then answers nothing at
 *                                  all, renders nothing, for SECONDS
 *   clipowner stall READY SECONDS  the same, but answers everything except
 *                                  the request to render, which it holds
 *                                  for SECONDS
 *   clipowner copy TEXT [MARKER VALUE]
 *                                  copies TEXT as a program does, with the
 *                                  registered format MARKER holding the
 *                                  32-bit VALUE when given, and ends
 * Exit code 0 on success, 1 when the clipboard could not be had, 2 on bad use.
 * Build: x86_64-w64-mingw32-gcc-posix -O2 -static -municode clipowner.c -luser32 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static volatile LONG hung;
static int stall;
static DWORD hangMs;

static LRESULT CALLBACK owner_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    /* Hung: whoever asks anything (even "are you there?") waits in vain.
     * Stalled: only whoever asks for the text does. */
    if (hung || (stall && message == WM_RENDERFORMAT)) {
        Sleep(hangMs);
        ExitProcess(0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static HWND make_window(void)
{
    WNDCLASSW window_class = { 0 };
    window_class.lpfnWndProc = owner_proc;
    window_class.lpszClassName = L"QuilletTestClipOwner";
    RegisterClassW(&window_class);
    return CreateWindowW(L"QuilletTestClipOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
}

static int open_clipboard(HWND window)
{
    int attempt;
    for (attempt = 0; attempt < 200; ++attempt) {
        if (OpenClipboard(window))
            return 1;
        Sleep(25);
    }
    return 0;
}

static HGLOBAL global_copy(const void *data, size_t size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    void *bytes = GlobalLock(memory);
    memcpy(bytes, data, size);
    GlobalUnlock(memory);
    return memory;
}

static int own(const wchar_t *ready, DWORD seconds)
{
    MSG msg;
    HWND window = make_window();
    FILE *file;
    if (!window || !open_clipboard(window))
        return 1;
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, NULL);
    hangMs = seconds * 1000;
    file = _wfopen(ready, L"w");
    if (file) {
        fputs("ready\n", file);
        fclose(file);
    }
    /* From here on a hung owner answers nothing, not even what the system
     * hands this thread while it closes the clipboard. */
    hung = !stall;
    CloseClipboard();
    if (hung)
        Sleep(hangMs);
    else
        while (GetMessageW(&msg, NULL, 0, 0) > 0)
            DispatchMessageW(&msg);
    return 0;
}

static int copy(const wchar_t *text, const wchar_t *marker, const wchar_t *value)
{
    HWND window = make_window();
    if (!window || !open_clipboard(window))
        return 1;
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, global_copy(text, (wcslen(text) + 1) * sizeof(wchar_t)));
    if (marker) {
        DWORD number = (DWORD)wcstoul(value, NULL, 10);
        SetClipboardData(RegisterClipboardFormatW(marker), global_copy(&number, sizeof(number)));
    }
    CloseClipboard();
    DestroyWindow(window);
    return 0;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc == 4 && (!wcscmp(argv[1], L"hang") || !wcscmp(argv[1], L"stall"))) {
        stall = !wcscmp(argv[1], L"stall");
        return own(argv[2], (DWORD)wcstoul(argv[3], NULL, 10));
    }
    if (argc == 3 && !wcscmp(argv[1], L"copy"))
        return copy(argv[2], NULL, NULL);
    if (argc == 5 && !wcscmp(argv[1], L"copy"))
        return copy(argv[2], argv[3], argv[4]);
    return 2;
}
