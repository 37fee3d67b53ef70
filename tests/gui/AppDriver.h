// Drives the real window program from another process under the same
// window system: starts it, finds its windows, presses its buttons, answers
// its dialogs and reads what it shows.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "database/RgbImage.h"

namespace ferrovel::gui {

// Where the program under test is; set from the command line of the tests.
extern std::string programPath;

class AppDriver {
public:
    // Starts the program, on a database when one is named, and waits for its
    // main window and for that many images in its list.
    explicit AppDriver(const std::string& database = std::string(), std::size_t images = 0);
    ~AppDriver();
    AppDriver(const AppDriver&) = delete;
    AppDriver& operator=(const AppDriver&) = delete;

    HWND mainWindow() const { return main_; }
    bool started() const { return main_ != nullptr; }

    // Presses a button without waiting for what it opens.
    void press(int id) const { press(main_, id); }
    static void press(HWND window, int id);

    // A visible top-level dialog of the program with this caption, waited for.
    HWND waitForDialog(const std::string& caption, int timeoutMs = 5000) const;
    // Presses a button and waits for the dialog it opens.
    HWND openDialog(int id, const std::string& caption) const {
        press(id);
        return waitForDialog(caption);
    }
    // True when no dialog of that caption is showing (after a short grace period).
    bool noDialog(const std::string& caption, int graceMs = 300) const;

    // Text of a message box (its text control); dismisses it with the button.
    std::string takeMessage(const std::string& caption, int button = IDOK) const;

    // A window's text, through the ANSI message that is reliable across processes.
    static std::string textOf(HWND window);
    // An item of a list or combo box (LB_GETTEXT, CB_GETLBTEXT), through the
    // wide message: the ANSI one loses all but the first character across processes.
    static std::string itemText(HWND control, UINT message, WPARAM index);
    static std::vector<std::string> listBoxEntries(HWND list);
    std::string text(int id) const { return textOf(GetDlgItem(main_, id)); }
    std::string title() const { return textOf(main_); }
    std::vector<std::string> listEntries() const { return listBoxEntries(list()); }
    int listSelection() const { return static_cast<int>(SendMessageW(list(), LB_GETCURSEL, 0, 0)); }
    void selectListEntry(int index) const;  // as a click: selection change notified

    // File dialogs, classic or Explorer style: the file field typed into,
    // answered (typed and OK pressed) or read.
    static void typeFileName(HWND dialog, const std::string& text);
    static bool answerFileDialog(HWND dialog, const std::string& path);
    static std::string fileDialogField(HWND dialog);
    // A file dialog's selected file type.
    static std::string fileType(HWND dialog);

    // A rectangle a control of the program writes to the address a message
    // gives, such as TBM_GETTHUMBRECT: the address lies in the program.
    RECT askRect(HWND control, UINT message) const;

    DWORD close();

    template <typename Pred>
    static bool waitUntil(Pred pred, int timeoutMs = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            if (pred()) return true;
            Sleep(20);
        }
        return pred();
    }

private:
    HWND list() const { return GetDlgItem(main_, 1012); }
    PROCESS_INFORMATION process_{};
    HANDLE job_ = nullptr;
    HWND main_ = nullptr;
};

// The screen's pixels of a rectangle in screen coordinates, 0x00RRGGBB each.
std::vector<std::uint32_t> capturePixels(const RECT& screenRect);

// A control's rectangle on the screen, less inset pixels a side.
RECT screenRectOf(HWND window, int id, int inset = 0);

// True when anything, a file or a folder, is at the path.
inline bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The demo database in the test's scratch folder, written on first use.
std::string demoDatabasePath();

// Palm Desktop's folder as the first (U.S. Robotics) or the second (3Com) of
// its registry keys names it; and both keys removed, with all below them.
void setPalmDesktopFolder(bool firstKey, const std::string& folder);
void deletePalmDesktopKeys();

// Where the Import Image dialog keeps its choices (format, proportions,
// dither), and those choices stored as it stores them; none at all for an
// empty list.
inline constexpr const char* kImportSettingsKey = "Software\\Ferrovel\\ImageManager\\5.0";
inline constexpr const char* kImportSettingValues[] = {"ImportFormat", "ImportProportional",
                                                       "ImportDither"};
void storeImportSettings(std::initializer_list<std::int16_t> values);

// The images of a database file from index first on, as "name WxH bits".
std::vector<std::string> storedImages(const std::string& database, std::size_t first);

// Image index of a database file, composed as the program composes it.
RgbImage composedImage(const std::string& database, int index);

// Empty when the PNG file holds exactly the top-left width x height pixels of
// the bitmap file; otherwise what differs.
std::string pngAgainstBitmap(const std::string& png, const std::string& bmp, int width, int height);

}  // namespace ferrovel::gui
