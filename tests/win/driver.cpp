// Test driver for kavo-win.exe, run under Wine (or on Windows). It starts the interpreter in a
// folder, attaches to the console window the interpreter opens and reads its screen, types
// keys into it, finds the interpreter's message boxes, reads them and presses OK, and reports
// the exit code.
//
//   kavo-win-driver run <exe> <folder> <report> [--args TEXT] [--keys TEXT] [--wait-for TEXT]
//                       [--timeout MS]
//   kavo-win-driver golden <exe> <work-folder> <report> [--skips FILE] <case.kavo>...
//
// `run` writes one report: "exit=N", "console=0|1", "elapsed_ms=N", "beeps=N", "backspaces=N"
// (written), "unread_keys=N" (typed but left unread), "box.caption=...", "box.text=..." (line
// breaks written as \n) and one "screen=..." line per screen row.
// `golden` runs golden cases (the directive format of tests/golden, with kavo-win's "% windows"
// section) and writes one line per case, "PASS name", "FAIL name: why" or "SKIP name: kind: why";
// only the cases of the skip list are skipped, each for the reason it gives there.
//
// The interpreter is started as a debuggee, with a breakpoint on its ExitProcess: a program
// that writes and ends at once would otherwise take its console with it before anyone could
// read it. At the breakpoint the process is whole, so the driver attaches to its console,
// reads the screen and the exit code (the first argument), then lets it end.
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// ---- small helpers ----------------------------------------------------------------------------

std::string read_file(std::string const& path, bool* ok = nullptr) {
    std::string data;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ok) *ok = f != INVALID_HANDLE_VALUE;
    if (f == INVALID_HANDLE_VALUE) return data;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n) data.append(buf, n);
    CloseHandle(f);
    return data;
}

bool write_file(std::string const& path, std::string const& data) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = WriteFile(f, data.data(), (DWORD)data.size(), &n, nullptr) && n == data.size();
    CloseHandle(f);
    return ok;
}

void make_folders(std::string const& path) {  // every folder on the way to `path`
    for (size_t i = 0; i < path.size(); i++)
        if ((path[i] == '\\' || path[i] == '/') && i > 2) CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

// Line breaks and backslashes written visibly, so a report line holds a whole text.
std::string visible(std::string const& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

// The escapes of the golden format: \r \n \t \b \\ \xHH.
std::string unescape(std::string const& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        char e = text[++i];
        if (e == 'r')
            out += '\r';
        else if (e == 'n')
            out += '\n';
        else if (e == 't')
            out += '\t';
        else if (e == 'b')
            out += '\b';
        else if (e == '\\')
            out += '\\';
        else if (e == 'x' && i + 2 < text.size()) {
            auto hex = [](char h) {
                return h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h - 'A' + 10;
            };
            out += (char)(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += '\\';
            out += e;
        }
    }
    return out;
}

bool starts_with(std::string const& s, std::string const& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// ---- one run of the interpreter ----------------------------------------------------------------

struct Box {
    std::string caption, text;
};

struct RunOptions {
    std::string exe, folder, args, keys, wait_for;
    DWORD timeout_ms = 15000;
};

struct RunResult {
    bool started = false, timed_out = false, console = false;
    DWORD exit_code = 0, attach_error = 0;  // the last failed AttachConsole's error
    DWORD elapsed_ms = 0;
    bool counting = false;  // beeps and backspaces are counted
    int beeps = 0, backspaces = 0, unread_keys = 0;
    int width = 0, height = 0;
    std::vector<std::string> screen;  // rows, trailing blanks cut, down to the last used row
    std::vector<Box> boxes;
    std::string command, note;
};

class Session {
   public:
    Session(RunOptions const& o) : opt(o) {}
    RunResult run();

   private:
    RunOptions const& opt;
    RunResult result;
    PROCESS_INFORMATION pi{};
    std::map<DWORD, HANDLE> threads;
    void* image = nullptr;
    uintptr_t exit_address = 0, beep_address = 0, write_address = 0;
    BYTE saved = 0, write_saved = 0;
    bool rearm_write = false;
    bool loader_break_seen = false;
    bool attached = false, typed = false;
    HANDLE conout = INVALID_HANDLE_VALUE, conin = INVALID_HANDLE_VALUE;
    std::set<HWND> handled;

    bool read(uintptr_t at, void* dst, size_t n) {
        SIZE_T got = 0;
        return ReadProcessMemory(pi.hProcess, (void*)at, dst, n, &got) && got == n;
    }
    std::string read_name(uintptr_t at) {
        std::string s;
        char c;
        while (s.size() < 256 && read(at + s.size(), &c, 1) && c) s += c;
        return s;
    }
    uintptr_t find_import(char const* dll, char const* name);
    bool trap(uintptr_t at, BYTE* saved_byte);
    void untrap(uintptr_t at, BYTE saved_byte, CONTEXT& ctx);
    CONTEXT stopped_thread(DEBUG_EVENT const& ev);
    void resume_thread(DEBUG_EVENT const& ev, CONTEXT const& ctx);
    void set_breakpoint();
    void at_beep(DEBUG_EVENT const& ev);
    void at_write(DEBUG_EVENT const& ev);
    void at_exit_breakpoint(DEBUG_EVENT const& ev);
    bool attach();
    void snapshot();
    void poll_boxes();
    void type_keys();
    void detach();
};

// Where an import of the interpreter points, from its own import table.
uintptr_t Session::find_import(char const* dll, char const* name) {
    uintptr_t base = (uintptr_t)image;
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS64 nt;
    if (!read(base, &dos, sizeof dos) || !read(base + dos.e_lfanew, &nt, sizeof nt)) return 0;
    auto dir = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (uintptr_t at = base + dir.VirtualAddress;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR d;
        if (!read(at, &d, sizeof d) || d.Name == 0) return 0;
        if (lstrcmpiA(read_name(base + d.Name).c_str(), dll) != 0) continue;
        for (int i = 0;; i++) {
            ULONGLONG entry = 0, address = 0;
            if (!read(base + d.OriginalFirstThunk + i * 8, &entry, 8) || entry == 0) break;
            if (entry & IMAGE_ORDINAL_FLAG64) continue;
            if (read_name(base + (uintptr_t)entry + 2) != name) continue;
            if (!read(base + d.FirstThunk + i * 8, &address, 8)) return 0;
            return (uintptr_t)address;
        }
    }
}

bool Session::trap(uintptr_t at, BYTE* saved_byte) {
    BYTE int3 = 0xCC;
    SIZE_T n = 0;
    if (!at || !read(at, saved_byte, 1) || !WriteProcessMemory(pi.hProcess, (void*)at, &int3, 1, &n))
        return false;
    FlushInstructionCache(pi.hProcess, (void*)at, 1);
    return true;
}

// Puts the original first byte back at a trap and sends the stopped thread to run it.
void Session::untrap(uintptr_t at, BYTE saved_byte, CONTEXT& ctx) {
    SIZE_T n = 0;
    WriteProcessMemory(pi.hProcess, (void*)at, &saved_byte, 1, &n);
    FlushInstructionCache(pi.hProcess, (void*)at, 1);
    ctx.Rip = at;
}

// The registers of the thread stopped at a trap, and setting them back.
CONTEXT Session::stopped_thread(DEBUG_EVENT const& ev) {
    CONTEXT ctx{};
    ctx.ContextFlags = CONTEXT_FULL;
    GetThreadContext(threads[ev.dwThreadId], &ctx);
    return ctx;
}

void Session::resume_thread(DEBUG_EVENT const& ev, CONTEXT const& ctx) {
    SetThreadContext(threads[ev.dwThreadId], &ctx);
}

// ExitProcess stops once, for the last look at the console; MessageBeep stops at every call
// and is answered here, so the beeps of the trace dialogue are counted rather than heard;
// WriteConsoleA stops at every call to have its backspaces counted, which the screen hides.
void Session::set_breakpoint() {
    exit_address = find_import("KERNEL32.dll", "ExitProcess");
    if (!trap(exit_address, &saved)) {
        result.note += "no exit breakpoint; ";
        exit_address = 0;
    }
    BYTE ignored;
    beep_address = find_import("USER32.dll", "MessageBeep");
    if (!trap(beep_address, &ignored)) beep_address = 0;
    write_address = find_import("KERNEL32.dll", "WriteConsoleA");
    if (!trap(write_address, &write_saved)) write_address = 0;
    result.counting = beep_address && write_address;
}

// Returns from MessageBeep at once with TRUE, as the function itself would after the sound.
void Session::at_beep(DEBUG_EVENT const& ev) {
    CONTEXT ctx = stopped_thread(ev);
    DWORD64 back = 0;
    read(ctx.Rsp, &back, sizeof back);
    ctx.Rip = back;
    ctx.Rsp += 8;
    ctx.Rax = TRUE;
    resume_thread(ev, ctx);
    result.beeps++;
}

// Counts the backspaces of one write, then lets the write run by one step with the original
// first byte and puts the trap back after it.
void Session::at_write(DEBUG_EVENT const& ev) {
    CONTEXT ctx = stopped_thread(ev);
    std::string bytes(ctx.R8 < (1u << 20) ? (size_t)ctx.R8 : 0, 0);
    if (!bytes.empty()) read(ctx.Rdx, &bytes[0], bytes.size());
    for (char ch : bytes) result.backspaces += ch == '\b';
    untrap(write_address, write_saved, ctx);
    ctx.EFlags |= 0x100;  // the trap flag: one instruction, then EXCEPTION_SINGLE_STEP
    resume_thread(ev, ctx);
    rearm_write = true;
}

void Session::at_exit_breakpoint(DEBUG_EVENT const& ev) {
    CONTEXT ctx = stopped_thread(ev);
    untrap(exit_address, saved, ctx);
    resume_thread(ev, ctx);
    exit_address = 0;
    if (!attach()) return;
    snapshot();
    // Keys typed but never read mean the case typed more than the program asked for.
    INPUT_RECORD queued[256];
    DWORD queued_n = 0;
    if (typed && PeekConsoleInputA(conin, queued, 256, &queued_n))
        for (DWORD i = 0; i < queued_n; i++)
            result.unread_keys += queued[i].EventType == KEY_EVENT && queued[i].Event.KeyEvent.bKeyDown;
}

bool Session::attach() {
    if (attached) return true;
    if (!AttachConsole(pi.dwProcessId)) {
        result.attach_error = GetLastError();
        return false;
    }
    attached = result.console = true;
    conout = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
    conin = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
    return true;
}

void Session::snapshot() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (conout == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(conout, &info)) {
        result.note += "screen unreadable; ";
        return;
    }
    int w = info.dwSize.X, h = info.dwSize.Y;
    std::string cells((size_t)w * h, ' ');
    DWORD got = 0;
    ReadConsoleOutputCharacterA(conout, &cells[0], (DWORD)cells.size(), COORD{0, 0}, &got);
    result.width = w;
    result.height = h;
    result.screen.clear();
    int last = info.dwCursorPosition.X > 0 ? info.dwCursorPosition.Y : info.dwCursorPosition.Y - 1;
    for (int y = 0; y < h; y++) {
        std::string row = cells.substr((size_t)y * w, w);
        while (!row.empty() && (row.back() == ' ' || row.back() == 0)) row.pop_back();
        if (!row.empty() && y > last) last = y;
        result.screen.push_back(row);
    }
    result.screen.resize(last + 1 > 0 ? last + 1 : 0);
}

BOOL CALLBACK collect_window(HWND hwnd, LPARAM param) {
    ((std::vector<HWND>*)param)->push_back(hwnd);
    return TRUE;
}

void Session::poll_boxes() {
    std::vector<HWND> windows;
    EnumWindows(collect_window, (LPARAM)&windows);
    for (HWND hwnd : windows) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        char cls[64] = "";
        GetClassNameA(hwnd, cls, sizeof cls);
        if (pid != pi.dwProcessId || lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(hwnd) ||
            handled.count(hwnd))
            continue;
        Box box;
        char text[2048] = "";
        GetWindowTextA(hwnd, text, sizeof text);
        box.caption = text;
        // The message is the box's one static control with text (the other holds the icon).
        std::vector<HWND> children;
        EnumChildWindows(hwnd, collect_window, (LPARAM)&children);
        for (HWND child : children) {
            GetClassNameA(child, cls, sizeof cls);
            if (lstrcmpiA(cls, "Static") != 0) continue;
            text[0] = 0;
            GetWindowTextA(child, text, sizeof text);
            if (lstrlenA(text) > (int)box.text.size()) box.text = text;
        }
        result.boxes.push_back(box);
        handled.insert(hwnd);
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(hwnd, IDOK));
    }
}

// Keys go in once the console shows the awaited text (or at once when none is awaited).
void Session::type_keys() {
    if (typed || opt.keys.empty() || !attach()) return;
    if (!opt.wait_for.empty()) {
        snapshot();
        bool seen = false;
        for (auto& row : result.screen)
            if (row.find(opt.wait_for) != std::string::npos) seen = true;
        if (!seen) return;
    }
    Sleep(100);  // let the program reach its read
    std::vector<INPUT_RECORD> records;
    for (char c : opt.keys) {
        INPUT_RECORD r{};
        r.EventType = KEY_EVENT;
        r.Event.KeyEvent.wRepeatCount = 1;
        r.Event.KeyEvent.uChar.AsciiChar = c;
        r.Event.KeyEvent.wVirtualKeyCode = c == '\r' ? VK_RETURN : LOBYTE(VkKeyScanA(c));
        r.Event.KeyEvent.bKeyDown = TRUE;
        records.push_back(r);
        r.Event.KeyEvent.bKeyDown = FALSE;
        records.push_back(r);
    }
    DWORD n = 0;
    if (!WriteConsoleInputA(conin, records.data(), (DWORD)records.size(), &n))
        result.note += "typing failed; ";
    typed = true;
}

void Session::detach() {
    if (!attached) return;
    if (conout != INVALID_HANDLE_VALUE) CloseHandle(conout);
    if (conin != INVALID_HANDLE_VALUE) CloseHandle(conin);
    conout = conin = INVALID_HANDLE_VALUE;
    FreeConsole();
    attached = false;
}

RunResult Session::run() {
    std::string command = "\"" + opt.exe + "\"";
    if (!opt.args.empty()) command += " " + opt.args;
    result.command = command;
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    DWORD start = GetTickCount();
    if (!CreateProcessA(opt.exe.c_str(), line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, opt.folder.c_str(), &si, &pi)) {
        result.note += "cannot start (error " + std::to_string(GetLastError()) + "); ";
        return result;
    }
    result.started = true;
    bool done = false;
    while (!done) {
        DEBUG_EVENT ev;
        if (WaitForDebugEvent(&ev, 10)) {
            DWORD answer = DBG_CONTINUE;
            switch (ev.dwDebugEventCode) {
                case CREATE_PROCESS_DEBUG_EVENT:
                    image = ev.u.CreateProcessInfo.lpBaseOfImage;
                    threads[ev.dwThreadId] = ev.u.CreateProcessInfo.hThread;
                    if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
                    break;
                case CREATE_THREAD_DEBUG_EVENT:
                    threads[ev.dwThreadId] = ev.u.CreateThread.hThread;
                    break;
                case EXIT_THREAD_DEBUG_EVENT:
                    threads.erase(ev.dwThreadId);
                    break;
                case LOAD_DLL_DEBUG_EVENT:
                    if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
                    break;
                case EXCEPTION_DEBUG_EVENT: {
                    auto& rec = ev.u.Exception.ExceptionRecord;
                    if (rec.ExceptionCode == EXCEPTION_BREAKPOINT && !loader_break_seen) {
                        loader_break_seen = true;  // the loader's own: imports are bound now
                        set_breakpoint();
                    } else if (rec.ExceptionCode == EXCEPTION_BREAKPOINT && exit_address &&
                               (uintptr_t)rec.ExceptionAddress == exit_address) {
                        at_exit_breakpoint(ev);
                    } else if (rec.ExceptionCode == EXCEPTION_BREAKPOINT && beep_address &&
                               (uintptr_t)rec.ExceptionAddress == beep_address) {
                        at_beep(ev);
                    } else if (rec.ExceptionCode == EXCEPTION_BREAKPOINT && write_address &&
                               (uintptr_t)rec.ExceptionAddress == write_address) {
                        at_write(ev);
                    } else if (rec.ExceptionCode == EXCEPTION_SINGLE_STEP && rearm_write) {
                        rearm_write = false;
                        BYTE ignored;
                        trap(write_address, &ignored);
                    } else {
                        answer = DBG_EXCEPTION_NOT_HANDLED;
                    }
                    break;
                }
                case EXIT_PROCESS_DEBUG_EVENT:
                    result.exit_code = ev.u.ExitProcess.dwExitCode;
                    done = true;
                    break;
            }
            ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, answer);
            continue;
        }
        poll_boxes();
        if (!attached) attach();
        type_keys();
        if (GetTickCount() - start > opt.timeout_ms) {
            result.timed_out = true;
            result.note += "timed out; ";
            if (attached) snapshot();
            TerminateProcess(pi.hProcess, 999);
        }
    }
    result.elapsed_ms = GetTickCount() - start;
    if (!loader_break_seen) result.note += "no loader breakpoint; ";
    detach();
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return result;
}

std::string report(RunResult const& r) {
    std::string out;
    out += "exit=" + std::to_string(r.exit_code) + "\n";
    out += "console=" + std::string(r.console ? "1" : "0") + "\n";
    out += "elapsed_ms=" + std::to_string(r.elapsed_ms) + "\n";
    out += "beeps=" + std::to_string(r.beeps) + "\n";
    out += "backspaces=" + std::to_string(r.backspaces) + "\n";
    out += "unread_keys=" + std::to_string(r.unread_keys) + "\n";
    out += "command=" + r.command + "\n";
    out += "size=" + std::to_string(r.width) + "x" + std::to_string(r.height) + "\n";
    if (!r.note.empty()) out += "note=" + r.note + "\n";
    for (auto& b : r.boxes) {
        out += "box.caption=" + visible(b.caption) + "\n";
        out += "box.text=" + visible(b.text) + "\n";
    }
    for (auto& row : r.screen) out += "screen=" + row + "\n";
    return out;
}

// ---- golden cases -------------------------------------------------------------------------------

struct Case {
    std::string out, in;
    std::vector<std::string> errs;
    int exit = 0;
    bool linux_only = false, no_main = false;
    std::vector<std::pair<std::string, std::string>> files;  // name, text; main.kavo first
};

// The "% windows" section replaces, kind by kind, what the case expects of the Linux
// interpreter: its input (typed as keys here, "\r" being Enter), output, exit code and errors.
Case parse_case(std::string const& source) {
    Case c, win;
    bool windows = false, win_out = false, win_in = false, win_exit = false, win_errs = false;
    c.files.push_back({"main.kavo", ""});
    size_t at = 0;
    auto* current = &c.files[0].second;
    while (at < source.size()) {
        size_t end = source.find('\n', at);
        std::string line = source.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
        at = end == std::string::npos ? source.size() : end + 1;
        std::string bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.pop_back();
        if (starts_with(bare, "% file: ")) {
            c.files.push_back({bare.substr(8), ""});
            current = &c.files.back().second;
            continue;
        }
        Case& into = windows ? win : c;
        if (starts_with(bare, "% out:"))
            into.out += unescape(bare.substr(bare.size() > 6 ? 7 : 6)), win_out |= windows;
        else if (starts_with(bare, "% in:"))
            into.in += unescape(bare.substr(bare.size() > 5 ? 6 : 5)), win_in |= windows;
        else if (starts_with(bare, "% err: "))
            into.errs.push_back(unescape(bare.substr(7))), win_errs |= windows;
        else if (starts_with(bare, "% exit: "))
            into.exit = atoi(bare.substr(8).c_str()), win_exit |= windows;
        else if (bare == "% no-main-file")
            c.no_main = true;
        else if (starts_with(bare, "% platform: linux"))
            c.linux_only = true;
        else if (bare == "% windows")
            windows = true;
        *current += line;
    }
    if (win_out) c.out = win.out;
    if (win_in) c.in = win.in;
    if (win_exit) c.exit = win.exit;
    if (win_errs) c.errs = win.errs;
    return c;
}

// The screen a console of w x h shows after `text` is written to it: CR to the line start,
// LF to the next line's start, tabs to the next multiple of 8, backspace one column back,
// wrapping at the right edge and scrolling at the bottom.
std::vector<std::string> render(std::string const& text, int w, int h) {
    std::vector<std::string> rows(h, std::string(w, ' '));
    int x = 0, y = 0, last = -1;
    auto newline = [&] {
        x = 0;
        if (++y == h) {
            rows.erase(rows.begin());
            rows.push_back(std::string(w, ' '));
            y = h - 1;
            last--;
        }
    };
    for (char c : text) {
        if (c == '\r') {
            x = 0;
        } else if (c == '\n') {
            newline();
        } else if (c == '\b') {
            if (x > 0) x--;
        } else if (c == '\a') {
        } else if (c == '\t') {
            do {
                rows[y][x] = ' ';
                if (++x == w) newline();
            } while (x % 8);
        } else {
            rows[y][x] = c;
            if (y > last) last = y;
            if (++x == w) newline();
        }
    }
    if (x > 0 && y > last) last = y;
    for (auto& row : rows)
        while (!row.empty() && row.back() == ' ') row.pop_back();
    int used = last + 1;
    for (int i = 0; i < h; i++)
        if (!rows[i].empty() && i >= used) used = i + 1;
    rows.resize(used > 0 ? used : 0);
    return rows;
}

// Does `text` fill in `templ` (%s any text, %i an integer)?
bool fills(std::string const& templ, std::string const& text, size_t t = 0, size_t s = 0) {
    while (t < templ.size()) {
        if (templ[t] == '%' && t + 1 < templ.size() && templ[t + 1] == 's') {
            for (size_t k = s; k <= text.size(); k++)
                if (fills(templ, text, t + 2, k)) return true;
            return false;
        }
        if (templ[t] == '%' && t + 1 < templ.size() && templ[t + 1] == 'i') {
            size_t k = s;
            if (k < text.size() && text[k] == '-') k++;
            size_t digits = k;
            while (k < text.size() && text[k] >= '0' && text[k] <= '9') k++;
            if (k == digits) return false;
            t += 2, s = k;
            continue;
        }
        if (s >= text.size() || text[s] != templ[t]) return false;
        t++, s++;
    }
    return s == text.size();
}

std::string templates_of(std::string const& exe, int code) {
    static HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    char buf[256] = "";
    if (!module || LoadStringA(module, code, buf, sizeof buf) <= 0) return "";
    return buf;
}

// A case passes when the screen shows its output, its message boxes say what the Linux form
// printed, and the exit code agrees. Returns "" on a pass, else why not.
std::string check_case(std::string const& exe, Case const& c, RunResult const& r) {
    std::string out = c.out, why;
    std::string expect_caption, expect_text, expect_suffix;
    int code = 0;
    bool warning = false;
    static std::string const FATAL = "[ [ kavo ] error ] ", WARNING = "[ KAVO: Run WARNING ] ";
    if (starts_with(out, WARNING) && c.exit == 0) {
        warning = true;
        expect_caption = "KAVO: Run WARNING";
        expect_text = out.substr(WARNING.size());
        if (!expect_text.empty() && expect_text.back() == '\n') expect_text.pop_back();
        out.clear();
    }
    size_t fatal = out.rfind(FATAL);
    if (c.exit == 1 && fatal != std::string::npos) {
        std::string tail = out.substr(fatal + FATAL.size());
        out.erase(fatal);
        expect_caption = "[ kavo ] error";
        size_t eol = tail.find('\n');
        std::string first = tail.substr(0, eol);
        std::string rest = eol == std::string::npos ? "" : tail.substr(eol + 1);
        if (starts_with(first, "Error Code: ")) {
            code = atoi(first.c_str() + 12);
            if (!rest.empty() && rest.back() == '\n') rest.pop_back();
            if (!rest.empty()) expect_suffix = "\n" + rest;  // "File: ...\nLine: ..."
        } else {
            expect_text = first;
        }
    } else if (c.exit == 1) {
        return "exit 1 without an error line";
    }
    if (r.timed_out) return "timed out";
    // A beep is no output, so a case spells it as byte 7 where it is heard. A backspace at the
    // start of a row leaves no trace on the screen, so they are counted as written.
    int beeps = 0, backspaces = 0;
    for (char ch : c.out) beeps += ch == '\a', backspaces += ch == '\b';
    if (!r.counting) why += "beeps and backspaces cannot be counted (" + r.note + "); ";
    if (r.beeps != beeps)
        why += std::to_string(r.beeps) + " beeps instead of " + std::to_string(beeps) + "; ";
    if (r.backspaces != backspaces)
        why += std::to_string(r.backspaces) + " backspaces instead of " + std::to_string(backspaces) + "; ";
    if (r.unread_keys) why += std::to_string(r.unread_keys) + " keys typed but never read; ";
    if ((int)r.exit_code != c.exit)
        why += "exit " + std::to_string(r.exit_code) + " instead of " + std::to_string(c.exit) + "; ";
    // Boxes.
    if (expect_caption.empty()) {
        if (!r.boxes.empty()) why += "unexpected box \"" + visible(r.boxes[0].text) + "\"; ";
    } else if (r.boxes.size() != 1) {
        why += std::to_string(r.boxes.size()) + " boxes instead of 1; ";
    } else {
        Box const& b = r.boxes[0];
        if (b.caption != expect_caption) why += "box caption \"" + b.caption + "\"; ";
        if (code) {
            std::string templ = templates_of(exe, code);
            std::string body = b.text;
            if (!expect_suffix.empty()) {
                if (body.size() < expect_suffix.size() ||
                    body.compare(body.size() - expect_suffix.size(), std::string::npos, expect_suffix) != 0)
                    why += "box lacks \"" + visible(expect_suffix) + "\"; ";
                else
                    body.erase(body.size() - expect_suffix.size());
            }
            if (templ.empty() || !fills(templ, body))
                why += "box \"" + visible(b.text) + "\" is not error " + std::to_string(code) + "; ";
            for (auto err : c.errs) {
                // Linux's standard error says "kavo: error: MSG" or "FILE:LINE: error: MSG".
                while (!err.empty() && err.back() == '\n') err.pop_back();
                if (starts_with(err, "kavo: error: ")) err = err.substr(13);
                size_t e = err.find(": error: ");
                if (e != std::string::npos) err = err.substr(e + 9);
                if (b.text.find(err) == std::string::npos)
                    why += "box lacks \"" + visible(err) + "\"; ";
            }
        } else if (b.text != expect_text) {
            why += "box text \"" + visible(b.text) + "\" instead of \"" + visible(expect_text) + "\"; ";
        }
    }
    // Screen.
    if (out.empty()) {
        if (r.console && !warning) {
            for (auto& row : r.screen)
                if (!row.empty()) {
                    why += "screen shows \"" + row + "\" but nothing was written; ";
                    break;
                }
        }
    } else if (!r.console) {
        why += "no console window (" + r.note + "last attach error " + std::to_string(r.attach_error) + "); ";
    } else {
        auto want = render(out, r.width, r.height);
        size_t n = want.size() > r.screen.size() ? want.size() : r.screen.size();
        for (size_t i = 0; i < n; i++) {
            std::string a = i < r.screen.size() ? r.screen[i] : "", e = i < want.size() ? want[i] : "";
            if (a != e) {
                why += "row " + std::to_string(i + 1) + " shows \"" + a + "\" instead of \"" + e + "\"; ";
                break;
            }
        }
    }
    return why;
}

// "group/name.kavo", the name the skip list and the report use.
std::string case_name(std::string const& path) {
    size_t slash = path.find_last_of("/\\");
    size_t before = slash == std::string::npos || slash == 0 ? slash : path.find_last_of("/\\", slash - 1);
    std::string name = path.substr(before == std::string::npos ? 0 : before + 1);
    for (char& ch : name)
        if (ch == '\\') ch = '/';
    return name;
}

// The skip list: "KIND CASE WHY" a line, "#" comments. A kind is a claim the driver checks.
struct Skip {
    std::string kind, why;
};

std::map<std::string, Skip> read_skips(std::string const& path) {
    std::map<std::string, Skip> skips;
    std::string text = read_file(path) + "\n";
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = text.substr(at, end - at), words[2];
        size_t p = 0;
        for (auto& word : words) {  // the kind, then the case; the rest is why
            p = line.find_first_not_of(" \t\r", p);
            size_t stop = p == std::string::npos ? p : line.find_first_of(" \t\r", p);
            if (p != std::string::npos) word = line.substr(p, stop - p);
            p = stop;
        }
        if (words[1].empty() || words[0][0] == '#') continue;
        p = line.find_first_not_of(" \t\r", p);
        size_t last = line.find_last_not_of(" \t\r");
        skips[words[1]] = {words[0], p == std::string::npos ? "" : line.substr(p, last + 1 - p)};
    }
    return skips;
}

// Why a case's place in the skip list (or outside it) is wrong; "" when it is right.
std::string misplaced(Skip const* skip, Case const& c, bool too_long) {
    if (!skip && c.linux_only) return "marked \"% platform: linux\", but the skip list gives no reason";
    if (!skip && too_long) return "a path longer than MAX_PATH, but the skip list gives no reason";
    if (!skip && c.exit != 0 && c.exit != 1 && c.exit != 3)
        return "kavo-win never ends with exit code " + std::to_string(c.exit);
    if (!skip) return "";
    if (!c.in.empty()) return "reads input: its keys and screen belong in a \"% windows\" section";
    if (skip->kind == "linux-only") return c.linux_only ? "" : "listed as linux-only, but not marked so";
    if (skip->kind == "past-MAX_PATH") return too_long ? "" : "listed as past-MAX_PATH, but its paths fit";
    return "the skip list gives the unknown reason " + skip->kind;
}

int run_golden(std::string const& exe, std::string const& work, std::string const& report_path,
               std::map<std::string, Skip> const& skips, std::vector<std::string> const& cases) {
    std::string out;
    int n = 0;
    for (auto& path : cases) {
        std::string name = case_name(path);
        bool ok = false;
        Case c = parse_case(read_file(path, &ok));
        if (!ok) {
            out += "FAIL " + name + ": cannot read the case\n";
            continue;
        }
        std::string folder = work + "\\case" + std::to_string(n + 1);
        // The ANSI file functions open no path longer than MAX_PATH; such a case cannot
        // be set up here, whatever the interpreter does.
        bool too_long = false;
        for (auto& f : c.files)
            if (folder.size() + 1 + f.first.size() >= MAX_PATH) too_long = true;
        auto listed = skips.find(name);
        Skip const* skip = listed == skips.end() ? nullptr : &listed->second;
        std::string why = misplaced(skip, c, too_long);
        if (!why.empty() || skip) {
            out += why.empty() ? "SKIP " + name + ": " + skip->kind + ": " + skip->why + "\n"
                               : "FAIL " + name + ": " + why + "\n";
            continue;
        }
        n++;
        make_folders(folder);
        for (size_t i = 0; i < c.files.size(); i++) {
            if (i == 0 && c.no_main) continue;
            std::string file = folder + "\\" + c.files[i].first;
            size_t slash = file.find_last_of("/\\");
            make_folders(file.substr(0, slash));
            write_file(file, c.files[i].second);
        }
        RunOptions opt;
        opt.exe = exe;
        opt.folder = folder;
        opt.timeout_ms = 20000;
        opt.keys = c.in;  // all typed as soon as the console is there; the console queues them
        Session s(opt);
        RunResult r = s.run();
        why = r.started ? check_case(exe, c, r) : r.note;
        out += (why.empty() ? "PASS " : "FAIL ") + name + (why.empty() ? "" : ": " + why) + "\n";
        write_file(report_path, out);
    }
    write_file(report_path, out);
    return 0;
}

std::string full_path(std::string const& path) {
    char buf[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, nullptr);
    return n && n < sizeof buf ? std::string(buf, n) : path;
}

}  // namespace

int main(int argc, char** argv) {
    // The driver reads the interpreter's console by attaching to it; it must have none itself.
    FreeConsole();
    std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() >= 4 && a[0] == "run") {
        RunOptions opt;
        opt.exe = full_path(a[1]);
        opt.folder = full_path(a[2]);
        for (size_t i = 4; i + 1 < a.size(); i += 2) {
            if (a[i] == "--args")
                opt.args = a[i + 1];
            else if (a[i] == "--keys")
                opt.keys = unescape(a[i + 1]);
            else if (a[i] == "--wait-for")
                opt.wait_for = a[i + 1];
            else if (a[i] == "--timeout")
                opt.timeout_ms = (DWORD)atoi(a[i + 1].c_str());
        }
        Session s(opt);
        RunResult r = s.run();
        if (!r.started) return 2;
        return write_file(a[3], report(r)) ? 0 : 2;
    }
    if (a.size() >= 4 && a[0] == "golden") {
        bool listed = a.size() >= 6 && a[4] == "--skips";
        std::map<std::string, Skip> skips;
        if (listed) skips = read_skips(a[5]);
        std::vector<std::string> cases(a.begin() + (listed ? 6 : 4), a.end());
        return run_golden(full_path(a[1]), full_path(a[2]), a[3], skips, cases);
    }
    return 2;
}
