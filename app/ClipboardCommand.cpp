#include "app/ClipboardCommand.h"

#include <windows.h>

#include <cstdio>
#include <span>

#include "app/DatabaseView.h"
#include "app/Export.h"
#include "app/ImportCommand.h"
#include "app/resource.h"
#include "database/ByteStream.h"
#include "database/FileOpen.h"
#include "database/FileReplace.h"
#include "database/TextEncoding.h"
#include "interchange/DibBlock.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

constexpr const char* kWorkFileName = "ClipboardImage.BMP";
constexpr const char* kClipboardEmpty = "The clipboard is empty.";
constexpr const char* kClipboardBusy =
    "The clipboard is in use by another program. Please try again.";

// True when a file of that name can be written in the current directory. A
// file that was not there before is not left behind.
bool currentDirectoryTakes(const std::string& name) {
    if (std::FILE* existing = openFile(name, "r+b")) {
        std::fclose(existing);
        return true;
    }
    std::FILE* created = openFile(name, "wb");
    if (!created) return false;
    std::fclose(created);
    removeFile(name);
    return true;
}

// The work file: in the current directory, or in the user's temporary folder
// when the current directory takes no files (a program folder, a CD).
std::string workFilePath() {
    if (currentDirectoryTakes(kWorkFileName)) return kWorkFileName;
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return kWorkFileName;
    return toUtf8(std::wstring_view(folder, length)) + kWorkFileName;
}

// The title names the work file, wherever it lies.
void showWorkFileTitle(void* context, const std::string&) {
    setWindowText(static_cast<AppState*>(context)->mainWindow, kWorkFileName);
}

void showExportMessage(void*, const char* text) {
    showMessage(text, kExportCaption);
}

// Puts the bitmap file at path, less its file header, on the clipboard as
// CF_DIB. The block is the file's size, so 14 zero bytes follow the rows.
void putFileOnClipboard(HWND owner, const std::string& path) {
    std::FILE* file = openFile(path, "rb");
    if (!file) return;
    const std::int64_t size = streamSize(file);
    HGLOBAL block = nullptr;
    if (size > std::int64_t{kBmpFileHeaderBytes} && static_cast<std::uint64_t>(size) <= SIZE_MAX)
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
    if (void* bytes = block ? GlobalLock(block) : nullptr) {
        seekTo(file, kBmpFileHeaderBytes);
        readBytes(file, static_cast<std::uint8_t*>(bytes),
                  static_cast<std::size_t>(size) - kBmpFileHeaderBytes);
        GlobalUnlock(block);
        if (OpenClipboard(owner)) {
            EmptyClipboard();
            // Once set, the block belongs to the clipboard.
            if (!SetClipboardData(CF_DIB, block)) GlobalFree(block);
            CloseClipboard();
        } else {
            // Another program holds the clipboard: say so rather than seem to have copied.
            GlobalFree(block);
            showMessage(kClipboardBusy, kMessageCaption);
        }
    } else if (block) {
        GlobalFree(block);
    }
    std::fclose(file);
}

// Writes the file header and the block to the work file: its path, or an
// empty string when it cannot be written.
std::string writeWorkFile(const DibFileHeader& header, std::span<const std::uint8_t> block) {
    const std::string path = workFilePath();
    std::FILE* file = openFile(path, "wb");
    if (!file) return {};
    std::fwrite(header.bytes.data(), 1, header.bytes.size(), file);
    std::fwrite(block.data(), 1, block.size(), file);
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) {
        removeFile(path);
        return {};
    }
    return path;
}

// Imports the work file; on success the view shows the new image and the
// work file goes. A cancelled import keeps both as they are.
void importWorkFile(AppState& state, const std::string& path) {
    if (importFiles(state, state.currentDatabasePath, parseSelection(path)) == 0) {
        refreshDatabaseView(state, state.currentDatabasePath, kReload);
        refreshDatabaseView(state, state.currentDatabasePath, kSelectLast);
        removeFile(path);
    }
    setWindowText(state.mainWindow, kAppTitle);
}

}  // namespace

void copyToClipboard(AppState& state) {
    const LRESULT entries =
        SendDlgItemMessageW(state.mainWindow, IDC_IMAGE_LIST, LB_GETCOUNT, 0, 0);
    if (state.currentDatabasePath.empty() || entries <= 0)
        return void(showMessage(kNeedsImages, kMessageCaption));
    const std::string path = workFilePath();
    ExportHooks hooks;
    hooks.context = &state;
    hooks.showOutputPath = showWorkFileTitle;
    hooks.showMessage = showExportMessage;
    const ExportRequest request{state.currentDatabasePath, path, kExportToGivenFile,
                                static_cast<std::int16_t>(entries), state.selectedImage};
    if (exportImages(request, hooks) == 0) {
        putFileOnClipboard(state.mainWindow, path);
        removeFile(path);
    }
    setWindowText(state.mainWindow, kAppTitle);
}

void pasteFromClipboard(AppState& state) {
    if (state.currentDatabasePath.empty())
        return void(showMessage(kNeedsDatabase, kMessageCaption));
    if (!OpenClipboard(state.mainWindow)) return void(showMessage(kClipboardBusy, kMessageCaption));
    HANDLE data = GetClipboardData(CF_DIB);
    const void* bytes = data ? GlobalLock(data) : nullptr;
    if (!bytes) {
        CloseClipboard();
        // A block that cannot be locked ends the paste without a message.
        if (!data) showMessage(kClipboardEmpty, kMessageCaption);
        return;
    }
    const std::span<const std::uint8_t> block(static_cast<const std::uint8_t*>(bytes),
                                              GlobalSize(data));
    const DibFileHeader header = dibFileHeader(block);
    if (header.status == 0) {
        const std::string path = writeWorkFile(header, block);
        if (!path.empty()) importWorkFile(state, path);
    }
    GlobalUnlock(data);
    CloseClipboard();
    // A block too short for its own header holds no bitmap to paste.
    if (header.status != 0) showMessage(kClipboardEmpty, kMessageCaption);
}

}  // namespace ferrovel
