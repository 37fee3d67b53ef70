#include "tests/gui/AppDriver.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "database/Catalogue.h"
#include "interchange/PictureFile.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DemoDatabase.h"

namespace ferrovel::gui {

std::string programPath;

namespace {

// A visible top-level dialog of the process with exactly this caption.
HWND findDialog(DWORD processId, const std::string& caption) {
    for (HWND window = nullptr;
         (window = FindWindowExA(nullptr, window, "#32770", caption.c_str())) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == processId && IsWindowVisible(window) && AppDriver::textOf(window) == caption)
            return window;
    }
    return nullptr;
}

// The file name field of a common file dialog: classic, or the edit of the
// Explorer style's combo box, which may hold another.
HWND fileNameField(HWND dialog) {
    if (HWND classic = GetDlgItem(dialog, edt1)) return classic;
    HWND combo = GetDlgItem(dialog, cmb13);
    if (!combo) return nullptr;
    if (HWND inner = FindWindowExA(combo, nullptr, "ComboBox", nullptr)) combo = inner;
    return FindWindowExA(combo, nullptr, "Edit", nullptr);
}

}  // namespace

std::string AppDriver::textOf(HWND window) {
    char text[4096] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

AppDriver::AppDriver(const std::string& database, std::size_t images) {
    std::string commandLine = "\"" + programPath + "\"";
    if (!database.empty()) commandLine += " \"" + database + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    job_ = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // The program dies with the driver, so that no orphan holds the test's pipes.
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &process_))
        return;
    AssignProcessToJobObject(job_, process_.hProcess);
    ResumeThread(process_.hThread);
    WaitForInputIdle(process_.hProcess, 10000);
    const auto found = [&] {
        return (main_ = findDialog(process_.dwProcessId, "Ferrovel Image Manager")) != nullptr;
    };
    if (waitUntil(found, 10000) && images &&
        !waitUntil([&] { return listEntries().size() == images; }))
        main_ = nullptr;
}

AppDriver::~AppDriver() {
    if (process_.hProcess) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    if (job_) CloseHandle(job_);
}

void AppDriver::press(HWND window, int id) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

HWND AppDriver::waitForDialog(const std::string& caption, int timeoutMs) const {
    HWND found = nullptr;
    waitUntil([&] { return (found = findDialog(process_.dwProcessId, caption)) != nullptr; },
              timeoutMs);
    return found;
}

bool AppDriver::noDialog(const std::string& caption, int graceMs) const {
    Sleep(static_cast<DWORD>(graceMs));
    return findDialog(process_.dwProcessId, caption) == nullptr;
}

std::string AppDriver::takeMessage(const std::string& caption, int button) const {
    HWND box = waitForDialog(caption);
    if (!box) return "<no message box \"" + caption + "\">";
    const std::string message = textOf(GetDlgItem(box, 0xFFFF));
    PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
    waitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
    return message;
}

std::string AppDriver::itemText(HWND control, UINT message, WPARAM index) {
    wchar_t wide[1024] = {};
    SendMessageW(control, message, index, reinterpret_cast<LPARAM>(wide));
    char narrow[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

std::vector<std::string> AppDriver::listBoxEntries(HWND list) {
    std::vector<std::string> entries;
    for (LRESULT i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i)
        entries.push_back(itemText(list, LB_GETTEXT, static_cast<WPARAM>(i)));
    return entries;
}

void AppDriver::selectListEntry(int index) const {
    SendMessageW(list(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(main_, WM_COMMAND, MAKEWPARAM(1012, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list()));
}

std::string AppDriver::fileDialogField(HWND dialog) {
    return textOf(fileNameField(dialog));
}

std::string AppDriver::fileType(HWND dialog) {
    HWND types = GetDlgItem(dialog, cmb1);
    return itemText(types, CB_GETLBTEXT,
                    static_cast<WPARAM>(SendMessageW(types, CB_GETCURSEL, 0, 0)));
}

void AppDriver::typeFileName(HWND dialog, const std::string& text) {
    SendMessageA(fileNameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool AppDriver::answerFileDialog(HWND dialog, const std::string& path) {
    if (!fileNameField(dialog)) return false;
    typeFileName(dialog, path);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return waitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

RECT AppDriver::askRect(HWND control, UINT message) const {
    RECT rect{};
    void* remote =
        VirtualAllocEx(process_.hProcess, nullptr, sizeof rect, MEM_COMMIT, PAGE_READWRITE);
    SendMessageW(control, message, 0, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process_.hProcess, remote, &rect, sizeof rect, nullptr);
    VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
    return rect;
}

DWORD AppDriver::close() {
    PostMessageA(main_, WM_CLOSE, 0, 0);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process_.hProcess, 10000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::string demoDatabasePath() {
    static const std::string path = testing::writeScratchFile("demo.pdb", fixtures::demoDatabase());
    return path;
}

void setPalmDesktopFolder(bool firstKey, const std::string& folder) {
    RegSetKeyValueA(HKEY_CURRENT_USER,
                    firstKey ? "Software\\U.S. Robotics\\Pilot Desktop\\Core"
                             : "Software\\3Com\\Palm Desktop\\Core",
                    "Path", REG_SZ, folder.c_str(), static_cast<DWORD>(folder.size() + 1));
}

void deletePalmDesktopKeys() {
    for (const char* key : {"Software\\U.S. Robotics", "Software\\3Com"})
        RegDeleteTreeA(HKEY_CURRENT_USER, key);
}

void storeImportSettings(std::initializer_list<std::int16_t> values) {
    if (values.size() == 0) RegDeleteTreeA(HKEY_CURRENT_USER, kImportSettingsKey);
    for (std::size_t i = 0; i < values.size(); ++i)
        RegSetKeyValueA(HKEY_CURRENT_USER, kImportSettingsKey, kImportSettingValues[i], REG_BINARY,
                        values.begin() + i, 2);
}

std::vector<std::string> storedImages(const std::string& database, std::size_t first) {
    std::FILE* file = std::fopen(database.c_str(), "rb");
    const std::vector<CatalogueEntry> entries = listCatalogue(file);
    std::fclose(file);
    std::vector<std::string> images;
    for (std::size_t i = first; i < entries.size(); ++i) {
        const ImageInfo& info = entries[i].info;
        images.push_back(entries[i].name + " " + std::to_string(info.width) + "x" +
                         std::to_string(info.height) + " " + std::to_string(info.bitsPerPixel));
    }
    return images;
}

RgbImage composedImage(const std::string& database, int index) {
    RgbImage image;
    if (std::FILE* file = std::fopen(database.c_str(), "rb")) {
        composeImage(file, static_cast<std::int16_t>(index), image);
        std::fclose(file);
    }
    return image;
}

std::string pngAgainstBitmap(const std::string& png, const std::string& bmp, int width,
                             int height) {
    const PictureReadResult decoded = readPicture(png);
    const BmpReadResult bitmap = readBmp(bmp);
    if (decoded.status != 0 || decoded.format != PictureFormat::Png || bitmap.status != 0 ||
        decoded.pictureWidth != width || decoded.pictureHeight != height)
        return "status " + std::to_string(decoded.status) + " and " +
               std::to_string(bitmap.status) + ", " + std::to_string(decoded.pictureWidth) + " x " +
               std::to_string(decoded.pictureHeight);
    const auto row = [](const BgrImage& canvas, int y) {
        return canvas.pixels.begin() + y * canvas.width * 3;
    };
    for (int y = 0; y < height; ++y)
        if (!std::equal(row(decoded.canvas, y), row(decoded.canvas, y) + width * 3,
                        row(bitmap.canvas, y)))
            return "row " + std::to_string(y);
    return {};
}

RECT screenRectOf(HWND window, int id, int inset) {
    RECT rect{};
    GetWindowRect(GetDlgItem(window, id), &rect);
    InflateRect(&rect, -inset, -inset);
    return rect;
}

std::vector<std::uint32_t> capturePixels(const RECT& r) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) *
                                      static_cast<std::size_t>(height));
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{{sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    for (std::uint32_t& pixel : pixels) pixel &= 0x00FFFFFF;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

}  // namespace ferrovel::gui
