#include "app/ImportDialog.h"

#include "app/AppState.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "app/ImportPreview.h"
#include "app/resource.h"
#include "database/Append.h"
#include "database/TextEncoding.h"
#include "platform/Registry.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

constexpr const wchar_t* kFormatNames[] = {L"1-bit (b & w)", L"2-bit (4 grays)",
                                           L"4-bit (16 grays)", L"8-bit (256 colors)",
                                           L"16-bit (truecolor)"};
constexpr const wchar_t* kSizeNames[] = {L"Keep original size",
                                         L"Scale to fit 160x160 lores screen",
                                         L"Scale to fit 320x320 hires screen",
                                         L"Scale to fit 320x480 expanded screen",
                                         L"Scale to fit 480x320 landscape screen",
                                         L"Custom size"};
constexpr std::int16_t kPresetBoxes[][2] = {{0, 0}, {160, 160}, {320, 320}, {320, 480}, {480, 320}};
constexpr int kCustomSize = 5;
constexpr int kPreviewInset = 4;

// One open dialog: its inputs, its results and the two holds that absorb the
// change notifications of the dialog's own writes into the size boxes.
struct ImportDialogData {
    const ImportDialogInput* input = nullptr;
    ImportOptions* options = nullptr;
    std::int16_t customHold = 0;
    std::int16_t echoHold = 0;
    bool opening = true;
};

std::string settingPath(const char* value) {
    return std::string(kSettingsKey) + "\\" + value;
}

std::int16_t readSetting(const char* value, std::int16_t fallback) {
    std::int16_t stored = fallback;
    readRegistryValue(settingPath(value), &stored, sizeof stored);
    return stored;
}

void writeSetting(const char* value, std::int16_t content) {
    writeRegistryValue(settingPath(value), &content, sizeof content, REG_BINARY);
}

ImportDialogData* dataOf(HWND dialog) {
    return reinterpret_cast<ImportDialogData*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

LRESULT item(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageW(dialog, id, message, wParam, lParam);
}

bool isChecked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void setBoxNumber(HWND dialog, int id, std::int16_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%hd", value);
    setDialogItemText(dialog, id, text);
}

void readBox(HWND dialog, int id, std::int16_t& field) {
    readBoxNumber(dialogItemText(dialog, id), field);
}

void redraw(HWND dialog) {
    RECT frame = childRect(dialog, IDC_IMPORT_PREVIEW);
    InvalidateRect(dialog, &frame, TRUE);
}

RECT innerPreviewRect(HWND dialog) {
    RECT inner = childRect(dialog, IDC_IMPORT_PREVIEW);
    InflateRect(&inner, -kPreviewInset, -kPreviewInset);
    return inner;
}

void fillList(HWND dialog, int id, const wchar_t* const* names, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        item(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
}

// Range -100 to 100, thumb drawn at 0. A trackbar may keep its thumb where
// the old range put the position (Wine's does, drawing 0 at the left end)
// until the position itself changes: it moves to the end and back.
void initSlider(HWND dialog, int id) {
    item(dialog, id, TBM_SETRANGEMIN, TRUE, static_cast<LPARAM>(-100));
    item(dialog, id, TBM_SETRANGEMAX, TRUE, 100);
    item(dialog, id, TBM_SETPOS, FALSE, 100);
    item(dialog, id, TBM_SETPOS, TRUE, 0);
}

std::int16_t sliderPosition(HWND dialog, int id) {
    return static_cast<std::int16_t>(item(dialog, id, TBM_GETPOS));
}

void open(HWND dialog, ImportDialogData& data) {
    const BgrImage& picture = *data.input->picture;
    ImportOptions& options = *data.options;
    options.importAll = 0;
    options.sizePreset = 0;
    options.targetWidth = picture.width;
    options.targetHeight = picture.height;
    setBoxNumber(dialog, IDC_IMPORT_WIDTH, picture.width);
    setBoxNumber(dialog, IDC_IMPORT_HEIGHT, picture.height);
    setDialogItemText(dialog, IDC_IMPORT_NAME, data.input->proposedName);
    fillList(dialog, IDC_IMPORT_SIZE, kSizeNames, std::size(kSizeNames));
    item(dialog, IDC_IMPORT_SIZE, CB_SETCURSEL, 0);
    fillList(dialog, IDC_IMPORT_FORMAT, kFormatNames, std::size(kFormatNames));
    item(dialog, IDC_IMPORT_FORMAT, CB_SETCURSEL,
         static_cast<WPARAM>(readSetting("ImportFormat", 0)));
    initSlider(dialog, IDC_IMPORT_BRIGHTNESS);
    initSlider(dialog, IDC_IMPORT_CONTRAST);
    CheckDlgButton(dialog, IDC_IMPORT_PROPORTIONS,
                   readSetting("ImportProportional", 1) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_IMPORT_DITHER,
                   readSetting("ImportDither", 1) ? BST_CHECKED : BST_UNCHECKED);
    if (data.input->severalFiles) ShowWindow(GetDlgItem(dialog, IDC_IMPORT_ALL), SW_SHOW);
    data.customHold = 0;
    data.echoHold = 0;
    data.opening = false;
}

// The format list's selection as bits per pixel; no selection keeps the last.
void readFormat(HWND dialog, ImportOptions& options) {
    const LRESULT index = item(dialog, IDC_IMPORT_FORMAT, CB_GETCURSEL);
    if (index >= 0 && index < 5) options.formatBits = static_cast<std::int16_t>(1 << index);
}

void paintPreview(HWND dialog, ImportDialogData& data) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    ImportOptions& options = *data.options;
    readFormat(dialog, options);
    const RECT inner = innerPreviewRect(dialog);
    RECT overlap;
    if (!IntersectRect(&overlap, &paint.rcPaint, &inner)) return void(EndPaint(dialog, &paint));
    readBox(dialog, IDC_IMPORT_WIDTH, options.targetWidth);
    readBox(dialog, IDC_IMPORT_HEIGHT, options.targetHeight);
    options.targetWidth = std::max<std::int16_t>(options.targetWidth, 2);
    options.targetHeight = std::max<std::int16_t>(options.targetHeight, 2);
    options.contrast = sliderPosition(dialog, IDC_IMPORT_CONTRAST);
    options.brightness = sliderPosition(dialog, IDC_IMPORT_BRIGHTNESS);
    options.dither = isChecked(dialog, IDC_IMPORT_DITHER) ? 1 : 0;

    // The inner rectangle counts its right and bottom edges.
    const PreviewPlacement placement =
        placePreview(inner.right - inner.left + 1, inner.bottom - inner.top + 1,
                     options.targetWidth, options.targetHeight);
    const PreviewSettings settings{options.targetWidth, options.targetHeight, options.formatBits,
                                   options.dither,      options.brightness,   options.contrast};
    std::vector<std::uint32_t> pixels;
    if (renderImportPreview(*data.input->picture, settings, placement, pixels) && !pixels.empty()) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = placement.drawWidth;
        info.bmiHeader.biHeight = -placement.drawHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(
            dc, inner.left + placement.offsetX, inner.top + placement.offsetY,
            static_cast<DWORD>(placement.drawWidth), static_cast<DWORD>(placement.drawHeight), 0, 0,
            0, static_cast<UINT>(placement.drawHeight), pixels.data(), &info, DIB_RGB_COLORS);
    }
    EndPaint(dialog, &paint);
}

void choosePreset(HWND dialog, ImportDialogData& data) {
    const LRESULT index = item(dialog, IDC_IMPORT_SIZE, CB_GETCURSEL);
    if (index < 0 || index >= kCustomSize) return;
    const BgrImage& picture = *data.input->picture;
    ImportOptions& options = *data.options;
    data.customHold = 2;
    data.echoHold = 2;
    if (index == 0) {
        setBoxNumber(dialog, IDC_IMPORT_WIDTH, picture.width);
        setBoxNumber(dialog, IDC_IMPORT_HEIGHT, picture.height);
        return redraw(dialog);
    }
    const std::int16_t boxWidth = kPresetBoxes[index][0], boxHeight = kPresetBoxes[index][1];
    if (!isChecked(dialog, IDC_IMPORT_PROPORTIONS)) {
        setBoxNumber(dialog, IDC_IMPORT_WIDTH, boxWidth);
        setBoxNumber(dialog, IDC_IMPORT_HEIGHT, boxHeight);
    } else if (std::int32_t{picture.width} * boxHeight <= std::int32_t{picture.height} * boxWidth) {
        setBoxNumber(dialog, IDC_IMPORT_HEIGHT, boxHeight);
        readBox(dialog, IDC_IMPORT_HEIGHT, options.targetHeight);
        setBoxNumber(dialog, IDC_IMPORT_WIDTH,
                     proportionalSide(options.targetHeight, picture.width, picture.height));
    } else {
        setBoxNumber(dialog, IDC_IMPORT_WIDTH, boxWidth);
        readBox(dialog, IDC_IMPORT_WIDTH, options.targetWidth);
        setBoxNumber(dialog, IDC_IMPORT_HEIGHT,
                     proportionalSide(options.targetWidth, picture.height, picture.width));
    }
    redraw(dialog);
}

void boxChanged(HWND dialog, ImportDialogData& data, int id) {
    if (data.opening) return;
    if (data.customHold > 0) {
        --data.customHold;
    } else {
        item(dialog, IDC_IMPORT_SIZE, CB_SETCURSEL, kCustomSize);
    }
    if (data.echoHold > 0) {
        --data.echoHold;
        return;
    }
    if (!isChecked(dialog, IDC_IMPORT_PROPORTIONS)) return redraw(dialog);
    const BgrImage& picture = *data.input->picture;
    ImportOptions& options = *data.options;
    data.customHold = 1;
    data.echoHold = 1;
    if (id == IDC_IMPORT_WIDTH) {
        readBox(dialog, IDC_IMPORT_WIDTH, options.targetWidth);
        setBoxNumber(dialog, IDC_IMPORT_HEIGHT,
                     proportionalSide(options.targetWidth, picture.height, picture.width));
    } else {
        readBox(dialog, IDC_IMPORT_HEIGHT, options.targetHeight);
        setBoxNumber(dialog, IDC_IMPORT_WIDTH,
                     proportionalSide(options.targetHeight, picture.width, picture.height));
    }
    redraw(dialog);
}

void proportionsClicked(HWND dialog, ImportDialogData& data) {
    if (!isChecked(dialog, IDC_IMPORT_PROPORTIONS)) {
        // The next two edits of a size box do not select "Custom size".
        data.customHold = 2;
        return;
    }
    const BgrImage& picture = *data.input->picture;
    data.customHold = 1;
    data.echoHold = 1;
    readBox(dialog, IDC_IMPORT_WIDTH, data.options->targetWidth);
    setBoxNumber(dialog, IDC_IMPORT_HEIGHT,
                 proportionalSide(data.options->targetWidth, picture.height, picture.width));
    redraw(dialog);
}

void confirm(HWND dialog, ImportDialogData& data, bool importAll) {
    // A repaint still pending takes in the last change of a control first.
    UpdateWindow(dialog);
    ImportOptions& options = *data.options;
    if (importAll) options.importAll = 1;
    const LRESULT format = item(dialog, IDC_IMPORT_FORMAT, CB_GETCURSEL);
    writeSetting("ImportFormat", static_cast<std::int16_t>(format));
    writeSetting("ImportProportional", isChecked(dialog, IDC_IMPORT_PROPORTIONS) ? 1 : 0);
    writeSetting("ImportDither", isChecked(dialog, IDC_IMPORT_DITHER) ? 1 : 0);
    // Stored in the handheld's character set; the limit counts stored bytes.
    options.name =
        utf8ToHandheld(dialogItemText(dialog, IDC_IMPORT_NAME)).substr(0, kMaxImageNameChars);
    options.sizePreset = static_cast<std::int16_t>(item(dialog, IDC_IMPORT_SIZE, CB_GETCURSEL));
    options.keepProportions = isChecked(dialog, IDC_IMPORT_PROPORTIONS) ? 1 : 0;
    EndDialog(dialog, 0);
}

void cancel(HWND dialog, ImportDialogData& data) {
    data.options->targetWidth = 0;
    data.options->targetHeight = 0;
    EndDialog(dialog, 0);
}

void command(HWND dialog, ImportDialogData& data, int id, int notification) {
    switch (id) {
        case IDC_IMPORT_CONTRAST_RESET:
            item(dialog, IDC_IMPORT_CONTRAST, TBM_SETPOS, TRUE, 0);
            return redraw(dialog);
        case IDC_IMPORT_BRIGHTNESS_RESET:
            item(dialog, IDC_IMPORT_BRIGHTNESS, TBM_SETPOS, TRUE, 0);
            return redraw(dialog);
        case IDC_IMPORT_FORMAT:
            if (notification == CBN_SELENDOK) redraw(dialog);
            return;
        case IDC_IMPORT_SIZE:
            if (notification == CBN_SELCHANGE) choosePreset(dialog, data);
            return;
        case IDC_IMPORT_WIDTH:
        case IDC_IMPORT_HEIGHT:
            if (notification == EN_CHANGE) boxChanged(dialog, data, id);
            return;
        case IDC_IMPORT_PROPORTIONS:
            if (notification == BN_CLICKED) proportionsClicked(dialog, data);
            return;
        case IDC_IMPORT_DITHER:
            return redraw(dialog);
        case IDC_IMPORT_ALL:
            return confirm(dialog, data, true);
        case IDC_IMPORT_OK:
            return confirm(dialog, data, false);
        case IDC_IMPORT_CANCEL:
            return cancel(dialog, data);
        default:
            return;  // Escape among them: ignored
    }
}

INT_PTR CALLBACK importProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ImportDialogData* data =
        message == WM_INITDIALOG ? reinterpret_cast<ImportDialogData*>(lParam) : dataOf(dialog);
    if (!data) return FALSE;
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            open(dialog, *data);
            return TRUE;
        case WM_PAINT:
            paintPreview(dialog, *data);
            return TRUE;
        case WM_HSCROLL:
            redraw(dialog);
            return TRUE;
        case WM_COMMAND:
            command(dialog, *data, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            cancel(dialog, *data);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void showImportDialog(const AppState& state, const ImportDialogInput& input,
                      ImportOptions& options) {
    ImportDialogData data;
    data.input = &input;
    data.options = &options;
    DialogBoxParamW(state.instance, MAKEINTRESOURCEW(IDD_IMPORT), state.mainWindow, importProc,
                    reinterpret_cast<LPARAM>(&data));
}

}  // namespace ferrovel
