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
#include "interchange/PictureFile.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

constexpr const char* kWorkFileName = "ClipboardImage.BMP";
constexpr const char* kPngWorkFileName = "ClipboardImage.PNG";
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

// A work file: in the current directory, or in the user's temporary folder
// when the current directory takes no files (a program folder, a CD).
std::string workFilePath(const char* name = kWorkFileName) {
    if (currentDirectoryTakes(name)) return name;
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return name;
    return toUtf8(std::wstring_view(folder, length)) + name;
}

// The format browsers and screenshot tools use for pictures, by its name.
UINT pngClipboardFormat() {
    return RegisterClipboardFormatW(L"PNG");
}

// The title names the work file, wherever it lies.
void showWorkFileTitle(void* context, const std::string&) {
    setWindowText(static_cast<AppState*>(context)->mainWindow, kWorkFileName);
}

void showExportMessage(void*, const char* text) {
    showMessage(text, kExportCaption);
}

// A clipboard block of the file at path from byte skip on, as long as the
// whole file (a bitmap less its file header ends in 14 zero bytes); null
// when the file cannot be read.
HGLOBAL fileBlock(const std::string& path, std::size_t skip) {
    std::FILE* file = openFile(path, "rb");
    if (!file) return nullptr;
    const std::int64_t size = streamSize(file);
    HGLOBAL block = nullptr;
    if (size > static_cast<std::int64_t>(skip) && static_cast<std::uint64_t>(size) <= SIZE_MAX)
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
    if (void* bytes = block ? GlobalLock(block) : nullptr) {
        seekTo(file, skip);
        readBytes(file, static_cast<std::uint8_t*>(bytes), static_cast<std::size_t>(size) - skip);
        GlobalUnlock(block);
    } else if (block) {
        GlobalFree(block);
        block = nullptr;
    }
    std::fclose(file);
    return block;
}

// Puts the bitmap block as CF_DIB and the PNG block, if any, as "PNG" on
// the clipboard, which owns every block it takes.
void putOnClipboard(HWND owner, HGLOBAL dib, HGLOBAL png) {
    if (!OpenClipboard(owner)) {
        // Another program holds the clipboard: say so rather than seem to have copied.
        GlobalFree(dib);
        if (png) GlobalFree(png);
        return void(showMessage(kClipboardBusy, kMessageCaption));
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_DIB, dib)) GlobalFree(dib);
    if (png && !SetClipboardData(pngClipboardFormat(), png)) GlobalFree(png);
    CloseClipboard();
}

// The selected image as a PNG block, or null: the bitmap is copied without it.
HGLOBAL pngBlock(ExportRequest request, ExportHooks hooks) {
    request.fileName = workFilePath(kPngWorkFileName);
    request.format = ExportFormat::Png;
    hooks.showMessage = nullptr;
    HGLOBAL block = exportImages(request, hooks) == 0 ? fileBlock(request.fileName, 0) : nullptr;
    removeFile(request.fileName);
    return block;
}

// Writes head and block to a work file: its path, or an empty string when it
// cannot be written.
std::string writeWorkFile(const char* name, std::span<const std::uint8_t> head,
                          std::span<const std::uint8_t> block) {
    const std::string path = workFilePath(name);
    std::FILE* file = openFile(path, "wb");
    if (!file) return {};
    std::fwrite(head.data(), 1, head.size(), file);
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

// Imports a "PNG" block through its own work file. A block that cannot be
// locked ends the paste without a message, as a bitmap's does.
void pastePng(AppState& state, HANDLE data) {
    const void* bytes = GlobalLock(data);
    if (!bytes) return;
    importPictureBlock(state, {static_cast<const std::uint8_t*>(bytes), GlobalSize(data)},
                       PictureBlock::Png);
    GlobalUnlock(data);
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
        HGLOBAL dib = fileBlock(path, kBmpFileHeaderBytes);
        removeFile(path);
        if (dib) putOnClipboard(state.mainWindow, dib, pngBlock(request, hooks));
    }
    setWindowText(state.mainWindow, kAppTitle);
}

void pasteFromClipboard(AppState& state) {
    if (state.currentDatabasePath.empty())
        return void(showMessage(kNeedsDatabase, kMessageCaption));
    if (!OpenClipboard(state.mainWindow)) return void(showMessage(kClipboardBusy, kMessageCaption));
    // The PNG of a browser or a screenshot tool keeps what a bitmap may lose.
    if (HANDLE png = GetClipboardData(pngClipboardFormat())) {
        pastePng(state, png);
        return void(CloseClipboard());
    }
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
    const bool bitmap = importPictureBlock(state, block, PictureBlock::Dib);
    GlobalUnlock(data);
    CloseClipboard();
    // A block too short for its own header holds no bitmap to paste.
    if (!bitmap) showMessage(kClipboardEmpty, kMessageCaption);
}

bool importPictureBlock(AppState& state, std::span<const std::uint8_t> block, PictureBlock kind) {
    std::string path;
    if (kind == PictureBlock::Png) {
        path = writeWorkFile(kPngWorkFileName, {}, block);
    } else {
        const DibFileHeader header = dibFileHeader(block);
        if (header.status != 0) return false;
        path = writeWorkFile(kWorkFileName, header.bytes, block);
    }
    if (!path.empty()) importWorkFile(state, path);
    return true;
}

}  // namespace ferrovel
