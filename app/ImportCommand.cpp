#include "app/ImportCommand.h"

#include <windows.h>

#include <commdlg.h>

#include <vector>

#include "app/DatabaseView.h"
#include "app/Import.h"
#include "app/ImportDialog.h"
#include "app/ViewText.h"
#include "app/WinUtil.h"
#include "database/Append.h"
#include "interchange/Bmp.h"

namespace ferrovel {
namespace {

constexpr std::size_t kSelectionChars = 4999;
constexpr char kBitmapFilter[] = "Windows Bitmaps (*.bmp)\0*.bmp\0All Files (*.*)\0*.*\0";

// The size a picture is stored at, from the dialog or from Import All's choice.
TargetSize targetFor(const ImportOptions& options, const BgrImage& picture) {
    if (!options.importAll) return {options.targetWidth, options.targetHeight};
    const TargetSize size{picture.width, picture.height};
    const TargetSize box =
        presetBox(options.sizePreset, size, {options.targetWidth, options.targetHeight});
    return options.keepProportions ? fitProportions(box, size) : box;
}

}  // namespace

std::int16_t importFiles(AppState& state, const std::string& databasePath,
                         const std::string& selectionText, std::size_t fileOffset) {
    const Selection selection = parseSelection(selectionText, fileOffset);
    ImportOptions& options = state.importOptions;
    options.importAll = 0;
    for (const SelectedFile& file : selection.files) {
        const BmpReadResult bitmap = readBmp(file.path);
        if (bitmap.status != 0) continue;  // not a bitmap we read: passed over in silence
        SetWindowTextA(state.mainWindow, file.proposedName.c_str());
        std::string name = file.proposedName;
        if (!options.importAll) {
            const ImportDialogInput input{&bitmap.canvas, file.proposedName,
                                          selection.severalFiles};
            showImportDialog(state, input, options);
            name = options.name;
        }
        const TargetSize target = targetFor(options, bitmap.canvas);
        if (target.width == 0 || target.height == 0) return -1;
        AppendOptions append;
        append.name = name;
        append.targetWidth = target.width;
        append.targetHeight = target.height;
        append.bits = options.formatBits;
        append.dither = options.dither;
        append.brightness = options.brightness;
        append.contrast = options.contrast;
        RewriteReport report;
        const std::int16_t status = appendImage(databasePath, bitmap.canvas, append, &report);
        if (report.restoredFromWork) {
            showMessage(restoredFromWorkText(workFilePath(databasePath)).c_str(), kImportCaption);
        }
        if (status != 0) showMessage(importStatusMessage(status), kImportCaption);
    }
    return 0;
}

void importCommand(AppState& state) {
    if (state.currentDatabasePath.empty())
        return void(showMessage(kNeedsDatabase, kMessageCaption));
    std::vector<char> buffer(kSelectionChars + 1, '\0');
    OPENFILENAMEA dialog = fileDialogFields(state.mainWindow, kBitmapFilter, buffer,
                                            "Import one or more image(s)...", "bmp");
    dialog.Flags = OFN_ALLOWMULTISELECT;
    if (GetOpenFileNameA(&dialog)) {
        if (importFiles(state, state.currentDatabasePath, buffer.data(), dialog.nFileOffset) == 0) {
            refreshDatabaseView(state, state.currentDatabasePath, kReload);
            refreshDatabaseView(state, state.currentDatabasePath, kSelectLast);
        }
    }
    SetWindowTextA(state.mainWindow, kAppTitle);
}

}  // namespace ferrovel
