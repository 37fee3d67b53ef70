#include "app/Print.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/resource.h"
#include "database/Catalogue.h"
#include "database/FileOpen.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

constexpr UINT_PTR kStartTimer = 1;
constexpr UINT kStartDelayMs = 500;

// The job of the dialog that is up: one at a time, as the dialog is modal.
PrintJob job;

void drawProgress(HWND dialog) {
    if (job.printHeight == 0 || job.pageHeight == 0) return;
    const std::string text = printProgressText(job);
    HDC dc = GetDC(dialog);
    TextOutA(dc, 10, 10, text.c_str(), static_cast<int>(text.size()));
    ReleaseDC(dialog, dc);
}

// Lets the dialog take in a press of Cancel between two lines.
void takePendingInput(HWND dialog) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (IsDialogMessageW(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// One printer row: the image row it samples, one DIB pixel per printer pixel.
void printLine(const RgbImage& image, std::int32_t columns, std::vector<std::uint32_t>& row) {
    const std::int64_t sy = std::int64_t{job.currentLine} * image.height / job.printHeight;
    for (std::int32_t x = 0; x < columns; ++x) {
        const std::int64_t sx = std::int64_t{x} * image.width / job.printWidth;
        const std::uint8_t* rgb = image.pixels.data() + (static_cast<std::size_t>(sy) *
                                                             static_cast<std::size_t>(image.width) +
                                                         static_cast<std::size_t>(sx)) *
                                                            3;
        row[static_cast<std::size_t>(x)] =
            std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2];
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = columns;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(job.printer, 0, job.currentLine, columns, 1, 0, 0, columns, 1, row.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
}

void printImage(HWND dialog, const RgbImage& image) {
    job.pageWidth = GetDeviceCaps(job.printer, HORZRES);
    job.pageHeight = GetDeviceCaps(job.printer, VERTRES);
    printedSize(image.width, image.height, GetDeviceCaps(job.printer, LOGPIXELSX),
                GetDeviceCaps(job.printer, LOGPIXELSY), job.printWidth, job.printHeight);
    job.cancelRequested = false;
    job.currentLine = 0;
    if (job.printHeight <= 0 || job.printWidth <= 0) return;
    const std::int32_t columns = std::min(job.printWidth, job.pageWidth);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(std::max(columns, 1)));
    while (job.currentLine < job.pageHeight && job.currentLine < job.printHeight) {
        takePendingInput(dialog);
        if (job.cancelRequested) break;
        if (job.currentLine % 10 == 0) drawProgress(dialog);
        if (columns > 0) printLine(image, columns, row);
        ++job.currentLine;
    }
}

// The page: started, the image printed onto it, and always ended.
void printPage(HWND dialog) {
    DOCINFOA document{};
    document.cbSize = sizeof document;
    document.lpszDocName = "";
    if (StartDocA(job.printer, &document) <= 0) return;
    if (StartPage(job.printer) <= 0) {
        EndDoc(job.printer);
        return;
    }
    if (std::FILE* database =
            job.databasePath.empty() ? nullptr : openFile(job.databasePath, "rb")) {
        RgbImage image;
        if (composeImage(database, job.imageIndex, image) == 0) printImage(dialog, image);
        std::fclose(database);
    }
    EndPage(job.printer);
    EndDoc(job.printer);
}

INT_PTR CALLBACK printingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetTimer(dialog, kStartTimer, kStartDelayMs, nullptr);
            return TRUE;
        case WM_TIMER:
            if (wParam != kStartTimer) return FALSE;
            KillTimer(dialog, kStartTimer);
            printPage(dialog);
            EndDialog(dialog, 0);
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(dialog, &paint);
            EndPaint(dialog, &paint);
            drawProgress(dialog);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_PRINT_CANCEL) job.cancelRequested = true;
            return TRUE;  // Escape among the rest: the dialog ends only with the job
        case WM_CLOSE:
            // Closed while printing, the job stops at the next line and its page still ends.
            job.cancelRequested = true;
            KillTimer(dialog, kStartTimer);
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void printedSize(std::int32_t width, std::int32_t height, std::int32_t dpiX, std::int32_t dpiY,
                 std::int32_t& printWidth, std::int32_t& printHeight) {
    printWidth = static_cast<std::int32_t>(std::int64_t{width} * dpiX / kImagePixelsPerInch);
    printHeight = static_cast<std::int32_t>(std::int64_t{height} * dpiY / kImagePixelsPerInch);
}

std::string printProgressText(const PrintJob& printJob) {
    const std::int32_t total = std::min(printJob.printHeight, printJob.pageHeight);
    const long percent =
        total > 0 ? static_cast<long>(std::int64_t{printJob.currentLine} * 100 / total) : 0;
    char text[96];
    std::snprintf(text, sizeof text, "Printing line %ld/%ld (%ld %%)",
                  static_cast<long>(printJob.currentLine), static_cast<long>(total), percent);
    return text;
}

std::int16_t printCommand(AppState& state) {
    PRINTDLGA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = state.mainWindow;
    dialog.Flags = PD_RETURNDC | PD_COLLATE;
    dialog.nCopies = 1;
    const bool chosen = PrintDlgA(&dialog) && dialog.hDC;
    // The printer's settings come back whether or not a context did.
    if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
    if (dialog.hDevNames) GlobalFree(dialog.hDevNames);
    if (!chosen) return -1;
    SetCursor(state.waitCursor);
    EnableWindow(state.mainWindow, FALSE);
    setWindowText(state.mainWindow, kPrintingTitle);
    job = PrintJob{};
    job.printer = dialog.hDC;
    // Kept whole: a path cut short could name another file.
    job.databasePath = state.currentDatabasePath;
    job.imageIndex = state.selectedImage;
    DialogBoxParamW(state.instance, MAKEINTRESOURCEW(IDD_PRINTING), state.mainWindow, printingProc,
                    0);
    DeleteDC(dialog.hDC);
    EnableWindow(state.mainWindow, TRUE);
    SetCursor(state.arrowCursor);
    return 0;
}

}  // namespace ferrovel
