#include "app/DatabaseView.h"

#include "app/PreviewFit.h"
#include "app/ViewText.h"
#include "app/resource.h"
#include "database/ByteStream.h"
#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/FileOpen.h"
#include "database/TextEncoding.h"
#include "database/WorkFile.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

constexpr int kPreviewInset = 4;

LRESULT listMessage(HWND main, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageW(main, IDC_IMAGE_LIST, message, wParam, lParam);
}

void selectEntry(AppState& state, std::int16_t index) {
    state.selectedImage = index;
    listMessage(state.mainWindow, LB_SETCURSEL, static_cast<WPARAM>(index));
}

// Opens the database and checks it; a file that is no database is closed again.
std::FILE* openValidDatabase(const std::string& path, int mode) {
    if (path.empty()) return nullptr;
    std::FILE* database = openFile(path, "rb");
    if (database && !isImageDatabase(database)) {
        if (mode == kReload) {
            showMessage(kNotImageDatabaseText, kFileFormatErrorCaption, MB_OK | MB_ICONEXCLAMATION);
        }
        std::fclose(database);
        database = nullptr;
    }
    return database;
}

// Fills the details of the database and its list of image names.
void reloadList(AppState& state, std::FILE* database) {
    const std::int64_t fileSize = streamSize(database);
    const std::int16_t records = readRecordCount(database);
    const std::vector<CatalogueEntry> images = listCatalogue(database);
    const std::string details = databaseDetailsText(static_cast<std::int32_t>(fileSize), records,
                                                    static_cast<std::int16_t>(images.size()));
    setDialogItemText(state.mainWindow, IDC_DATABASE_DETAILS, details);
    for (std::size_t i = 0; i < images.size(); ++i) {
        // Labels are in the handheld's character set. At an explicit
        // position, so that list entry i is image i whatever the list's style.
        const std::wstring name = toWide(handheldToUtf8(images[i].name));
        listMessage(state.mainWindow, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(name.c_str()));
    }
    if (records != 0) selectEntry(state, 0);
}

void drawSelectedImage(AppState& state, std::FILE* database, HDC dc, const RECT& preview,
                       std::int16_t count) {
    const std::int16_t selection =
        static_cast<std::int16_t>(listMessage(state.mainWindow, LB_GETCURSEL));
    state.selectedImage = selection;
    RECT white = preview;
    white.right += 1;  // the fill includes the right and bottom edges
    white.bottom += 1;
    FillRect(dc, &white, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (selection < 0 || selection >= count) return;
    ImageInfo info;
    queryCatalogue(database, selection, CatalogueQuery{nullptr, nullptr, &info});
    setDialogItemText(state.mainWindow, IDC_IMAGE_DETAILS, imageDetailsText(info));
    drawImageFitted(database, selection, dc, preview.left, preview.top,
                    preview.right - preview.left, preview.bottom - preview.top, preview.right,
                    preview.bottom);
}

void drawNoImages(HDC dc, const RECT& preview) {
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, preview.left, preview.top, preview.right, preview.bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, OPAQUE);
    TextOutA(dc, preview.left + 10, preview.top + 10, kNoImagesLoaded,
             static_cast<int>(std::char_traits<char>::length(kNoImagesLoaded)));
}

}  // namespace

RECT previewRect(HWND mainWindow) {
    RECT rect = childRect(mainWindow, IDC_PREVIEW);
    InflateRect(&rect, -kPreviewInset, -kPreviewInset);
    return rect;
}

std::int16_t refreshDatabaseView(AppState& state, const std::string& path, int mode) {
    const RECT preview = previewRect(state.mainWindow);
    if (mode == kReload) {
        listMessage(state.mainWindow, LB_RESETCONTENT);
        selectEntry(state, 0);
    } else if (mode == kSelectLast) {
        const std::int16_t count =
            static_cast<std::int16_t>(listMessage(state.mainWindow, LB_GETCOUNT));
        selectEntry(state, static_cast<std::int16_t>(count - 1));
    }
    if (mode == kReload && !path.empty() && inspectWorkFile(path) == WorkFileState::LastCopy) {
        showMessage(lastCopyFoundText(workFilePath(path)), kMessageCaption);
    }
    std::FILE* database = openValidDatabase(path, mode);
    if (database && mode == kReload) reloadList(state, database);

    const std::int16_t count =
        static_cast<std::int16_t>(listMessage(state.mainWindow, LB_GETCOUNT));
    HDC dc = GetDC(state.mainWindow);
    if (count != 0 && database) {
        drawSelectedImage(state, database, dc, preview, count);
    } else {
        drawNoImages(dc, preview);
    }
    ReleaseDC(state.mainWindow, dc);
    if (database) {
        std::fclose(database);
        return 0;
    }
    if (mode == kReload) {
        showMessage(kErrorOpeningDatabase, kFileIoErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    return -1;
}

std::int16_t drawImageFitted(std::FILE* database, std::int16_t index, HDC dc, int left, int top,
                             int width, int height, int rightLimit, int bottomLimit) {
    RgbImage image;
    if (composeImage(database, index, image) != 0) return 0;
    const FittedPixels fitted =
        renderFitted(image, width, height, rightLimit - left, bottomLimit - top);
    if (fitted.bgrx.empty()) return 0;
    // One blit of the whole fitted picture instead of a call per pixel.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = fitted.visible.width;
    info.bmiHeader.biHeight = -fitted.visible.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(fitted.visible.width),
                      static_cast<DWORD>(fitted.visible.height), 0, 0, 0,
                      static_cast<UINT>(fitted.visible.height), fitted.bgrx.data(), &info,
                      DIB_RGB_COLORS);
    return 0;
}

}  // namespace ferrovel
